// The stream diagnosis on 4 MiB, the most it looks at: a track camera in
// colour and in grayscale (saturated), the simulator's textured scene, random
// bytes (a wrong baud rate) and colour bars.
// Prints the median time of five analyses of each and the reading.
//
// --table: a Markdown table, one row per stream, of what the diagnosis
// answers against what was sent: every preset at two sizes with three
// pictures, as a live board sends them at 921600 baud, and the streams whose
// reading is hard (too few periods, saturated, colour bars, flat, repeating,
// square). Where an answer asks for more bytes, a second row gives the answer
// after listening on as the diagnosis window does. Median of three analyses.
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>
#include <memory>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "capture/StreamDiagnosis.h"
#include "stream/PixelEncoding.h"
#include "stream/StreamFormat.h"
#include "tests/DiagnosisPictures.h"
#include "tests/PresetCases.h"
#include "tools/camsim/FrameEncoder.h"
#include "tools/camsim/FrameSource.h"
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

// ---- --table ----

using stream::Encoding;

// Bytes a 921600 baud line carries in 3 s (the diagnosis window's first
// listening), in half a second (what it listens for beyond the bytes the
// diagnosis asks for) and in 10 s (the most it listens).
constexpr size_t kThreeSeconds = 3 * 921600 / 10;
constexpr size_t kHalfSecond = 921600 / 20;
constexpr size_t kTenSeconds = 921600;

// What was sent, to compare the answer with. No preset: nothing to compare
// (random bytes).
struct Sent {
    std::string preset;
    uint32_t rows = 0;
    uint32_t columns = 0;
    Encoding encoding = Encoding::Gray8;
    uint8_t header = 255;  // the design's format
};

struct Case {
    std::string name;
    std::string model;
    Bytes bytes;
    CDiagnosisContext context;
    Sent sent;
    std::string window;  // how much of the stream, e.g. "8.0 frames, 38408 bytes"
};

// A track camera as the format recogniser's test draws it (a dark field with
// noise, a bright saturated track narrowing to the top, moving a little from
// frame to frame), written as a PPM for the simulator's file source.
std::string TrackPicture(const std::string& folder, int rows, int columns, uint64_t index) {
    std::mt19937 noise(static_cast<uint32_t>(index * 7919 + rows));
    std::normal_distribution<double> sigma(0, 4);
    std::string ppm = "P6\n" + std::to_string(columns) + " " + std::to_string(rows) + "\n255\n";
    const double centre = columns / 2.0 + 3.0 * std::sin(static_cast<double>(index) * 0.3);
    for (int r = 0; r < rows; ++r) {
        const double half = columns * (0.08 + 0.3 * r / rows);
        const double bend = (rows - r) * (rows - r) * 0.15 / rows;
        for (int c = 0; c < columns; ++c) {
            const bool track = std::abs(c - centre - bend) < half;
            const int base[3] = {track ? 300 : 35, track ? 300 : 45, track ? 290 : 30};
            for (int k = 0; k < 3; ++k) {
                const int v = static_cast<int>(base[k] + sigma(noise));
                ppm += static_cast<char>(std::clamp(v, 0, 255));
            }
        }
    }
    const std::string path = folder + "/track-" + std::to_string(index) + ".ppm";
    std::ofstream(path, std::ios::binary) << ppm;
    return path;
}

enum class Model { Scene, Gradient, Track };

const char* ModelText(Model model) {
    switch (model) {
        case Model::Scene:
            return "simulator scene (camsim Scene)";
        case Model::Gradient:
            return "simulator gradient (camsim Gradient)";
        case Model::Track:
            return "track picture (the recogniser test's own)";
    }
    return "";
}

