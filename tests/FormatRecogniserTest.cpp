// The stream format recogniser over the bytes the simulator's FrameEncoder
// sends for every preset (its scene and its gradient, and a track camera's
// picture made here), and over streams that must never be read with
// confidence: garbage, a flat or repeating picture, swapped byte and 4:2:2
// orders, too few frames.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <sys/stat.h>
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <random>
#include <string>
#include <thread>

#include "ChildProcess.h"
#include "serial/PortDevices.h"
#include "serial/SerialPort.h"
#include "stream/FormatRecogniser.h"
#include "stream/PixelClassifier.h"
#include "stream/StreamFormat.h"
#include "tests/PresetCases.h"
#include "tools/camsim/FrameEncoder.h"
#include "tools/camsim/FrameSource.h"

namespace {

using Bytes = std::vector<uint8_t>;
using stream::Encoding;
using stream::FormatRecognition;
using Verdict = stream::FormatRecognition::Verdict;

enum class Model { Scene, Gradient, Track };

const char* ModelName(Model model) {
    return model == Model::Scene ? "scene" : model == Model::Gradient ? "gradient" : "track";
}

// A track camera: a dark field with sensor noise and a bright, saturated
// track narrowing towards the top of the picture, moving a little from frame
// to frame. Written as a PPM for camsim's file source.
std::string TrackPicture(int rows, int columns, uint64_t index) {
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
    const std::string path = std::string(getenv("HOME")) + "/track-" + std::to_string(getpid()) +
                             "-" + std::to_string(index) + ".ppm";
    std::ofstream(path, std::ios::binary) << ppm;
    return path;
}

// `count` frames of a format as its board sends them, the first starting
// `skip` bytes into the stream (a capture rarely begins at a frame), with the
// offsets where each frame began after a pause.
struct Stream {
    Bytes bytes;
    std::vector<uint64_t> starts;
};

Stream Make(const stream::CStreamFormat& format, Encoding encoding, int rows, int columns,
            Model model, int count, double skip = 0.37, const std::string& between = {},
            uint8_t header = 255) {
    Stream out;
    const bool colour = camsim::FrameEncoder::NeedsColour(encoding);
    for (int k = 0; k < count; ++k) {
        std::optional<camsim::FrameSource> source;
        if (model == Model::Track) {
            std::string error;
            const std::string path = TrackPicture(rows, columns, k);
            source = camsim::FrameSource::FromFile(path, rows, columns, colour, &error);
            std::remove(path.c_str());
            EXPECT_TRUE(source) << error;
        } else {
            source.emplace(
                rows, columns, colour,
                model == Model::Scene ? camsim::Pattern::Scene : camsim::Pattern::Gradient);
        }
        const camsim::FrameEncoder encoder(format, encoding, header, *source, 80);
        const Bytes wire = encoder.Encode(static_cast<uint64_t>(k), false).Wire();
        out.bytes.insert(out.bytes.end(), between.begin(), between.end());
        out.starts.push_back(out.bytes.size());
        out.bytes.insert(out.bytes.end(), wire.begin(), wire.end());
    }
    const size_t cut = static_cast<size_t>(skip * static_cast<double>(out.bytes.size() / count));
    out.bytes.erase(out.bytes.begin(), out.bytes.begin() + static_cast<std::ptrdiff_t>(cut));
    std::vector<uint64_t> starts;
    for (uint64_t s : out.starts)
        if (s >= cut)
            starts.push_back(s - cut);
    out.starts = starts;
    return out;
}

std::string Describe(const FormatRecognition& r) {
    std::string text = r.verdictText;
    for (const auto& reading : r.readings)
        text += "\n  " + reading.presetId + " " + std::to_string(reading.rows) + "x" +
                std::to_string(reading.columns) + " " + stream::Info(reading.encoding).id +
                " score " + std::to_string(reading.score) + (reading.sound ? " sound" : "") + ": " +
                reading.evidence;
    for (const auto& d : r.doubts)
        text += "\n  ? " + d;
    return text;
}

// Never confident and wrong: either not confident, or right.
void ExpectNotConfidentlyWrong(const FormatRecognition& r, const stream::CStreamFormat& format,
                               Encoding encoding, uint32_t rows, uint32_t columns) {
    if (r.verdict != Verdict::Confident)
        return;
    const auto& best = r.readings[0];
    const stream::CStreamPreset* preset = stream::PresetOf(format);
    EXPECT_EQ(best.presetId, preset != nullptr ? preset->id : "custom") << Describe(r);
    EXPECT_TRUE(best.format == format) << stream::FormatToText(format) << "\n" << Describe(r);
    EXPECT_EQ(best.encoding, encoding) << Describe(r);
    EXPECT_EQ(best.rows, rows) << Describe(r);
    EXPECT_EQ(best.columns, columns) << Describe(r);
}

using presetcases::kPresets;
using presetcases::PresetCase;

// Fed as each board's bytes reach a host that has the page at the design's
// format (the headerless ones once from a file, once with the pauses), every
// preset is told with its geometry and encoding, confidently.
TEST(FormatRecogniser, EveryPresetAtTwoSizesAndThreePictures) {
    std::printf("%-14s %-8s %-9s %-14s %-9s %-10s %s\n", "preset", "size", "picture", "answer",
                "size", "confident", "ms");
    for (const PresetCase& c : kPresets) {
        const stream::CStreamPreset* preset = stream::FindPreset(c.preset);
        ASSERT_NE(preset, nullptr);
        for (Model model : {Model::Scene, Model::Gradient, Model::Track}) {
            const bool jpeg = preset->format.framing == stream::Framing::Jpeg;
            const Encoding sent = preset->format.Resolved(c.encoding == Encoding::Uyv);
            const Stream s = Make(preset->format, sent, c.rows, c.columns, model, 5, 0.37,
                                  jpeg ? "ACK IMG END\r\n" : "");
            stream::RecogniserContext context;
            context.headerByte = 255;
            context.hasFormat = true;     // the design's format, which sends no requests
            context.rows = preset->rows;  // the page at the preset's usual size
            context.columns = preset->columns;
            if (preset->format.requestPerFrame.size() > 0 &&
                preset->format.framing == stream::Framing::Headerless)
                context.format = preset->format;  // the page asked for frames
            const bool headerless = preset->format.framing == stream::Framing::Headerless;
            for (int paused = 0; paused < (headerless ? 2 : 1); ++paused) {
                if (paused)
                    context.pauses = s.starts;
                const auto t0 = std::chrono::steady_clock::now();
                const FormatRecognition r =
                    stream::RecogniseFormat(s.bytes.data(), s.bytes.size(), context);
                const double ms =
                    std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0)
                        .count();
                const std::string where = std::string(c.preset) + " " + std::to_string(c.rows) +
                                          "x" + std::to_string(c.columns) + " " + ModelName(model) +
                                          (paused ? " paused" : "");
                ASSERT_FALSE(r.readings.empty()) << where;
                const auto& best = r.readings[0];
                std::printf(
                    "%-14s %-8s %-9s %-14s %-9s %-10s %.1f\n", c.preset,
                    (std::to_string(c.rows) + "x" + std::to_string(c.columns)).c_str(),
                    (std::string(ModelName(model)) + (paused ? "+p" : "")).c_str(),
                    best.presetId.c_str(),
                    (std::to_string(best.rows) + "x" + std::to_string(best.columns)).c_str(),
                    r.verdict == Verdict::Confident ? "yes" : "NO", ms);
                if (headerless && !paused) {
                    if (getenv("RECOG_SHOW"))
                        std::printf("%s\n", Describe(r).c_str());
                    // From a file the frames' first byte is found by likeness
                    // alone: right, or not confident.
                    ExpectNotConfidentlyWrong(
                        r,
                        context.hasFormat && context.format.framing == stream::Framing::Headerless
                            ? context.format
                            : preset->format,
                        c.encoding, c.rows, c.columns);
                    continue;
                }
                EXPECT_EQ(r.verdict, Verdict::Confident) << where << "\n" << Describe(r);
                EXPECT_EQ(best.presetId, c.preset) << where << "\n" << Describe(r);
                EXPECT_EQ(best.rows, static_cast<uint32_t>(c.rows)) << where << "\n" << Describe(r);
                EXPECT_EQ(best.columns, static_cast<uint32_t>(c.columns)) << where << "\n"
                                                                          << Describe(r);
                EXPECT_EQ(best.encoding, c.encoding) << where << "\n" << Describe(r);
                EXPECT_GE(best.frames, 3u) << where;
            }
        }
    }
}

