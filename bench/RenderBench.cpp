// Cost of drawing one whole 120 x 160 frame: the engine's drawing pass into its
// picture surface, beside the same frame painted one screen pixel per
// QPainter::drawPoint call. Prints the time per frame of each and, at the end,
// how many times slower the per-pixel way is.
#include <benchmark/benchmark.h>

#include <QColor>
#include <QImage>
#include <QPainter>
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "capture/CaptureBase.h"
#include "tools/camsim/FrameSource.h"

namespace {

constexpr int kRows = 120;
constexpr int kColumns = 160;
constexpr int kAreaWidth = 620;
constexpr int kAreaHeight = 480;

struct Case {
    const char* name;
    bool colour;
    bool enlarged;
};

const Case kCases[] = {
    {"colour/enlarged", true, true},
    {"gray/enlarged", false, true},
    {"colour/1:1", true, false},
    {"gray/1:1", false, false},
};

// A page with no controls: the engine's drawing pass is all that runs.
class RenderPage : public CCaptureBase {
public:
    RenderPage(const Case& c, const std::vector<uint8_t>& frame) {
        m_nRows = kRows;
        m_nColumns = kColumns;
        m_byFormat = c.colour ? 1 : 0;
        m_bScaleToArea = c.enlarged ? 1 : 0;
        m_nAreaWidth = kAreaWidth;
        m_nAreaHeight = kAreaHeight;
        m_nMode = 0;
        m_bShowImage = 1;
        m_nFrameSize = static_cast<uint32_t>(frame.size());
        m_wndPicture.Resize(kAreaWidth, kAreaHeight);
        // A real page repaints the changed rectangle; here it is only collected.
        m_wndPicture.SetListener([this](const CPictureSurface::Rect& r) { m_lastRow = r; });
        if (!AllocateBuffers())
            std::abort();
        std::memcpy(m_pFrame.get(), frame.data(), frame.size());
    }
    ~RenderPage() override { ShutdownEngine(); }

    void ShowStatus(std::string) override {}
    void OnCaptureBegin() override {}
    void OnCaptureEnd() override {}
    void ClearPicture() override {}
    void ClearValueList() override {}
    void AppendValue(uint8_t, int) override {}

    // One full pass. The previous pass ended the frame (OnFrameDone), so the
    // frame is marked received again first.
    void DrawFrame() {
        m_nReceived = m_nFrameSize;
        m_nDrawn = 0;
        m_bFrameDone = 0;
        DrawImage(0, 0);
    }