// A preset's board streaming at 921600 baud, the capture starting 0.37 of a
// frame in: `length` bytes, or (0) 8 frames or 3 s of the line, whichever is
// less, with the offsets after which each frame began (the line's pauses
// before a headerless frame).
std::optional<Case> PresetStream(const stream::CStreamPreset& preset, Encoding encoding, int rows,
                                 int columns, Model model, const std::string& folder,
                                 size_t length) {
    const bool jpeg = preset.format.framing == stream::Framing::Jpeg;
    const std::string between = jpeg ? "ACK IMG END\r\n" : "";
    const Encoding sent = preset.format.Resolved(encoding == Encoding::Uyv);
    const bool colour = camsim::FrameEncoder::NeedsColour(sent);
    Bytes bytes;
    std::vector<uint64_t> starts;
    size_t cut = 0, want = 0;
    for (int k = 0; k < 4096 && (want == 0 || bytes.size() < cut + want); ++k) {
        std::optional<camsim::FrameSource> source;
        if (model == Model::Track) {
            std::string error;
            const std::string path = TrackPicture(folder, rows, columns, uint64_t(k));
            source = camsim::FrameSource::FromFile(path, rows, columns, colour, &error);
            std::remove(path.c_str());
            if (!source) {
                std::fprintf(stderr, "track picture unreadable: %s\n", error.c_str());
                return std::nullopt;
            }
        } else {
            source.emplace(
                rows, columns, colour,
                model == Model::Scene ? camsim::Pattern::Scene : camsim::Pattern::Gradient);
        }
        const camsim::FrameEncoder encoder(preset.format, sent, 255, *source, 80);
        const Bytes wire = encoder.Encode(uint64_t(k), false).Wire();
        bytes.insert(bytes.end(), between.begin(), between.end());
        starts.push_back(bytes.size());
        bytes.insert(bytes.end(), wire.begin(), wire.end());
        if (k == 0) {
            const size_t frame = bytes.size();
            cut = size_t(0.37 * double(frame));
            want = length > 0 ? length : std::min(8 * frame, kThreeSeconds);
            want = std::min(want, size_t{4} << 20);
        }
    }
    want = std::min(want, bytes.size() - cut);
    Case c;
    c.bytes.assign(bytes.begin() + std::ptrdiff_t(cut), bytes.begin() + std::ptrdiff_t(cut + want));
    const double frames = double(want) / (double(bytes.size()) / double(starts.size()));
    char window[64];
    std::snprintf(window, sizeof window, "%.1f frames, %zu bytes", frames, want);
    c.window = window;
    c.model = ModelText(model);
    c.sent = {preset.id, uint32_t(rows), uint32_t(columns), encoding, 255};
    // The page at the design's format and the preset's usual size, as the
    // recogniser's test has it; a headerless board that answers requests
    // was asked with its format, and a live line shows where frames began.
    c.context.header = 255;
    c.context.rows = preset.rows;
    c.context.columns = preset.columns;
    c.context.hasFormat = true;
    const bool headerless = preset.format.framing == stream::Framing::Headerless;
    if (headerless && !preset.format.requestPerFrame.empty())
        c.context.format = preset.format;
    if (headerless)
        for (uint64_t s : starts)
            if (s >= cut && s < cut + want)
                c.context.pauses.push_back(s - cut);
    c.name = std::string(preset.id) + " " + std::to_string(rows) + "×" + std::to_string(columns) +
             " " + stream::Info(encoding).id + (headerless ? ", with pauses" : "");
    return c;
}

// The first n characters of UTF-8 text.
std::string Shorten(const std::string& text, size_t n) {
    size_t chars = 0, i = 0;
    while (i < text.size() && chars < n) {
        const unsigned char b = static_cast<unsigned char>(text[i]);
        i += b < 0x80 ? 1 : b < 0xE0 ? 2 : b < 0xF0 ? 3 : 4;
        ++chars;
    }
    return i < text.size() ? text.substr(0, i) + "…" : text;
}

std::string Cell(const std::string& text) {
    std::string out;
    for (char ch : text) {
        if (ch == '|')
            out += "\\|";
        else if (ch == '\n')
            out += ' ';
        else
            out += ch;
    }
    return out;
}

// The encoding the answer stands for.
Encoding AnswerEncoding(const CDiagnosisReport& r) {
    if (r.formatFound)
        return r.suggestFormat.encoding;
    return r.suggestColour ? Encoding::Uyv : Encoding::Gray8;
}

bool HasSuggestion(const CDiagnosisReport& r) {
    return r.formatFound || (r.headerFound && r.suggestRows > 0);
}

std::string Suggestion(const CDiagnosisReport& r) {
    std::string text =
        r.formatFound ? r.suggestPreset : "design header " + std::to_string(r.suggestHeader);
    return text + " " + std::to_string(r.suggestRows) + "×" + std::to_string(r.suggestColumns) +
           " " + stream::Info(AnswerEncoding(r)).id +
           (r.suggestGeometryFromWire ? " (size from the wire)" : "");
}