stream::CStreamFormat Custom(const std::string& text) {
    stream::CStreamFormat format;
    std::string reason;
    EXPECT_TRUE(stream::FormatFromText(text, format, &reason)) << text << ": " << reason;
    return format;
}

FormatRecognition Recognise(const Bytes& bytes, const stream::RecogniserContext& context = {}) {
    return stream::RecogniseFormat(bytes.data(), bytes.size(), context);
}

// Bytes that are no camera stream, and pictures that do not show their own
// layout, are never read with confidence.
TEST(FormatRecogniser, GarbageFlatAndRepeatingPicturesAreNotConfident) {
    std::mt19937 random(7);
    Bytes noise(1 << 20);
    for (uint8_t& b : noise)
        b = static_cast<uint8_t>(random());
    stream::RecogniserContext paused;
    for (uint64_t at = 1000; at < noise.size(); at += 38400)
        paused.pauses.push_back(at);
    stream::RecogniserContext shuffled = paused;  // pauses out of order, twice, past the end
    std::reverse(shuffled.pauses.begin(), shuffled.pauses.end());
    shuffled.pauses.push_back(shuffled.pauses.front());
    shuffled.pauses.push_back(1u << 30);
    for (const auto& context : {stream::RecogniserContext{}, paused, shuffled}) {
        const FormatRecognition r = Recognise(noise, context);
        EXPECT_NE(r.verdict, Verdict::Confident) << Describe(r);
    }
    // A header byte other than the page's: no other format takes its frames
    // (one byte longer than their pixels) with confidence.
    for (Model model : {Model::Scene, Model::Track, Model::Gradient}) {
        for (int colour = 0; colour < 2; ++colour) {
            const Stream other =
                Make(stream::CStreamFormat(), colour ? Encoding::Uyv : Encoding::Gray8, 120, 160,
                     model, 5, 0.37, {}, 0xA5);
            const FormatRecognition r = Recognise(other.bytes);
            EXPECT_NE(r.verdict, Verdict::Confident) << ModelName(model) << "\n" << Describe(r);
        }
    }
    // Flat: a still line of one value, and flat pictures between real markers.
    EXPECT_NE(Recognise(Bytes(300000, 0x80), paused).verdict, Verdict::Confident);
    const stream::CStreamPreset* smartcar = stream::FindPreset("smartcar-gray");
    Bytes flat;
    for (int k = 0; k < 5; ++k) {
        flat.insert(flat.end(), smartcar->format.startMarker.begin(),
                    smartcar->format.startMarker.end());
        flat.insert(flat.end(), 120 * 188, 0x80);
    }
    FormatRecognition r = Recognise(flat);
    ASSERT_FALSE(r.readings.empty());
    EXPECT_EQ(r.readings[0].presetId, "smartcar-gray") << Describe(r);
    EXPECT_NE(r.verdict, Verdict::Confident) << Describe(r);
    // Every row alike, stripes 16 pixels apart: any width of whole stripes
    // lays the frame out as well as its own.
    Bytes stripes;
    std::mt19937 grain(3);
    for (int k = 0; k < 5; ++k) {
        stripes.insert(stripes.end(), smartcar->format.startMarker.begin(),
                       smartcar->format.startMarker.end());
        for (int r = 0; r < 120; ++r)
            for (int c = 0; c < 160; ++c)
                stripes.push_back(static_cast<uint8_t>(128 + 90 * std::sin(c * 2 * M_PI / 16) +
                                                       static_cast<int>(grain() % 5)));
    }
    r = Recognise(stripes);
    ASSERT_FALSE(r.readings.empty());
    EXPECT_EQ(r.readings[0].presetId, "smartcar-gray");
    EXPECT_NE(r.verdict, Verdict::Confident) << Describe(r);
    EXPECT_FALSE(r.doubts.empty());
}

