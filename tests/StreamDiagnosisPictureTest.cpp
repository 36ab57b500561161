// The stream diagnosis on camera-like pictures (tests/DiagnosisPictures.h and
// the simulator's textured scene): what it reads from a track camera whose
// track saturates, the sensor's colour bars, a window too short for a large
// frame, and pictures that allow several readings. Whatever the stream, a
// confident reading is the right one, its reasons follow from its numbers and
// its candidates are listed by score.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>

#include "capture/StreamDiagnosis.h"
#include "tests/DiagnosisPictures.h"
#include "tools/camsim/TexturedScene.h"

namespace {

using diagpics::Bytes;
using diagpics::Stream;
using diagpics::TrackCamera;
using diagpics::Wire;

bool Has(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

CDiagnosisContext Page(int header, uint32_t rows, uint32_t columns, int colour) {
    CDiagnosisContext page;
    page.header = header;
    page.rows = rows;
    page.columns = columns;
    page.colour = colour;
    return page;
}

// What holds for every report: candidates by score, unscored last; a size
// doubt that calls two sizes equally smooth quotes scores that are; the
// verdict and the flag agree.
void ExpectConsistent(const CDiagnosisReport& r) {
    for (size_t i = 1; i < r.candidates.size(); ++i) {
        const double a = r.candidates[i - 1].score, b = r.candidates[i].score;
        EXPECT_TRUE(b < 0 || (a >= 0 && a <= b)) << "candidate " << i << ": " << a << " then " << b;
    }
    for (const std::string& d : r.doubts) {
        if (!Has(d, "一样平滑"))
            continue;
        double x = -1, y = -1;
        const size_t first = d.find("（"), second = d.find("（", first + 1);
        ASSERT_NE(second, std::string::npos) << "no scores in: " << d;
        ASSERT_EQ(std::sscanf(d.c_str() + first + 3, "%lf", &x), 1) << d;
        ASSERT_EQ(std::sscanf(d.c_str() + second + 3, "%lf", &y), 1) << d;
        EXPECT_LE(std::fabs(x - y), 0.15 * std::max(x, y) + 0.002) << d;
    }
    EXPECT_EQ(r.confident, r.verdict == CDiagnosisReport::Verdict::Confident);
    EXPECT_EQ(r.confident, Has(r.verdictText, "确定：") && !Has(r.verdictText, "不能确定"))
        << r.verdictText;
}

void ExpectConfident(const CDiagnosisReport& r, uint8_t header, uint32_t rows, uint32_t columns,
                     bool colour) {
    ExpectConsistent(r);
    EXPECT_TRUE(r.confident) << ReportText(r);
    EXPECT_EQ(r.header, header);
    EXPECT_EQ(r.frameSize, rows * columns * (colour ? 3 : 1));
    EXPECT_EQ(r.suggestHeader, header);
    EXPECT_EQ(r.suggestRows, rows);
    EXPECT_EQ(r.suggestColumns, columns);
    EXPECT_EQ(r.suggestColour, colour);
    EXPECT_EQ(r.moreBytesNeeded, 0u);
}

// Either not confident, or confident and right.
void ExpectNeverConfidentlyWrong(const CDiagnosisReport& r, uint8_t header, uint32_t rows,
                                 uint32_t columns, bool colour) {
    ExpectConsistent(r);
    if (r.confident) {
        EXPECT_EQ(r.suggestHeader, header) << ReportText(r);
        EXPECT_EQ(r.suggestRows, rows) << ReportText(r);
        EXPECT_EQ(r.suggestColumns, columns) << ReportText(r);
        EXPECT_EQ(r.suggestColour, colour) << ReportText(r);
    }
}

// A 120 x 160 colour track camera caught for 3.5 frames, the capture starting
// inside a frame: too few frames to tell the header from pixel values that
// happen to recur, so the report says so, asks for more bytes and keeps to
// the page's settings. With the bytes it asks for, it is sure.
TEST(StreamDiagnosisPictures, AShortWindowOfALargeColourFrameAsksForMoreBytes) {
    const TrackCamera camera(120, 160, true, 3);
    auto frames = [&](int i) { return camera.Frame(i); };
    Wire wire;
    wire.skip = 20000;
    wire.limit = 57601 * 7 / 2;
    const Bytes shortWindow = Stream(frames, 40, wire);
    const CDiagnosisContext page = Page(255, 120, 160, 1);

    const CDiagnosisReport r = Diagnose(shortWindow.data(), shortWindow.size(), page);
    ExpectConsistent(r);
    EXPECT_FALSE(r.confident) << ReportText(r);
    EXPECT_TRUE(r.headerFound);
    EXPECT_EQ(r.period, 57601u);
    EXPECT_GT(r.moreBytesNeeded, 0u);
    EXPECT_TRUE(Has(r.verdictText, "只看到")) << r.verdictText;
    EXPECT_TRUE(Has(ReportText(r), "还需要：约 " + std::to_string(r.moreBytesNeeded) + " 字节"));
    // Nothing that contradicts the page, which the stream fits.
    EXPECT_EQ(r.suggestHeader, 255);
    EXPECT_EQ(r.suggestRows, 120u);
    EXPECT_EQ(r.suggestColumns, 160u);
    EXPECT_TRUE(r.suggestColour);

    // Without the page it is no surer.
    const CDiagnosisReport bare = Diagnose(shortWindow.data(), shortWindow.size(), {});
    ExpectNeverConfidentlyWrong(bare, 255, 120, 160, true);
    EXPECT_FALSE(bare.confident);
    EXPECT_GT(bare.moreBytesNeeded, 0u);

    // The same capture, listened to for the bytes asked for, again while
    // more are asked for (pixel values that recur in every period by chance
    // need more periods to rule out): a confident, right reading soon.
    CDiagnosisReport longer = r;
    Bytes bytes = shortWindow;
    for (int round = 0; round < 3 && longer.moreBytesNeeded > 0; ++round) {
        wire.limit = bytes.size() + size_t(longer.moreBytesNeeded);
        bytes = Stream(frames, 40, wire);
        longer = Diagnose(bytes.data(), bytes.size(), page);
        ExpectNeverConfidentlyWrong(longer, 255, 120, 160, true);
    }
    ExpectConfident(longer, 255, 120, 160, true);
    EXPECT_LT(bytes.size(), size_t{2} << 20);
}

// A header whose value is also frequent in the picture (a track camera's
// blown-out track, half the bytes 255) and small or unusual frames: the one
// position that recurs exactly once per frame is the header, and the report
// says how common its value is.
TEST(StreamDiagnosisPictures, TheHeaderIsThePositionThatRecursOncePerFrame) {
    const struct {
        const char* name;
        int rows, columns;
        bool colour;
        double track;
        int frames;
    } cases[] = {
        {"saturated 60x80 grayscale", 60, 80, false, 0.5, 10},
        {"saturated 120x160 colour", 120, 160, true, 0.5, 8},
        {"small 30x40 colour", 30, 40, true, 0.3, 12},
        {"120x188 grayscale", 120, 188, false, 0.3, 8},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const TrackCamera camera(c.rows, c.columns, c.colour, 5, c.track);
        Wire wire;
        wire.skip = 777;
        const Bytes bytes = Stream([&](int i) { return camera.Frame(i); }, c.frames, wire);
        const CDiagnosisReport r = Diagnose(bytes.data(), bytes.size(), {});
        ExpectConfident(r, 255, c.rows, c.columns, c.colour);
        EXPECT_EQ(r.period, uint32_t(c.rows * c.columns * (c.colour ? 3 : 1) + 1));
        EXPECT_EQ(r.gaps, r.gapsAtPeriod);
        if (c.track >= 0.5) {
            EXPECT_GT(r.headerValueShare, c.colour ? 0.1 : 0.4);
            EXPECT_TRUE(Has(ReportText(r), "数据头的值 255 在数据里很常见")) << ReportText(r);
        }
    }
    {
        // A header whose value is one of the picture's common chroma values
        // (119 among U and V around 116..128): a pixel value that happens to
        // recur at one position is no reason to overrule the page, and
        // without the page no reason to be sure.
        SCOPED_TRACE("header 119 among chroma values");
        const TrackCamera camera(60, 80, true, 255, 0.5);
        Wire wire;
        wire.skip = 4562;
        wire.header = 119;
        const Bytes bytes = Stream([&](int i) { return camera.Frame(i); }, 6, wire);
        const CDiagnosisReport page = Diagnose(bytes.data(), bytes.size(), Page(119, 60, 80, 1));
        ExpectNeverConfidentlyWrong(page, 119, 60, 80, true);
        EXPECT_EQ(page.suggestHeader, 119);
        ExpectNeverConfidentlyWrong(Diagnose(bytes.data(), bytes.size(), {}), 119, 60, 80, true);
    }
    // A lone header of another value is found all the same.
    const TrackCamera camera(60, 80, false, 9);
    Wire wire;
    wire.header = 170;
    const Bytes bytes = Stream([&](int i) { return camera.Frame(i); }, 8, wire);
    ExpectConfident(Diagnose(bytes.data(), bytes.size(), {}), 170, 60, 80, false);
}

// The sensor's colour bars, the same every frame, every row alike: the header
// is 255 (not 0, which is as frequent), the frame's size is 57600 also with
// stray bytes between frames, and the page's 120 x 160 settles which multiple
// of 160 columns it is.
TEST(StreamDiagnosisPictures, ColourBarsKeepTheConfiguredHeaderAndSize) {
    const Bytes bars = diagpics::ColourBars(120, 160);
    for (size_t stray : {size_t{0}, size_t{3}}) {
        SCOPED_TRACE("stray bytes " + std::to_string(stray));
        Wire wire;
        wire.stray = stray;
        wire.skip = 1000;
        const Bytes bytes = Stream([&](int) { return bars; }, 8, wire);
        const CDiagnosisReport page = Diagnose(bytes.data(), bytes.size(), Page(255, 120, 160, 1));
        ExpectConfident(page, 255, 120, 160, true);
        EXPECT_EQ(page.garbage, stray);
        EXPECT_TRUE(Has(ReportText(page), "每一行都相同")) << ReportText(page);

        // Without the page: the header and frame, but which multiple of 160
        // columns stays open.
        const CDiagnosisReport bare = Diagnose(bytes.data(), bytes.size(), {});
        ExpectConsistent(bare);
        EXPECT_FALSE(bare.confident);
        EXPECT_EQ(bare.header, 255);
        EXPECT_EQ(bare.frameSize, 57600u);
        EXPECT_TRUE(Has(bare.verdictText, "一样平滑")) << bare.verdictText;

        // A page set to another multiple of 160 fits the stream's frame but
        // is not the smallest row: no confident answer either way.
        const CDiagnosisReport wide = Diagnose(bytes.data(), bytes.size(), Page(255, 60, 320, 1));
        ExpectConsistent(wide);
        EXPECT_FALSE(wide.confident);
        EXPECT_EQ(wide.suggestRows, 60u);
        EXPECT_EQ(wide.suggestColumns, 320u);
    }
}

// Pictures that leave the size open, and noise, are not answered
// confidently.
TEST(StreamDiagnosisPictures, HonestUncertaintyStaysHonest) {
    {
        SCOPED_TRACE("flat");
        const Bytes bytes = Stream([](int i) { return diagpics::FlatPicture(60, 80, i); }, 8);
        const CDiagnosisReport r = Diagnose(bytes.data(), bytes.size(), {});
        ExpectConsistent(r);
        EXPECT_FALSE(r.confident) << ReportText(r);
        EXPECT_EQ(r.header, 255);
    }
    for (const CDiagnosisContext& page : {CDiagnosisContext{}, Page(255, 30, 160, 0)}) {
        SCOPED_TRACE("every row the same, page " + std::to_string(page.rows));
        const Bytes bytes = Stream([](int i) { return diagpics::RepeatingRows(60, 80, i); }, 8);
        const CDiagnosisReport r = Diagnose(bytes.data(), bytes.size(), page);
        ExpectConsistent(r);
        EXPECT_FALSE(r.confident) << ReportText(r);
        EXPECT_EQ(r.frameSize, 4800u);
    }
    {
        // A picture that never changes (a board sending a stored picture):
        // every pixel value recurs once a period, as the header does. Alone
        // that leaves the header open; the page's header, held once a
        // period through the whole window and nowhere else, settles it.
        SCOPED_TRACE("a still picture");
        Bytes still(80 * 60);
        for (size_t i = 0; i < still.size(); ++i)
            still[i] = uint8_t((i / 80 * 3 + i % 80 * 2) % 200 + diagpics::Hash(uint32_t(i)) % 55);
        Wire from;
        from.skip = 100;
        const Bytes bytes = Stream([&](int) { return still; }, 8, from);
        const CDiagnosisReport bare = Diagnose(bytes.data(), bytes.size(), {});
        ExpectConsistent(bare);
        EXPECT_FALSE(bare.confident) << ReportText(bare);
        const CDiagnosisReport page = Diagnose(bytes.data(), bytes.size(), Page(255, 60, 80, 0));
        ExpectConsistent(page);
        EXPECT_TRUE(page.confident) << ReportText(page);
        EXPECT_EQ(page.header, 255);
        EXPECT_EQ(page.moreBytesNeeded, 0u);
        // A page header that is a pixel of the still picture is no reason
        // to be sure.
        const CDiagnosisReport pixel =
            Diagnose(bytes.data(), bytes.size(), Page(still[500], 60, 80, 0));
        ExpectConsistent(pixel);
        EXPECT_TRUE(!pixel.confident || pixel.header == 255) << ReportText(pixel);
    }
    {
        SCOPED_TRACE("half a megabyte of noise (a wrong baud rate)");
        Bytes noise(size_t{512} << 10);
        for (size_t i = 0; i < noise.size(); ++i)
            noise[i] = uint8_t(diagpics::Hash(uint32_t(i), 77));
        const CDiagnosisReport r = Diagnose(noise.data(), noise.size(), {});
        EXPECT_EQ(r.verdict, CDiagnosisReport::Verdict::NoHeader) << ReportText(r);
        EXPECT_FALSE(r.headerFound);
    }
}

// Pictures whose rows and columns could swap are answered right or not at
// all, from both picture models.
TEST(StreamDiagnosisPictures, SwappableShapesAreRightOrUnsure) {
    const struct {
        int rows, columns;
        bool colour;
    } shapes[] = {{160, 120, false}, {120, 160, false}, {64, 64, false}, {96, 128, true}};
    for (const auto& s : shapes) {
        SCOPED_TRACE(std::to_string(s.rows) + "x" + std::to_string(s.columns));
        const TrackCamera camera(s.rows, s.columns, s.colour, 6);
        const Bytes track = Stream([&](int i) { return camera.Frame(i); }, 6);
        ExpectNeverConfidentlyWrong(Diagnose(track.data(), track.size(), {}), 255, s.rows,
                                    s.columns, s.colour);
        // The simulator's textured scene, its header inside a saturated
        // patch now and then.
        const camsim::TexturedScene scene(s.rows, s.columns, 11);
        const Bytes textured = Stream([&](int i) { return scene.Gray(i); }, 6);
        ExpectNeverConfidentlyWrong(Diagnose(textured.data(), textured.size(), {}), 255, s.rows,
                                    s.columns, false);
    }
}

}  // namespace