bool Right(const CDiagnosisReport& r, const Sent& sent) {
    if (!HasSuggestion(r))
        return false;
    const std::string preset = r.formatFound ? r.suggestPreset : std::string("design");
    if (preset != sent.preset || r.suggestRows != sent.rows || r.suggestColumns != sent.columns ||
        AnswerEncoding(r) != sent.encoding)
        return false;
    return r.formatFound || r.suggestHeader == sent.header;
}

std::string Answer(const CDiagnosisReport& r) {
    std::string text;
    if (r.confident)
        return Suggestion(r);
    if (r.verdict == CDiagnosisReport::Verdict::NoHeader && !r.formatFound)
        text = Shorten(r.verdictText, 40);
    else
        text = "not sure: " +
               (r.doubts.empty() ? Shorten(r.verdictText, 40) : Shorten(r.doubts[0], 40));
    if (HasSuggestion(r))
        text += "; suggests " + Suggestion(r);
    const auto& g = r.recognition;
    if (!g.readings.empty() && g.readings[0].presetId != "design") {
        const auto& b = g.readings[0];
        text += "; format reading nearest " + b.presetId + " " + std::to_string(b.rows) + "×" +
                std::to_string(b.columns) + " " + stream::Info(b.encoding).id;
    }
    if (r.moreBytesNeeded > 0)
        text += "; asks for " + std::to_string(r.moreBytesNeeded) + " more bytes";
    return text;
}

struct Tally {
    int confidentRight = 0, notConfident = 0, confidentWrong = 0;
};

CDiagnosisReport Row(const Case& c, Tally& tally) {
    std::vector<double> ms;
    CDiagnosisReport r;
    for (int i = 0; i < 3; ++i) {
        const auto start = std::chrono::steady_clock::now();
        r = Diagnose(c.bytes.data(), c.bytes.size(), c.context);
        ms.push_back(
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
                .count());
    }
    std::sort(ms.begin(), ms.end());
    const bool known = !c.sent.preset.empty();
    const bool right = known && Right(r, c.sent);
    // Random bytes have no right reading: any confident one is wrong.
    std::string verdict;
    if (r.confident && !right)
        verdict = "**WRONG**";
    else if (!known)
        verdict = "— (nothing to match)";
    else if (!r.confident && !HasSuggestion(r))
        verdict = "— (no suggestion)";
    else
        verdict = right ? "right" : "wrong";
    if (!r.confident)
        ++tally.notConfident;
    else if (right)
        ++tally.confidentRight;
    else
        ++tally.confidentWrong;
    std::string name = c.name;
    if (!c.window.empty())
        name += " (" + c.window + ")";
    std::printf("| %s | %s | %s | %s | %s | %.1f |\n", Cell(name).c_str(), Cell(c.model).c_str(),
                Cell(Answer(r)).c_str(), r.confident ? "yes" : "no", verdict.c_str(), ms[1]);
    std::fflush(stdout);
    return r;
}

// A stream of a given length (0: the case's own window).
using Source = std::function<std::optional<Case>(size_t length)>;

// The row of a case; when the answer asks for more bytes, listens on as the
// diagnosis window does (the bytes asked for and half a second more, at most
// 10 s in all) and adds the row of the last answer.
bool Run(const Source& source, Tally& first, Tally& listened) {
    std::optional<Case> c = source(0);
    if (!c)
        return false;
    CDiagnosisReport r = Row(*c, first);
    size_t length = c->bytes.size();
    bool more = false;
    while (r.moreBytesNeeded > 0 && length < kTenSeconds) {
        length = std::min<size_t>(kTenSeconds, length + r.moreBytesNeeded + kHalfSecond);
        c = source(length);
        if (!c)
            return false;
        length = c->bytes.size();
        r = Diagnose(c->bytes.data(), c->bytes.size(), c->context);
        more = true;
    }
    if (more) {
        c->name = "↳ after listening on: " + c->name;
        Row(*c, listened);
    }
    return true;
}