// A byte lost on the line moves the header byte for the frames after it:
// the frames before it still tell the format.
TEST(FormatRecogniser, HeaderByteWithALostByte) {
    for (size_t lostIn : {10u, 2u}) {
        Stream s = Make(stream::CStreamFormat(), Encoding::Gray8, 60, 80, Model::Scene, 14, 0);
        s.bytes.erase(s.bytes.begin() + static_cast<std::ptrdiff_t>(lostIn * 4801 + 1234));
        stream::RecogniserContext context;
        context.headerByte = 255;
        const FormatRecognition r = Recognise(s.bytes, context);
        ASSERT_EQ(r.verdict, Verdict::Confident) << lostIn << "\n" << Describe(r);
        EXPECT_EQ(r.readings[0].presetId, "design");
        EXPECT_EQ(r.readings[0].rows, 60u);
        EXPECT_EQ(r.readings[0].columns, 80u);
    }
}

// The one-byte header in a scrolling colour scene with large saturated
// areas: hundreds of Y bytes of the header's value in every frame, and the
// picture most like itself a few rows short of a frame. Nine frames are not
// always enough to be sure; eighteen are, wherever the capture starts, and
// what is said with confidence is right.
TEST(FormatRecogniser, HeaderByteInAScrollingSaturatedColourScene) {
    stream::RecogniserContext context;
    context.headerByte = 255;
    const size_t frame = 1 + 3 * 60 * 80;
    const Stream all = Make(stream::CStreamFormat(), Encoding::Uyv, 60, 80, Model::Scene, 26, 0);
    for (size_t first = 0; first < 4; ++first)
        for (size_t start = 0; start < frame; start += 701) {
            const auto from =
                all.bytes.begin() + static_cast<std::ptrdiff_t>(first * frame + start);
            const FormatRecognition r = Recognise(Bytes(from, from + 18 * frame), context);
            EXPECT_EQ(r.verdict, Verdict::Confident) << first * frame + start << "\n"
                                                     << Describe(r);
            ExpectNotConfidentlyWrong(r, stream::CStreamFormat(), Encoding::Uyv, 60, 80);
        }
}

