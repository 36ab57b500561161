// What the stream diagnosis says about simulator streams: the frame found for
// clean, faulty and fast boards, never a confident reading of a stream that
// allows several, and the command-line program on a recording.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "capture/RecordingWriter.h"
#include "capture/StreamDiagnosis.h"
#include "serial/SerialPort.h"
#include "tools/camsim/CameraBoard.h"
#include "tools/camsim/FrameEncoder.h"
#include "tools/camsim/FrameSource.h"
#include "tools/camsim/PseudoTerminal.h"

extern char** environ;

namespace {

using namespace std::chrono;
using Bytes = std::vector<uint8_t>;
using camsim::CameraBoard;
using camsim::FrameSource;
using camsim::Pattern;

bool Has(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

std::string SizeText(uint32_t rows, uint32_t columns) {
    return std::to_string(rows) + " 行 × " + std::to_string(columns) + " 列";
}

// `frames` frames of `source` on the wire, the first `skip` bytes cut off (a
// capture that starts inside a frame).
Bytes Wire(const FrameSource& source, int frames, uint8_t header = 255, size_t skip = 0) {
    Bytes out;
    for (int i = 0; i < frames; ++i) {
        const Bytes w = camsim::WireFrame(header, source.Frame(i));
        out.insert(out.end(), w.begin(), w.end());
    }
    out.erase(out.begin(), out.begin() + std::min(skip, out.size()));
    return out;
}

// A camera-like grayscale picture: smooth shapes that drift from frame to
// frame, with sensor noise, never as bright as the header 255.
Bytes NaturalWire(int rows, int columns, int frames) {
    std::mt19937 rng(7);
    std::normal_distribution<double> noise(0, 2.0);
    Bytes out;
    for (int i = 0; i < frames; ++i) {
        out.push_back(255);
        for (int r = 0; r < rows; ++r)
            for (int c = 0; c < columns; ++c) {
                const double v = 110 + 60 * std::sin(r / 9.0 + i * 0.05) * std::cos(c / 13.0) +
                                 40 * std::sin((r + 2 * c) / 21.0) + 0.3 * c + noise(rng);
                out.push_back(uint8_t(std::clamp(int(std::lround(v)), 0, 250)));
            }
    }
    return out;
}

// Everything a board sends for `options.count` frames, unpaced, as a serial
// port on its line reads it.
Bytes BoardBytes(CameraBoard::Options options) {
    camsim::PseudoTerminal line;
    EXPECT_TRUE(line.Open());
    SerialPort port;
    EXPECT_GT(port.OpenDevice(115200, line.DevicePath()), 2);
    options.baud = 0;
    options.blocking = true;
    CameraBoard board(line, options);
    EXPECT_TRUE(board.Start());
    Bytes got;
    Bytes buffer(65536);
    int idle = 0;
    const auto deadline = steady_clock::now() + seconds(20);
    while (idle < 10 && steady_clock::now() < deadline) {
        uint32_t n = 0;
        EXPECT_EQ(port.ReadAvailable(buffer.data(), uint32_t(buffer.size()), n), 0);
        got.insert(got.end(), buffer.begin(), buffer.begin() + n);
        const bool done = board.Stats().framesSent == options.count;
        idle = n == 0 && done ? idle + 1 : 0;
        if (n == 0)
            std::this_thread::sleep_for(milliseconds(5));
    }
    board.Wait();
    port.Close();
    return got;
}

// The reading the report suggests is the board's own, with confidence.
void ExpectConfidentFrame(const CDiagnosisReport& r, uint8_t header, int rows, int columns,
                          bool colour) {
    const uint32_t frame = uint32_t(rows * columns * (colour ? 3 : 1));
    EXPECT_EQ(r.verdict, CDiagnosisReport::Verdict::Confident) << r.verdictText;
    EXPECT_TRUE(r.confident);
    EXPECT_TRUE(r.doubts.empty());
    EXPECT_TRUE(r.headerFound);
    EXPECT_EQ(r.header, header);
    EXPECT_EQ(r.frameSize, frame);
    EXPECT_EQ(r.period, frame + 1 + r.garbage);
    EXPECT_EQ(r.format, colour ? 1 : 0);
    ASSERT_FALSE(r.candidates.empty());
    EXPECT_EQ(r.candidates.front().rows, uint32_t(rows));
    EXPECT_EQ(r.candidates.front().columns, uint32_t(columns));
    EXPECT_EQ(r.suggestHeader, header);
    EXPECT_EQ(r.suggestRows, uint32_t(rows));
    EXPECT_EQ(r.suggestColumns, uint32_t(columns));
    EXPECT_EQ(r.suggestColour, colour);
    EXPECT_TRUE(Has(r.verdictText, "确定")) << r.verdictText;
    EXPECT_TRUE(Has(r.verdictText, SizeText(rows, columns))) << r.verdictText;
    const std::string text = ReportText(r);
    EXPECT_TRUE(Has(text, "数据头：" + std::to_string(header))) << text;
    EXPECT_TRUE(Has(text, "帧大小：" + std::to_string(frame) + " 字节")) << text;
}

TEST(StreamDiagnosis, CleanStreamsGiveTheBoardsFrameWithConfidence) {
    const struct {
        const char* name;
        int rows, columns;
        bool colour;
        Pattern pattern;
        uint8_t header;
        int frames;
    } cases[] = {
        {"60x80 grayscale gradient", 60, 80, false, Pattern::Gradient, 255, 7},
        {"120x160 colour gradient", 120, 160, true, Pattern::Gradient, 255, 6},
        {"60x80 moving, header 170", 60, 80, false, Pattern::Moving, 170, 8},
        {"120x160 colour moving", 120, 160, true, Pattern::Moving, 255, 5},
        {"144x176 grayscale gradient, header 0", 144, 176, false, Pattern::Gradient, 0, 5},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const FrameSource source(c.rows, c.columns, c.colour, c.pattern);
        // Starting inside a frame, as a capture does.
        const Bytes bytes = Wire(source, c.frames, c.header, source.FrameBytes() / 3);
        const CDiagnosisReport r = Diagnose(bytes.data(), bytes.size(), {});
        ExpectConfidentFrame(r, c.header, c.rows, c.columns, c.colour);
        EXPECT_EQ(r.garbage, 0u);
        EXPECT_EQ(r.gaps, r.gapsAtPeriod);
    }
    {
        SCOPED_TRACE("natural picture with noise, the page set wrong");
        const Bytes bytes = NaturalWire(72, 88, 6);
        CDiagnosisContext page;
        page.header = 170;
        page.rows = 60;
        page.columns = 80;
        page.colour = 1;
        const CDiagnosisReport r = Diagnose(bytes.data(), bytes.size(), page);
        ExpectConfidentFrame(r, 255, 72, 88, false);
        EXPECT_TRUE(Has(r.verdictText, "数据头 170 → 255")) << r.verdictText;
        EXPECT_TRUE(Has(r.verdictText, "行数 60 → 72")) << r.verdictText;
        EXPECT_TRUE(Has(r.verdictText, "彩色页面 → 黑白页面")) << r.verdictText;
    }
}

TEST(StreamDiagnosis, BoardFaultsAreSeenThroughAndNamed) {
    {
        SCOPED_TRACE("garbage between frames");
        CameraBoard::Options o;
        o.count = 8;
        o.garbage = 20;
        const Bytes bytes = BoardBytes(o);
        const CDiagnosisReport r = Diagnose(bytes.data(), bytes.size(), {});
        ExpectConfidentFrame(r, 255, o.rows, o.columns, false);
        EXPECT_EQ(r.garbage, o.garbage);
        EXPECT_TRUE(Has(ReportText(r), "帧之间的多余字节：20"));
    }
    {
        SCOPED_TRACE("header-valued pixels");
        CameraBoard::Options o;
        o.count = 8;
        o.header = 200;
        o.headerPixels = true;  // every 16th pixel byte is 200
        const Bytes bytes = BoardBytes(o);
        const CDiagnosisReport r = Diagnose(bytes.data(), bytes.size(), {});
        ExpectConfidentFrame(r, 200, o.rows, o.columns, false);
        // 300 set by the board, and the gradient's own 200s now and then.
        EXPECT_GE(r.headerValuedPixels, 300u);
        EXPECT_LE(r.headerValuedPixels, 340u);
    }
    {
        SCOPED_TRACE("bytes lost from two frames");
        const FrameSource source(60, 80, false, Pattern::Moving);
        Bytes bytes;
        for (int i = 0; i < 12; ++i) {
            Bytes w = camsim::WireFrame(255, source.Frame(i));
            if (i == 3 || i == 8)
                w.erase(w.begin() + 1000, w.begin() + 1002);
            bytes.insert(bytes.end(), w.begin(), w.end());
        }
        const CDiagnosisReport r = Diagnose(bytes.data(), bytes.size(), {});
        ExpectConfidentFrame(r, 255, 60, 80, false);
        EXPECT_EQ(r.gaps - r.gapsAtPeriod, 2u);
        EXPECT_TRUE(Has(ReportText(r), "丢了字节"));
    }
}

// A stream that allows several readings is said to be ambiguous, with the
// readings listed, and the right one among them.
TEST(StreamDiagnosis, AmbiguousStreamsAreNeverConfident) {
    const struct {
        const char* name;
        Bytes bytes;
        int rows, columns;
        const char* doubt;
    } cases[] = {
        // Vertical bars: every row alike, for 80 columns and every multiple.
        {"bars", Wire(FrameSource(60, 80, false, Pattern::Bars), 7, 170), 60, 80, "一样平滑"},
        // A flat picture: no column count, nor grayscale or colour, wins.
        {"flat", Wire(FrameSource(60, 80, false, Pattern::File), 7), 60, 80, "看不出"},
        // Two frames only.
        {"two frames", Wire(FrameSource(60, 80, false, Pattern::Moving), 2, 170), 60, 80,
         "只看到 2 个"},
        // (4r + 2c) mod 256 repeats every 64 rows: 2 x 8192 reads smoothest.
        {"repeating rows", Wire(FrameSource(128, 128, false, Pattern::Gradient), 8), 128, 128,
         "形状不像"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const CDiagnosisReport r = Diagnose(c.bytes.data(), c.bytes.size(), {});
        EXPECT_EQ(r.verdict, CDiagnosisReport::Verdict::Ambiguous) << r.verdictText;
        EXPECT_FALSE(r.confident);
        EXPECT_TRUE(r.headerFound);
        EXPECT_EQ(r.frameSize, uint32_t(c.rows * c.columns));
        const auto right = std::find_if(r.candidates.begin(), r.candidates.end(), [&](auto& s) {
            return s.rows == uint32_t(c.rows) && s.columns == uint32_t(c.columns) && !s.colour;
        });
        EXPECT_NE(right, r.candidates.end());
        EXPECT_TRUE(Has(r.verdictText, "不能确定")) << r.verdictText;
        EXPECT_TRUE(Has(r.verdictText, c.doubt)) << r.verdictText;
        EXPECT_TRUE(Has(r.verdictText, "可能是")) << r.verdictText;
        EXPECT_TRUE(Has(ReportText(r), "没有把握"));
    }
    // The page's size breaks a tie among equally smooth readings.
    const Bytes bars = Wire(FrameSource(60, 80, false, Pattern::Bars), 7);
    CDiagnosisContext page;
    page.rows = 30;
    page.columns = 160;
    const CDiagnosisReport r = Diagnose(bars.data(), bars.size(), page);
    EXPECT_FALSE(r.confident);
    EXPECT_EQ(r.header, 255);
    EXPECT_EQ(r.suggestRows, 30u);
    EXPECT_EQ(r.suggestColumns, 160u);
}

TEST(StreamDiagnosis, NothingOrNoHeaderSaysWhatToCheck) {
    const CDiagnosisReport none = Diagnose(nullptr, 0, {});
    EXPECT_EQ(none.verdict, CDiagnosisReport::Verdict::NoData);
    EXPECT_EQ(none.verdictText, "没有收到任何数据：检查接线、板子电源、串口号。");
    EXPECT_FALSE(none.confident);

    // A wrong baud rate: bytes without structure, and framing errors.
    std::mt19937 rng(3);
    Bytes noise(40000);
    for (auto& b : noise)
        b = uint8_t(rng());
    CDiagnosisContext line;
    line.countersKnown = true;
    line.framing = 37;
    const CDiagnosisReport r = Diagnose(noise.data(), noise.size(), line);
    EXPECT_EQ(r.verdict, CDiagnosisReport::Verdict::NoHeader) << r.verdictText;
    EXPECT_FALSE(r.headerFound);
    EXPECT_FALSE(r.confident);
    EXPECT_TRUE(Has(r.verdictText, "数据中找不到周期性的数据头")) << r.verdictText;
    EXPECT_TRUE(Has(r.verdictText, "37 次帧错误")) << r.verdictText;
    EXPECT_TRUE(Has(r.verdictText, "波特率")) << r.verdictText;
}

// A board at twice the chosen baud rate delivers twice what that rate can
// carry: the verdict says the baud rate is wrong and names the board's.
TEST(StreamDiagnosis, BoardFasterThanTheChosenBaudRate) {
    camsim::PseudoTerminal line;
    ASSERT_TRUE(line.Open());
    SerialPort port;
    ASSERT_GT(port.OpenDevice(115200, line.DevicePath()), 2);
    CameraBoard::Options o;
    o.baud = 230400;
    o.pattern = Pattern::Moving;
    CameraBoard board(line, o);
    ASSERT_TRUE(board.Start());
    Bytes got;
    Bytes buffer(65536);
    const auto start = steady_clock::now();
    while (steady_clock::now() - start < milliseconds(1500)) {
        port.WaitForData(50, nullptr);
        uint32_t n = 0;
        ASSERT_EQ(port.ReadAvailable(buffer.data(), uint32_t(buffer.size()), n), 0);
        got.insert(got.end(), buffer.begin(), buffer.begin() + n);
    }
    CDiagnosisContext ctx;
    ctx.seconds = duration<double>(steady_clock::now() - start).count();
    ctx.baud = 115200;
    uint64_t frame = 0, parity = 0, overrun = 0, brk = 0;
    // A pseudo-terminal keeps no UART counters.
    EXPECT_FALSE(port.LineErrorCounters(frame, parity, overrun, brk));
    board.Stop();
    port.Close();

    const CDiagnosisReport r = Diagnose(got.data(), got.size(), ctx);
    EXPECT_TRUE(r.fasterThanLine);
    EXPECT_GT(r.rateRatio, 1.7);
    EXPECT_LT(r.rateRatio, 2.3);
    EXPECT_EQ(r.suggestBaud, 230400u);
    EXPECT_EQ(r.verdictText.rfind("波特率不对", 0), 0u) << r.verdictText;
    EXPECT_TRUE(Has(ReportText(r), "波特率 230400"));
    // The frames themselves are still read right.
    ExpectConfidentFrame(r, 255, o.rows, o.columns, false);

    // The same bytes over a line eight times faster: the board is slower than
    // the line, which is fine and said so.
    ctx.baud = 1843200;
    const CDiagnosisReport slow = Diagnose(got.data(), got.size(), ctx);
    EXPECT_FALSE(slow.fasterThanLine);
    EXPECT_EQ(slow.suggestBaud, 0u);
    EXPECT_TRUE(slow.confident);
    EXPECT_TRUE(Has(ReportText(slow), "板子比线路慢"));
}

// --- The program -----------------------------------------------------------

const std::string kStem = "/tmp/tavix-diagtest-" + std::to_string(getpid());

// Runs tavix-diagnose with args; its exit code, standard output and error.
int RunDiagnose(std::vector<std::string> args, std::string& out, std::string& err) {
    args.insert(args.begin(), TAVIX_DIAGNOSE);
    std::vector<char*> argv;
    for (auto& a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    const std::string outPath = kStem + ".out", errPath = kStem + ".err";
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0600);
    posix_spawn_file_actions_addopen(&actions, 2, errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0600);
    pid_t pid = 0;
    EXPECT_EQ(posix_spawn(&pid, TAVIX_DIAGNOSE, &actions, nullptr, argv.data(), environ), 0);
    posix_spawn_file_actions_destroy(&actions);
    int status = 0;
    const bool exited = waitpid(pid, &status, 0) == pid && WIFEXITED(status);
    auto slurp = [](const std::string& path) {
        std::ifstream in(path);
        std::string text((std::istreambuf_iterator<char>(in)), {});
        unlink(path.c_str());
        return text;
    };
    out = slurp(outPath);
    err = slurp(errPath);
    return exited ? WEXITSTATUS(status) : -1;
}

TEST(StreamDiagnosis, ProgramReportsOnARecording) {
    // A colour board recorded while the page was set to 60 x 80 grayscale
    // with header 255: 2 KiB reads 100 ms apart, as a 230400-baud port.
    const FrameSource source(120, 160, true, Pattern::Gradient);
    const Bytes sent = Wire(source, 5, 170, 1234);
    const std::string path = kStem + ".tavixrec";
    CRecordingWriter writer;
    RecordingHeader header;
    header.baud = 230400;
    header.startMicroseconds = 1765000000000000;
    std::string error;
    ASSERT_TRUE(writer.Open(path, header, error)) << error;
    uint64_t time = 0;
    for (size_t at = 0; at < sent.size(); at += 2048, time += 100000)
        ASSERT_TRUE(writer.Write(time, &sent[at], std::min<size_t>(2048, sent.size() - at)));
    ASSERT_TRUE(writer.Close());

    std::string out, err;
    EXPECT_EQ(RunDiagnose({path}, out, err), 0) << err;
    EXPECT_EQ(err, "");
    EXPECT_TRUE(Has(out, "录制文件 " + path + "：230400 波特，数据头 255，黑白 60 行 × 80 列"))
        << out;
    EXPECT_TRUE(Has(out, "数据头：170（0xAA），周期 57601 字节")) << out;
    EXPECT_TRUE(Has(out, "数据看起来是彩色")) << out;
    EXPECT_TRUE(Has(out, "结论：确定：数据头 170，每帧 57600 字节，彩色 120 行 × 160 列。")) << out;
    EXPECT_TRUE(Has(out, "数据头 255 → 170")) << out;
    EXPECT_TRUE(Has(out, "建议：数据头 170，彩色，120 行 × 160 列\n")) << out;

    // The same bytes as a raw dump (what `cat /dev/ttyUSB0 > dump.bin` saves):
    // the same frames found, without a rate.
    const std::string raw = kStem + ".bin";
    std::ofstream(raw, std::ios::binary)
        .write(reinterpret_cast<const char*>(sent.data()), std::streamsize(sent.size()));
    EXPECT_EQ(RunDiagnose({raw}, out, err), 0) << err;
    EXPECT_TRUE(Has(out, "原始数据文件 " + raw + "：" + std::to_string(sent.size()) + " 字节"))
        << out;
    EXPECT_TRUE(Has(out, "建议：数据头 170，彩色，120 行 × 160 列\n")) << out;
    // An empty file has nothing to diagnose: the reason, code 2.
    std::ofstream(raw, std::ios::trunc).close();
    EXPECT_EQ(RunDiagnose({raw}, out, err), 2);
    EXPECT_TRUE(Has(err, "是空文件")) << err;
    EXPECT_EQ(out, "");
    unlink(raw.c_str());
    unlink(path.c_str());
}

// A raw dump of a JPEG board (frames with "ACK IMG END" lines between them):
// the tool names the format, the size from the frames themselves and the
// simulator command that sends the same.
TEST(StreamDiagnosis, ProgramNamesAnotherFormatInARawDump) {
    const stream::CStreamFormat jpeg = stream::FindPreset("jpeg")->format;
    const FrameSource source(240, 320, true, Pattern::Scene);
    const camsim::FrameEncoder encoder(jpeg, stream::Encoding::Jpeg, 255, source, 80);
    Bytes sent;
    const std::string between = "ACK IMG END\r\n";
    for (int i = 0; i < 6; ++i) {
        const Bytes frame = encoder.Encode(i, false).Wire();
        sent.insert(sent.end(), frame.begin(), frame.end());
        sent.insert(sent.end(), between.begin(), between.end());
    }
    const std::string raw = kStem + "-jpeg.bin";
    std::ofstream(raw, std::ios::binary)
        .write(reinterpret_cast<const char*>(sent.data()), std::streamsize(sent.size()));
    std::string out, err;
    EXPECT_EQ(RunDiagnose({raw, "--rows", "60", "--columns", "80"}, out, err), 0) << err;
    EXPECT_TRUE(
        Has(out, "建议：数据格式“JPEG（FF D8 … FF D9）”，240 行 × 320 列（尺寸来自数据流）"))
        << out;
    EXPECT_TRUE(Has(out, "模拟这块板子：tavix-camsim --format jpeg")) << out;
    EXPECT_TRUE(Has(out, "结论：确定：")) << out;
    unlink(raw.c_str());
}

// On a board too slow for an answer in the first 3 s (a 120 x 160 scene at
// 230400 baud, 1.2 frames a second), the program listens on and reads the
// line the whole while: its figures show the line's full rate, not a gap
// where it stopped reading while deciding.
TEST(StreamDiagnosis, ProgramListensOnAndKeepsReading) {
    camsim::PseudoTerminal line;
    ASSERT_TRUE(line.Open());
    CameraBoard::Options o;
    o.rows = 120;
    o.columns = 160;
    o.pattern = Pattern::Scene;
    o.baud = 230400;
    CameraBoard board(line, o);
    ASSERT_TRUE(board.Start());
    std::string out, err;
    EXPECT_EQ(RunDiagnose({line.DevicePath(), "--baud", "230400"}, out, err), 0) << err;
    board.Stop();
    EXPECT_TRUE(Has(out, "继续读取")) << out;
    EXPECT_TRUE(Has(out, "结论：确定：数据头 255，每帧 19200 字节，黑白 120 行 × 160 列。")) << out;
    // "数据：N 字节，T 秒，R 字节/秒": at least 0.9 of the 23040 bytes/s sent.
    const size_t at = out.find("字节，");
    ASSERT_NE(at, std::string::npos) << out;
    const size_t rateAt = out.find("秒，", at);
    ASSERT_NE(rateAt, std::string::npos) << out;
    EXPECT_GT(std::stod(out.substr(rateAt + std::string("秒，").size())), 0.9 * 23040) << out;
}

}  // namespace