    CPictureSurface::Rect m_lastRow;
};

// The engine's U, Y, V -> RGB conversion (double arithmetic, truncated, clamped).
QRgb UyvToRgb(uint8_t u8, uint8_t y8, uint8_t v8) {
    auto channel = [](double x) { return std::clamp(static_cast<int>(x), 0, 255); };
    const double u = u8, y = y8, v = v8;
    const double yc = (y - 16) * 1.164;
    return qRgb(channel(yc + (v - 128) * 1.596),
                channel(yc - (v - 128) * 0.813 - (u - 128) * 0.391),
                channel(yc + (u - 128) * 2.018));
}

int BlockSize(bool enlarged) {
    return enlarged ? std::min(kAreaWidth / kColumns, kAreaHeight / kRows) : 1;
}

// The per-pixel way: the pen takes each image pixel's colour, then every
// screen pixel of its block is one drawPoint call.
void DrawPerPixel(QImage& image, const uint8_t* frame, bool colour, int block) {
    QPainter painter(&image);
    for (int r = 0; r < kRows; ++r) {
        for (int c = 0; c < kColumns; ++c) {
            const size_t i = static_cast<size_t>(r) * kColumns + c;
            const QRgb rgb = colour ? UyvToRgb(frame[3 * i], frame[3 * i + 1], frame[3 * i + 2])
                                    : qRgb(frame[i], frame[i], frame[i]);
            painter.setPen(QColor(rgb));
            for (int dy = 0; dy < block; ++dy)
                for (int dx = 0; dx < block; ++dx)
                    painter.drawPoint(c * block + dx, r * block + dy);
        }
    }
}

std::vector<uint8_t> TestFrame(bool colour) {
    return camsim::FrameSource(kRows, kColumns, colour, camsim::Pattern::Gradient).Frame(7);
}

void BM_Surface(benchmark::State& state, const Case c) {
    RenderPage page(c, TestFrame(c.colour));
    for (auto _ : state) {
        page.DrawFrame();
        benchmark::ClobberMemory();
    }
    if (page.m_nReceived != 0)
        state.SkipWithError("the pass did not end the frame");
    state.counters["frames/s"] =
        benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}

void BM_PerPixel(benchmark::State& state, const Case c) {
    const std::vector<uint8_t> frame = TestFrame(c.colour);
    QImage image(kAreaWidth, kAreaHeight, QImage::Format_RGB32);
    image.fill(0);
    const int block = BlockSize(c.enlarged);
    for (auto _ : state) {
        DrawPerPixel(image, frame.data(), c.colour, block);
        benchmark::DoNotOptimize(image.constBits());
    }
    state.counters["frames/s"] =
        benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}

// Both ways must paint the same pixels, or the comparison means nothing.
bool SameOutput(const Case& c) {
    const std::vector<uint8_t> frame = TestFrame(c.colour);
    RenderPage page(c, frame);
    page.DrawFrame();
    QImage image(kAreaWidth, kAreaHeight, QImage::Format_RGB32);
    image.fill(0);
    DrawPerPixel(image, frame.data(), c.colour, BlockSize(c.enlarged));
    const int extent = BlockSize(c.enlarged);
    for (int y = 0; y < kRows * extent; ++y)
        for (int x = 0; x < kColumns * extent; ++x)
            if (page.m_wndPicture.PixelAt(x, y) != (image.pixel(x, y) & 0xFFFFFFu)) {
                std::fprintf(stderr, "%s: the two ways differ at (%d, %d): %06x vs %06x\n", c.name,
                             x, y, page.m_wndPicture.PixelAt(x, y), image.pixel(x, y) & 0xFFFFFFu);
                return false;
            }
    return true;
}

// The console output, then one line per case: per-pixel time / surface time.
class RatioReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs) {
            if (run.run_type != Run::RT_Iteration || run.error_occurred)
                continue;
            const std::string name = run.benchmark_name();
            const size_t slash = name.find('/');
            if (slash == std::string::npos)
                continue;
            // The best of the repetitions, in nanoseconds per frame.
            const double ns = run.real_accumulated_time * 1e9 / static_cast<double>(run.iterations);
            double& best = m_times[name.substr(slash + 1)][name.substr(0, slash)];
            best = best == 0 ? ns : std::min(best, ns);
        }
    }
    void Finalize() override {
        ConsoleReporter::Finalize();
        std::printf("\n%-18s %14s %14s %12s\n", "case", "surface (us)", "per-pixel (us)", "ratio");
        for (const Case& c : kCases) {
            const auto it = m_times.find(c.name);
            if (it == m_times.end() || it->second["Surface"] == 0 || it->second["PerPixel"] == 0)
                continue;
            const double surface = it->second["Surface"], perPixel = it->second["PerPixel"];
            std::printf("%-18s %14.1f %14.1f %11.1fx\n", c.name, surface / 1e3, perPixel / 1e3,
                        perPixel / surface);
        }
        std::fflush(stdout);
    }

private:
    std::map<std::string, std::map<std::string, double>> m_times;
};

}  // namespace

int main(int argc, char** argv) {
    for (const Case& c : kCases)
        if (!SameOutput(c))
            return 1;
    for (const Case& c : kCases) {
        benchmark::RegisterBenchmark((std::string("Surface/") + c.name).c_str(), BM_Surface, c)
            ->Unit(benchmark::kMicrosecond);
        benchmark::RegisterBenchmark((std::string("PerPixel/") + c.name).c_str(), BM_PerPixel, c)
            ->Unit(benchmark::kMicrosecond);
    }
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    return 0;
}