// Sizes no preset uses, frame counts from two to seven, captures starting
// anywhere: whatever is said with confidence is right.
TEST(FormatRecogniser, OddSizesAndShortCapturesAreNeverConfidentlyWrong) {
    std::mt19937 pick(5);
    const int sizes[][2] = {{72, 88}, {96, 128}, {50, 64}, {128, 96}, {90, 90}, {48, 160}};
    const char* presets[] = {"design", "smartcar-gray", "fe01-bits", "fe01-gray", "rdy-gray"};
    int confident = 0;
    for (int round = 0; round < 40; ++round) {
        const char* id = presets[pick() % 5];
        const int* size = sizes[pick() % 6];
        const Model model = static_cast<Model>(pick() % 3);
        const bool colour = std::string(id) == "design" && pick() % 2 == 1;
        const Encoding encoding = std::string(id) == "fe01-bits" ? Encoding::Bits1
                                  : colour                       ? Encoding::Uyv
                                                                 : Encoding::Gray8;
        const stream::CStreamFormat format = stream::FindPreset(id)->format;
        const int frames = 2 + static_cast<int>(pick() % 6);
        const Stream s = Make(format, encoding, size[0], size[1], model, frames,
                              static_cast<double>(pick() % 100) / 100.0);
        stream::RecogniserContext context;
        context.headerByte = 255;
        const FormatRecognition r = Recognise(s.bytes, context);
        SCOPED_TRACE(std::string(id) + " " + std::to_string(size[0]) + "x" +
                     std::to_string(size[1]) + " " + ModelName(model) + " " +
                     std::to_string(frames) + " frames");
        ExpectNotConfidentlyWrong(r, format, encoding, static_cast<uint32_t>(size[0]),
                                  static_cast<uint32_t>(size[1]));
        confident += r.verdict == Verdict::Confident;
    }
    std::printf("confident in %d of 40\n", confident);
    EXPECT_GT(confident, 10);  // and it does say something
}