CDiagnosisContext Page(int header, uint32_t rows, uint32_t columns, int colour) {
    CDiagnosisContext page;
    page.header = header;
    page.rows = rows;
    page.columns = columns;
    page.colour = colour;
    return page;
}

std::string PageText(const CDiagnosisContext& page) {
    if (page.header < 0)
        return "no page";
    return "page header " + std::to_string(page.header) + " " + std::to_string(page.rows) + "×" +
           std::to_string(page.columns) + (page.colour == 1 ? " colour" : " gray");
}

Case PictureCase(const std::string& name, const std::string& model, Bytes bytes,
                 const CDiagnosisContext& page, Sent sent) {
    Case c;
    c.window = std::to_string(bytes.size()) + " bytes";
    c.name = name + ", " + PageText(page);
    c.model = model;
    c.bytes = std::move(bytes);
    c.context = page;
    c.sent = std::move(sent);
    return c;
}

Sent Design(uint32_t rows, uint32_t columns, bool colour, uint8_t header = 255) {
    return {"design", rows, columns, colour ? Encoding::Uyv : Encoding::Gray8, header};
}

// A stream of camera pictures as the diagnosis tests send it, diagnosed
// with `page`; longer streams go on with the same frames.
Source Pictures(const std::string& name, const std::string& model, std::function<Bytes(int)> frame,
                int frames, const diagpics::Wire& wire, const CDiagnosisContext& page,
                const Sent& sent) {
    return [=](size_t length) -> std::optional<Case> {
        diagpics::Wire w = wire;
        int count = frames;
        if (length > 0) {
            w.limit = length;
            count = 1 << 20;
        }
        return PictureCase(name, model, diagpics::Stream(frame, count, w), page, sent);
    };
}

// The streams whose reading is hard, with the page each is diagnosed with.
std::vector<Source> HardCases() {
    using diagpics::TrackCamera;
    using diagpics::Wire;
    const std::string track = "track camera (DiagnosisPictures.h)";
    std::vector<Source> cases;
    {
        const TrackCamera camera(120, 160, true, 3);
        Wire wire;
        wire.skip = 20000;
        wire.limit = 57601 * 7 / 2;
        for (const CDiagnosisContext& page : {Page(255, 120, 160, 1), CDiagnosisContext{}})
            cases.push_back(Pictures(
                "large colour frame 120×160, 3.5 periods", track,
                [camera](int i) { return camera.Frame(i); }, 40, wire, page,
                Design(120, 160, true)));
    }
    const struct {
        const char* name;
        int rows, columns;
        bool colour;
        double share;
        int frames;
    } saturated[] = {
        {"saturated 60×80 gray", 60, 80, false, 0.5, 10},
        {"saturated 120×160 colour", 120, 160, true, 0.5, 8},
        {"small colour frame 30×40", 30, 40, true, 0.3, 12},
        {"gray 120×188", 120, 188, false, 0.3, 8},
    };
    for (const auto& s : saturated) {
        const TrackCamera camera(s.rows, s.columns, s.colour, 5, s.share);
        Wire wire;
        wire.skip = 777;
        cases.push_back(Pictures(
            s.name, track, [camera](int i) { return camera.Frame(i); }, s.frames, wire, {},
            Design(uint32_t(s.rows), uint32_t(s.columns), s.colour)));
    }
    {
        const TrackCamera camera(60, 80, true, 255, 0.5);
        Wire wire;
        wire.skip = 4562;
        wire.header = 119;
        for (const CDiagnosisContext& page : {Page(119, 60, 80, 1), CDiagnosisContext{}})
            cases.push_back(Pictures(
                "header 119 among chroma values, 60×80 colour", track,
                [camera](int i) { return camera.Frame(i); }, 6, wire, page,
                Design(60, 80, true, 119)));
        const TrackCamera gray(60, 80, false, 9);
        Wire other;
        other.header = 170;
        cases.push_back(Pictures(
            "header 170, 60×80 gray", track, [gray](int i) { return gray.Frame(i); }, 8, other, {},
            Design(60, 80, false, 170)));
    }
    const Bytes bars = diagpics::ColourBars(120, 160);
    for (size_t stray : {size_t{0}, size_t{3}}) {
        Wire wire;
        wire.stray = stray;
        wire.skip = 1000;
        for (const CDiagnosisContext& page :
             {Page(255, 120, 160, 1), CDiagnosisContext{}, Page(255, 60, 320, 1)})
            cases.push_back(Pictures(
                "colour bars 120×160, " + std::to_string(stray) + " stray bytes",
                "colour bars (DiagnosisPictures.h)", [bars](int) { return bars; }, 8, wire, page,
                Design(120, 160, true)));
    }
    cases.push_back(Pictures(
        "flat 60×80 gray", "flat picture (DiagnosisPictures.h)",
        [](int i) { return diagpics::FlatPicture(60, 80, i); }, 8, {}, {}, Design(60, 80, false)));
    for (const CDiagnosisContext& page : {CDiagnosisContext{}, Page(255, 30, 160, 0)})
        cases.push_back(Pictures(
            "every row alike 60×80 gray", "repeating rows (DiagnosisPictures.h)",
            [](int i) { return diagpics::RepeatingRows(60, 80, i); }, 8, {}, page,
            Design(60, 80, false)));
    cases.push_back([](size_t length) -> std::optional<Case> {
        Bytes noise(length > 0 ? length : size_t{512} << 10);
        for (size_t i = 0; i < noise.size(); ++i)
            noise[i] = uint8_t(diagpics::Hash(uint32_t(i), 77));
        return PictureCase("random bytes (a wrong baud rate)", "random bytes", noise, {}, Sent{});
    });
    const struct {
        int rows, columns;
        bool colour;
    } shapes[] = {{160, 120, false}, {120, 160, false}, {64, 64, false}, {96, 128, true}};
    for (const auto& s : shapes) {
        const std::string size = std::to_string(s.rows) + "×" + std::to_string(s.columns);
        const TrackCamera camera(s.rows, s.columns, s.colour, 6);
        cases.push_back(Pictures(
            size + (s.colour ? " colour" : " gray") + " (square or swappable)", track,
            [camera](int i) { return camera.Frame(i); }, 6, {}, {},
            Design(uint32_t(s.rows), uint32_t(s.columns), s.colour)));
        // The textured scene is grayscale only.
        const auto scene = std::make_shared<camsim::TexturedScene>(s.rows, s.columns, 11);
        cases.push_back(Pictures(
            size + " gray (square or swappable)", "simulator textured scene (camsim TexturedScene)",
            [scene](int i) { return scene->Gray(i); }, 6, {}, {},
            Design(uint32_t(s.rows), uint32_t(s.columns), false)));
    }
    return cases;
}

