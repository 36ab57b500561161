// The stream diagnosis on 4 MiB, the most it looks at: a track camera in
// colour and in grayscale (saturated), the simulator's textured scene, random
// bytes (a wrong baud rate) and colour bars.
// Prints the median time of five analyses of each and the reading.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <vector>

#include "capture/StreamDiagnosis.h"
#include "tests/DiagnosisPictures.h"
#include "tools/camsim/TexturedScene.h"

namespace {

using diagpics::Bytes;

constexpr size_t kBytes = size_t{4} << 20;  // the most the diagnosis looks at

void Measure(const char* name, const Bytes& bytes) {
    std::vector<double> ms;
    CDiagnosisReport r;
    for (int i = 0; i < 5; ++i) {
        const auto start = std::chrono::steady_clock::now();
        r = Diagnose(bytes.data(), bytes.size(), {});
        ms.push_back(
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
                .count());
    }
    std::sort(ms.begin(), ms.end());
    std::printf("%-28s %8zu bytes  %7.1f ms (median of 5, %.1f..%.1f)  %s\n", name, bytes.size(),
                ms[2], ms[0], ms[4], r.verdictText.substr(0, 80).c_str());
}

}  // namespace

int main() {
    diagpics::Wire wire;
    wire.limit = kBytes;
    wire.skip = 12345;
    const diagpics::TrackCamera colour(120, 160, true, 7);
    Measure("track camera 120x160 colour",
            diagpics::Stream([&](int i) { return colour.Frame(i); }, 1000, wire));
    const diagpics::TrackCamera gray(120, 188, false, 7, 0.5);
    Measure("saturated track 120x188",
            diagpics::Stream([&](int i) { return gray.Frame(i); }, 1000, wire));
    const camsim::TexturedScene scene(240, 320, 3);
    Measure("textured scene 240x320",
            diagpics::Stream([&](int i) { return scene.Gray(i); }, 1000, wire));
    Bytes noise(kBytes);
    for (size_t i = 0; i < noise.size(); ++i)
        noise[i] = uint8_t(diagpics::Hash(uint32_t(i)));
    Measure("noise (a wrong baud rate)", noise);
    const Bytes bars = diagpics::ColourBars(120, 160);
    Measure("colour bars 120x160", diagpics::Stream([&](int) { return bars; }, 1000, wire));
    return 0;
}