// Square frames, and the few frames of a short capture: right or not
// confident, and a short one says how much more would do.
TEST(FormatRecogniser, SquareFramesAndTooFewFrames) {
    const stream::CStreamPreset* smartcar = stream::FindPreset("smartcar-gray");
    for (Model model : {Model::Scene, Model::Track, Model::Gradient}) {
        const Stream square = Make(smartcar->format, Encoding::Gray8, 120, 120, model, 5);
        ExpectNotConfidentlyWrong(Recognise(square.bytes), smartcar->format, Encoding::Gray8, 120,
                                  120);
        stream::RecogniserContext design;
        design.headerByte = 255;
        const Stream header = Make(stream::CStreamFormat(), Encoding::Gray8, 64, 64, model, 5);
        ExpectNotConfidentlyWrong(Recognise(header.bytes, design), stream::CStreamFormat(),
                                  Encoding::Gray8, 64, 64);
    }
    // One and a half frames: a start, a period not yet seen.
    const Stream few = Make(smartcar->format, Encoding::Gray8, 120, 188, Model::Scene, 2, 0.5);
    FormatRecognition r = Recognise(few.bytes);
    ASSERT_FALSE(r.readings.empty());
    EXPECT_NE(r.verdict, Verdict::Confident) << Describe(r);
    EXPECT_EQ(r.readings[0].presetId, "smartcar-gray") << Describe(r);
    EXPECT_GE(r.moreBytesNeeded, 22564u) << Describe(r);
    // Two whole frames with their markers: the size is clear, the count short.
    const Stream two = Make(smartcar->format, Encoding::Gray8, 120, 188, Model::Scene, 3, 0.0);
    r = Recognise(Bytes(two.bytes.begin(), two.bytes.begin() + 2 * 22564 + 4));
    EXPECT_NE(r.verdict, Verdict::Confident) << Describe(r);
    ASSERT_FALSE(r.readings.empty());
    EXPECT_EQ(r.readings[0].rows, 120u) << Describe(r);
    EXPECT_EQ(r.moreBytesNeeded, 22564u) << Describe(r);
    // A single JPEG.
    const Stream jpeg =
        Make(stream::FindPreset("jpeg")->format, Encoding::Jpeg, 240, 320, Model::Scene, 1, 0.0);
    r = Recognise(jpeg.bytes);
    ASSERT_FALSE(r.readings.empty());
    EXPECT_EQ(r.readings[0].presetId, "jpeg");
    EXPECT_NE(r.verdict, Verdict::Confident) << Describe(r);
}

// RGB565 high or low byte first, 4:2:2 in its three orders, U,Y,V against
// RGB888: a confident answer is the right one; the byte order with a live
// line's pauses is told.
TEST(FormatRecogniser, ByteAndChromaOrdersAreNeverSwappedWithConfidence) {
    for (const char* id : {"rgb565be", "rgb565le", "yuyv", "uyvy", "yvyu", "uyv", "rgb888"}) {
        Encoding encoding;
        ASSERT_TRUE(stream::EncodingFromId(id, encoding));
        const stream::CStreamFormat rdy =
            Custom(std::string("custom,framing=marker,start=\"*RDY*\",encoding=") + id);
        const stream::CStreamFormat raw =
            Custom(std::string("custom,framing=headerless,encoding=") + id);
        for (Model model : {Model::Scene, Model::Track}) {
            const Stream marked = Make(rdy, encoding, 120, 160, model, 5);
            FormatRecognition r = Recognise(marked.bytes);
            ExpectNotConfidentlyWrong(r, rdy, encoding, 120, 160);
            ASSERT_FALSE(r.readings.empty()) << id;
            const bool twoBytes = encoding == Encoding::Rgb565Be || encoding == Encoding::Rgb565Le;
            if (twoBytes) {
                EXPECT_EQ(r.verdict, Verdict::Confident) << id << " " << ModelName(model) << "\n"
                                                         << Describe(r);
            }
            const Stream line = Make(raw, encoding, 120, 160, model, 5);
            stream::RecogniserContext context;
            context.hasFormat = true;
            context.pauses = line.starts;
            r = Recognise(line.bytes, context);
            ExpectNotConfidentlyWrong(r, raw, encoding, 120, 160);
            if (twoBytes) {
                EXPECT_EQ(r.verdict, Verdict::Confident) << id << " " << ModelName(model) << "\n"
                                                         << Describe(r);
            }
            if (!twoBytes)
                continue;
            context.pauses.clear();
            ExpectNotConfidentlyWrong(Recognise(line.bytes, context), raw, encoding, 120, 160);
        }
    }
}