int Table() {
    char folder[] = "/tmp/tavix-bench-diagnose-XXXXXX";
    if (mkdtemp(folder) == nullptr) {
        std::fprintf(stderr, "cannot make a temporary folder: %s\n", std::strerror(errno));
        return 1;
    }
    std::printf("| case | picture model | what Diagnose() answers | confident? | right? | ms |\n");
    std::printf("| --- | --- | --- | --- | --- | --- |\n");
    Tally first, listened;
    int status = 0;
    // Every preset at the two sizes the format recogniser's test sends.
    for (const auto& p : presetcases::kPresets) {
        const stream::CStreamPreset* preset = stream::FindPreset(p.preset);
        if (preset == nullptr) {
            std::fprintf(stderr, "no preset %s\n", p.preset);
            status = 1;
            continue;
        }
        for (Model model : {Model::Scene, Model::Gradient, Model::Track}) {
            const std::string where = folder;
            const Source source = [=](size_t length) {
                return PresetStream(*preset, p.encoding, p.rows, p.columns, model, where, length);
            };
            if (!Run(source, first, listened))
                status = 1;
        }
    }
    rmdir(folder);
    for (const Source& source : HardCases())
        if (!Run(source, first, listened))
            status = 1;
    std::printf(
        "\nfirst answers: %d confident and right, %d not confident, %d confident and wrong\n",
        first.confidentRight, first.notConfident, first.confidentWrong);
    std::printf(
        "after listening on: %d confident and right, %d not confident, %d confident and wrong\n",
        listened.confidentRight, listened.notConfident, listened.confidentWrong);
    return status;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 2 && std::strcmp(argv[1], "--table") == 0)
        return Table();
    if (argc > 1) {
        std::fprintf(stderr, "usage: tavix-bench-diagnose [--table]\n");
        return 2;
    }
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