// The simulator run with args; its exit code once it ends (-1: it did not
// exit normally).
pid_t Spawn(std::vector<std::string> args) {
    const pid_t pid = SpawnProgram(TAVIX_CAMSIM, args);
    EXPECT_GT(pid, 0);
    return pid;
}

int ExitCode(pid_t pid) {
    int status = 0;
    if (waitpid(pid, &status, 0) != pid || !WIFEXITED(status))
        return -1;
    return WEXITSTATUS(status);
}

// What a port opened on the simulator's link receives, until `want` bytes or
// 5 s, sending the format's requests as a capture does.
Bytes ReadOnLink(const std::string& link, size_t want, const stream::CStreamFormat& format) {
    using namespace std::chrono;
    struct stat st {};
    const auto deadline = steady_clock::now() + seconds(5);
    while (lstat(link.c_str(), &st) != 0 && steady_clock::now() < deadline)
        std::this_thread::sleep_for(milliseconds(5));
    SetPortDevicePath(14, link);
    SerialPort port;
    EXPECT_GT(port.Open(115200, 14), 2);
    Bytes got, buf(65536);
    uint32_t written = 0;
    if (!format.requestAtStart.empty())
        port.Write(format.requestAtStart.data(),
                   static_cast<uint32_t>(format.requestAtStart.size()), written);
    const auto end = steady_clock::now() + seconds(5);
    while (got.size() < want && steady_clock::now() < end) {
        if (!format.requestPerFrame.empty())
            port.Write(format.requestPerFrame.data(),
                       static_cast<uint32_t>(format.requestPerFrame.size()), written);
        uint32_t n = 0;
        if (port.ReadAvailable(buf.data(), static_cast<uint32_t>(buf.size()), n) != 0)
            break;
        got.insert(got.end(), buf.begin(), buf.begin() + n);
        std::this_thread::sleep_for(milliseconds(20));
    }
    port.Close();
    SetPortDevicePath(14, "");
    return got;
}

// The options suggested for a reading are ones the simulator takes, and run
// with them it sends a stream read back as the same format, size and encoding.
TEST(FormatRecogniser, SimulatorOptionsSendWhatWasRecognised) {
    const std::string link = std::string(getenv("HOME")) + "/cam-" + std::to_string(getpid());
    // A line the simulator refuses fails the same check: the check can fail.
    EXPECT_EQ(ExitCode(Spawn({"--format", "jpeg", "--rows", "x", "--help"})), 2);
    struct Case {
        const char* preset;
        int rows, columns;
        Encoding encoding;
    };
    const Case cases[] = {
        {"design", 60, 80, Encoding::Uyv},
        {"smartcar-gray", 60, 94, Encoding::Gray8},
        {"fe01-bits", 60, 80, Encoding::Bits1},
        {"arduino", 120, 160, Encoding::Gray8},
        {"liveov7670", 120, 160, Encoding::Rgb565Be},
        {"jpeg-gray", 120, 160, Encoding::JpegGray},
        {"rdy-gray", 120, 160, Encoding::Gray8},
    };
    stream::RecogniserContext context;
    context.headerByte = 255;
    for (const Case& c : cases) {
        const stream::CStreamPreset* preset = stream::FindPreset(c.preset);
        const Stream s = Make(preset->format, c.encoding, c.rows, c.columns, Model::Scene, 5);
        const FormatRecognition first = Recognise(s.bytes, context);
        ASSERT_EQ(first.verdict, Verdict::Confident) << c.preset << "\n" << Describe(first);
        const std::vector<std::string> args = stream::CamsimArguments(first.readings[0]);
        const std::string line = stream::CamsimCommandLine(first.readings[0]);
        EXPECT_NE(line.find(c.preset), std::string::npos) << line;

        std::vector<std::string> help = args;
        help.push_back("--help");
        EXPECT_EQ(ExitCode(Spawn(help)), 0) << line;

        std::vector<std::string> run = args;
        for (const char* a :
             {"--pattern", "scene", "--count", "24", "--baud", "4000000", "--blocking", "--link"})
            run.push_back(a);
        run.push_back(link);
        const pid_t pid = Spawn(run);
        // About eighteen frames: nine are not always enough to be sure of a
        // colour scene full of pixels of the header's value.
        const Bytes got = ReadOnLink(link, s.bytes.size() * 4, first.readings[0].format);
        kill(pid, SIGTERM);
        ExitCode(pid);
        const FormatRecognition again = Recognise(got, context);
        ASSERT_EQ(again.verdict, Verdict::Confident) << line << "\n"
                                                     << got.size() << " bytes read\n"
                                                     << Describe(again);
        const auto& a = again.readings[0];
        const auto& b = first.readings[0];
        EXPECT_EQ(a.presetId, b.presetId) << line;
        EXPECT_EQ(a.rows, b.rows) << line;
        EXPECT_EQ(a.columns, b.columns) << line;
        EXPECT_EQ(a.encoding, b.encoding) << line;
    }
}

// The self-describing header and the packets carry the encoding: it is
// taken from them, whatever the picture.
TEST(FormatRecogniser, EncodingFromTheWire) {
    const stream::CStreamFormat arduino = stream::FindPreset("arduino")->format;
    for (Encoding encoding : {Encoding::Rgb565Le, Encoding::Rgb565Be}) {
        const Stream s = Make(arduino, encoding, 60, 80, Model::Gradient, 4);
        const FormatRecognition r = Recognise(s.bytes);
        ASSERT_EQ(r.verdict, Verdict::Confident) << Describe(r);
        EXPECT_EQ(r.readings[0].presetId, "arduino");
        EXPECT_EQ(r.readings[0].encoding, encoding);
        EXPECT_TRUE(r.readings[0].geometryFromWire);
    }
    const Stream gray = Make(Custom("custom,framing=packet,encoding=gray8"), Encoding::Gray8, 60,
                             80, Model::Scene, 4);
    const FormatRecognition r = Recognise(gray.bytes);
    ASSERT_EQ(r.verdict, Verdict::Confident) << Describe(r);
    EXPECT_EQ(r.readings[0].presetId, "custom");
    EXPECT_EQ(r.readings[0].encoding, Encoding::Gray8);
    EXPECT_EQ(r.readings[0].columns, 80u);
}

// 4 MiB of each kind of stream is read in well under a second.
TEST(FormatRecogniser, FourMebibytesInWellUnderASecond) {
    constexpr size_t kFour = 4u << 20;
    std::vector<std::pair<std::string, Bytes>> streams;
    std::mt19937 random(11);
    Bytes noise(kFour);
    for (uint8_t& b : noise)
        b = static_cast<uint8_t>(random());
    streams.push_back({"random", noise});
    // Gradient frames, as many as fill the window.
    const auto fill = [&](const char* id, Encoding encoding, int rows, int columns) {
        const stream::CStreamFormat format = stream::FindPreset(id)->format;
        const size_t frame = static_cast<size_t>(stream::FrameBytes(
            encoding, static_cast<uint32_t>(columns), static_cast<uint32_t>(rows)));
        const int count = encoding == Encoding::Jpeg ? 80 : static_cast<int>(kFour / frame) + 2;
        Bytes out = Make(format, encoding, rows, columns, Model::Gradient, count, 0).bytes;
        out.resize(std::min(out.size(), kFour));
        return out;
    };
    streams.push_back({"raw565 320x240", fill("raw565", Encoding::Rgb565Be, 240, 320)});
    streams.push_back({"smartcar 120x188", fill("smartcar-gray", Encoding::Gray8, 120, 188)});
    streams.push_back({"design 120x160 colour", fill("design", Encoding::Uyv, 120, 160)});
    streams.push_back({"jpeg 640x480", fill("jpeg", Encoding::Jpeg, 480, 640)});
    for (const auto& s : streams) {
        const auto t0 = std::chrono::steady_clock::now();
        const FormatRecognition r = Recognise(s.second);
        const double seconds =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
        std::printf("4 MiB %-22s %.3f s  %s\n", s.first.c_str(), seconds, r.verdictText.c_str());
        // Well under a second optimised; sanitizer builds run many times
        // slower, and only the figure is printed there.
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
        EXPECT_LT(seconds, 60.0) << s.first;
#else
        EXPECT_LT(seconds, 2.0) << s.first;
#endif
    }
}

}  // namespace
