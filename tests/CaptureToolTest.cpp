// tavix-capture against the simulated board on a pseudo-terminal: the frames
// it takes are the board's, byte for byte as files; its JSON figures are the
// board's counts; a recording it makes replays to the same files; every exit
// code comes from a real situation (a missing or held port, a silent board, a
// board of another size, a device that vanishes, an interrupt).
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "ChildProcess.h"
#include "capture/FrameFiles.h"
#include "capture/PixelFormat.h"
#include "serial/DeviceHolders.h"
#include "serial/SerialPort.h"
#include "tools/camsim/CameraBoard.h"
#include "tools/camsim/PseudoTerminal.h"

namespace {

namespace fs = std::filesystem;

// A sanitized build is slow enough, beside other tests, to pass a frame over.
#if defined(__SANITIZE_THREAD__) || defined(__SANITIZE_ADDRESS__)
constexpr bool kSanitized = true;
#else
constexpr bool kSanitized = false;
#endif
using namespace std::chrono;
using Bytes = std::vector<uint8_t>;

bool Has(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

std::string Slurp(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// A folder of the test's own, removed at the end.
struct Folder {
    fs::path path;
    Folder() {
        char name[] = "/tmp/tavix-capturetest-XXXXXX";
        path = mkdtemp(name);
    }
    ~Folder() {
        std::error_code ec;
        fs::remove_all(path, ec);
    }
};

// tavix-capture running in `dir` with its output in files there.
class Tool {
public:
    Tool(const fs::path& dir, const std::vector<std::string>& args) : m_dir(dir) {
        // Relative output names land in the test's folder.
        m_pid = SpawnProgram(TAVIX_CAPTURE, args, dir / "stdout", dir / "stderr", dir);
        EXPECT_GT(m_pid, 0);
    }
    ~Tool() {
        if (m_pid > 0 && !m_done) {
            kill(m_pid, SIGKILL);
            Wait();
        }
    }
    // Until the tool holds `device` open (then its capture purges and reads).
    bool WaitUntilHolding(const std::string& device) {
        const auto until = steady_clock::now() + seconds(10);
        while (steady_clock::now() < until) {
            if (!FindDeviceHolders(device).empty()) {
                std::this_thread::sleep_for(milliseconds(300));  // the capture's start purge
                return true;
            }
            std::this_thread::sleep_for(milliseconds(20));
        }
        return false;
    }
    void Signal(int sig) { kill(m_pid, sig); }
    // The exit code; -1 when it did not exit by itself within the limit.
    int Wait(seconds limit = seconds(60)) {
        const auto until = steady_clock::now() + limit;
        int status = 0;
        while (!m_done) {
            const pid_t r = waitpid(m_pid, &status, WNOHANG);
            if (r == m_pid) {
                m_done = true;
                m_code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
                break;
            }
            if (steady_clock::now() > until) {
                kill(m_pid, SIGKILL);
                waitpid(m_pid, &status, 0);
                m_done = true;
                break;
            }
            std::this_thread::sleep_for(milliseconds(10));
        }
        return m_code;
    }
    std::string Out() const { return Slurp(m_dir / "stdout"); }
    std::string Err() const { return Slurp(m_dir / "stderr"); }

private:
    fs::path m_dir;
    pid_t m_pid = -1;
    bool m_done = false;
    int m_code = -1;
};

// The number after "key": in a JSON line.
uint64_t Field(const std::string& line, const std::string& key) {
    const size_t at = line.find("\"" + key + "\":");
    return at == std::string::npos ? UINT64_MAX : std::stoull(line.substr(at + key.size() + 3));
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

camsim::CameraBoard::Options Board(int rows, int columns, long baud, uint64_t count) {
    camsim::CameraBoard::Options o;
    o.rows = rows;
    o.columns = columns;
    o.pattern = camsim::Pattern::Scene;  // textured, noisy, saturated patches
    o.baud = baud;
    o.count = count;
    return o;
}

std::string Name(const char* stem, int index, const char* suffix) {
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%s-%04d.%s", stem, index, suffix);
    return buffer;
}

// 100 frames at 3 Mbaud: every one taken, each PNG the board's frame, each
// listing the board's frame at the threshold, the JSON figures the board's
// counts; the recording made meanwhile gives the same files again.
TEST(CaptureTool, TakesEveryFrameAsTheBoardSentIt) {
    Folder dir;
    camsim::PseudoTerminal line;
    ASSERT_TRUE(line.Open());
    camsim::CameraBoard board(line, Board(60, 80, 3000000, 100));
    std::string error;
    ASSERT_TRUE(board.Init(&error)) << error;
    Tool tool(dir.path, {line.DevicePath(), "--baud", "3000000", "--frames", "100", "--out",
                         "f-%04d.png", "--listing", "l-%04d.txt", "--threshold", "100", "--record",
                         "run.tavixrec", "--json", "--timeout", "5"});
    ASSERT_TRUE(tool.WaitUntilHolding(line.DevicePath())) << tool.Err();
    ASSERT_TRUE(board.Start(&error)) << error;
    ASSERT_EQ(tool.Wait(), 0) << tool.Err();
    board.Wait();

    const std::vector<std::string> lines = Lines(tool.Out());
    ASSERT_EQ(lines.size(), 101u) << tool.Out();
    const std::string& summary = lines.back();
    EXPECT_EQ(Field(summary, "frames"), 100u) << summary;
    EXPECT_EQ(Field(summary, "framesDrawn"), 100u) << summary;
    EXPECT_EQ(Field(summary, "framesSkipped"), 0u) << summary;
    EXPECT_EQ(Field(summary, "suspectFrames"), 0u) << summary;
    EXPECT_EQ(Field(summary, "framesLost"), 0u) << summary;
    EXPECT_EQ(Field(summary, "bytesReceived"), board.Stats().bytesSent) << summary;
    EXPECT_EQ(board.Stats().bytesDropped, 0u);
    EXPECT_EQ(Field(summary, "filesWritten"), 200u) << summary;
    for (int i = 1; i <= 100; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(Field(lines[size_t(i - 1)], "index"), uint64_t(i));
        EXPECT_EQ(Field(lines[size_t(i - 1)], "bytes"), 4800u);
        CFrameCopy frame;
        frame.rows = 60;
        frame.columns = 80;
        frame.format = pixel::kGray;
        frame.bytes = board.Expected(uint64_t(i - 1)).payload;
        std::vector<uint8_t> png;
        std::string reason;
        ASSERT_TRUE(framefile::Encode(framefile::Kind::Png, frame, png, reason)) << reason;
        const std::string file = Slurp(dir.path / Name("f", i, "png"));
        EXPECT_TRUE(file == std::string(png.begin(), png.end()));
        EXPECT_EQ(Slurp(dir.path / Name("l", i, "txt")), framefile::ListingText(frame, 100));
    }

    // The recording, replayed by the tool: the same pictures, in order; all
    // 100 of them unless a slow sanitized build passed one over.
    Tool replay(dir.path, {"run.tavixrec", "--frames", "0", "--out", "r-%04d.png"});
    ASSERT_EQ(replay.Wait(), 0) << replay.Err();
    std::map<std::string, int> live;
    for (int i = 1; i <= 100; ++i)
        live[Slurp(dir.path / Name("f", i, "png"))] = i;
    int replayed = 0, previous = 0;
    for (int i = 1; fs::exists(dir.path / Name("r", i, "png")); ++i) {
        const auto found = live.find(Slurp(dir.path / Name("r", i, "png")));
        ASSERT_NE(found, live.end()) << i;
        EXPECT_GT(found->second, previous) << i;
        previous = found->second;
        ++replayed;
    }
    EXPECT_GE(replayed, kSanitized ? 95 : 100) << replay.Out();
}

TEST(CaptureTool, EachExitCodeComesFromItsSituation) {
    Folder dir;
    {
        SCOPED_TRACE("1: bad arguments");
        Tool unknown(dir.path, {"/dev/null", "--frame", "3"});
        EXPECT_EQ(unknown.Wait(), 1);
        EXPECT_TRUE(Has(unknown.Err(), "不认识的选项“--frame”")) << unknown.Err();
        // A picture format's frames cannot be JPEG files.
        Tool jpeg(dir.path, {"/dev/null", "--out", "x-%d.jpg"});
        EXPECT_EQ(jpeg.Wait(), 1);
        EXPECT_TRUE(Has(jpeg.Err(), ".jpg 只用于 JPEG 数据流")) << jpeg.Err();
    }
    {
        SCOPED_TRACE("2: a missing port, and a port another program holds");
        Tool missing(dir.path, {"/dev/tavix-no-such-port"});
        EXPECT_EQ(missing.Wait(), 2);
        EXPECT_TRUE(Has(missing.Err(), "不存在")) << missing.Err();
        camsim::PseudoTerminal line;
        ASSERT_TRUE(line.Open());
        CHoldingChild rival(line.DevicePath(), line.MasterFd());
        ASSERT_TRUE(rival.Held());
        Tool busy(dir.path, {line.DevicePath()});
        EXPECT_EQ(busy.Wait(), 2);
        // The window's message, the holder named.
        EXPECT_TRUE(Has(busy.Err(), "打开串口失败!串口 " + line.DevicePath())) << busy.Err();
        EXPECT_TRUE(Has(busy.Err(), "正被另一个程序占用：" + rival.Named())) << busy.Err();
    }
    {
        SCOPED_TRACE("3: a silent board");
        camsim::PseudoTerminal line;
        ASSERT_TRUE(line.Open());
        Tool silent(dir.path, {line.DevicePath(), "--timeout", "1"});
        EXPECT_EQ(silent.Wait(), 3);
        EXPECT_TRUE(Has(silent.Err(), "没有采到完整的帧")) << silent.Err();
        EXPECT_TRUE(Has(silent.Err(), "没有收到任何字节")) << silent.Err();
    }
    {
        SCOPED_TRACE("4: a board that sends another size");
        camsim::PseudoTerminal line;
        ASSERT_TRUE(line.Open());
        camsim::CameraBoard::Options o = Board(120, 160, 921600, 0);
        o.pattern = camsim::Pattern::Gradient;
        camsim::CameraBoard board(line, o);
        std::string error;
        ASSERT_TRUE(board.Start(&error)) << error;
        Tool wrong(dir.path, {line.DevicePath(), "--baud", "921600", "--frames", "3"});
        EXPECT_EQ(wrong.Wait(), 4);
        board.Stop();
        // A diagnosis hint follows; when it is sure (it may not be on a slow,
        // sanitized build), it names the board's size.
        EXPECT_TRUE(Has(wrong.Err(), "诊断（")) << wrong.Err();
        EXPECT_TRUE(!Has(wrong.Err(), "）：确定：") || Has(wrong.Err(), "120 行 × 160 列"))
            << wrong.Err();
    }
    {
        SCOPED_TRACE("4: a board that loses bytes: frames taken, some damaged");
        camsim::PseudoTerminal line;
        ASSERT_TRUE(line.Open());
        camsim::CameraBoard::Options o = Board(60, 80, 921600, 0);
        o.loseByteEvery = 3;
        camsim::CameraBoard board(line, o);
        std::string error;
        ASSERT_TRUE(board.Init(&error)) << error;
        Tool lossy(dir.path, {line.DevicePath(), "--baud", "921600", "--frames", "12", "--json"});
        ASSERT_TRUE(lossy.WaitUntilHolding(line.DevicePath()));
        ASSERT_TRUE(board.Start(&error)) << error;
        EXPECT_EQ(lossy.Wait(), 4) << lossy.Err();
        board.Stop();
        const std::string summary = Lines(lossy.Out()).back();
        EXPECT_EQ(Field(summary, "frames"), 12u) << summary;
        EXPECT_GE(Field(summary, "suspectFrames"), 3u) << summary;
        EXPECT_TRUE(Has(lossy.Err(), "帧可疑")) << lossy.Err();
        // Tolerated, the same is a success.
        Tool tolerant(dir.path, {line.DevicePath(), "--baud", "921600", "--frames", "3",
                                 "--max-suspect", "100"});
        board.Start(&error);
        EXPECT_EQ(tolerant.Wait(), 0) << tolerant.Err();
        board.Stop();
    }
    {
        SCOPED_TRACE("2: the device vanishes mid-capture; what was taken is written");
        camsim::PseudoTerminal line;
        ASSERT_TRUE(line.Open());
        camsim::CameraBoard board(line, Board(60, 80, 921600, 0));
        std::string error;
        ASSERT_TRUE(board.Init(&error)) << error;
        Tool lost(dir.path, {line.DevicePath(), "--baud", "921600", "--frames", "0", "--out",
                             "last.png", "--seconds", "20"});
        ASSERT_TRUE(lost.WaitUntilHolding(line.DevicePath()));
        ASSERT_TRUE(board.Start(&error)) << error;
        std::this_thread::sleep_for(milliseconds(700));
        board.Stop();
        line.Close();
        EXPECT_EQ(lost.Wait(seconds(15)), 2);
        EXPECT_TRUE(Has(lost.Err(), "采集中断")) << lost.Err();
        EXPECT_TRUE(fs::file_size(dir.path / "last.png") > 0);
    }
}

// Ctrl+C ends a capture without a limit cleanly with the last frame written;
// a settled picture ends --until-stable at its second frame, a changing one
// runs into its time limit.
TEST(CaptureTool, InterruptAndStabilityEndACaptureCleanly) {
    Folder dir;
    camsim::PseudoTerminal line;
    ASSERT_TRUE(line.Open());
    {
        camsim::CameraBoard board(line, Board(60, 80, 921600, 0));
        std::string error;
        ASSERT_TRUE(board.Init(&error)) << error;
        Tool endless(dir.path, {line.DevicePath(), "--baud", "921600", "--frames", "0", "--out",
                                "last.pgm", "--json"});
        ASSERT_TRUE(endless.WaitUntilHolding(line.DevicePath()));
        ASSERT_TRUE(board.Start(&error)) << error;
        std::this_thread::sleep_for(milliseconds(500));
        endless.Signal(SIGINT);
        EXPECT_EQ(endless.Wait(seconds(10)), 0) << endless.Err();
        const std::vector<std::string> lines = Lines(endless.Out());
        ASSERT_GE(lines.size(), 2u);
        EXPECT_TRUE(Has(lines.back(), "\"interrupted\":true")) << lines.back();
        EXPECT_EQ(Field(lines.back(), "frames"), lines.size() - 1);
        // The file holds the last frame taken.
        const std::string pgm = Slurp(dir.path / "last.pgm");
        EXPECT_EQ(pgm.substr(0, 13), "P5\n80 60\n255\n");
        EXPECT_EQ(pgm.size(), 13u + 4800u);

        Tool changing(dir.path, {line.DevicePath(), "--baud", "921600", "--until-stable", "1",
                                 "--seconds", "1"});
        EXPECT_EQ(changing.Wait(), 3) << changing.Out();
        EXPECT_TRUE(Has(changing.Err(), "没有稳定")) << changing.Err();
        board.Stop();
    }
    camsim::CameraBoard::Options still = Board(60, 80, 921600, 0);
    still.pattern = camsim::Pattern::Bars;  // the same picture every frame
    camsim::CameraBoard board(line, still);
    std::string error;
    ASSERT_TRUE(board.Start(&error)) << error;
    Tool settled(dir.path,
                 {line.DevicePath(), "--baud", "921600", "--until-stable", "1", "--seconds", "5"});
    EXPECT_EQ(settled.Wait(), 0) << settled.Err();
    EXPECT_TRUE(Has(settled.Out(), "采到 2 帧")) << settled.Out();
    board.Stop();
}

// With --settings the tool takes the window's settings file as the window
// does: its [Ports] section maps COM7 to the board's line and its header
// byte is the board's; the file is read, never written.
TEST(CaptureTool, SettingsFileGivesPortAndHeaderAndStaysUnwritten) {
    Folder dir;
    camsim::PseudoTerminal line;
    ASSERT_TRUE(line.Open());
    const fs::path ini = dir.path / "DevSet.ini";
    {
        std::ofstream out(ini);
        out << "[Data]\nhead=170\n[Black]\nrow=30\ncolumn=40\n[Ports]\ncom7=" << line.DevicePath()
            << "\n";
    }
    const std::string before = Slurp(ini);
    camsim::CameraBoard::Options o = Board(30, 40, 921600, 0);
    o.header = 170;
    camsim::CameraBoard board(line, o);
    std::string error;
    ASSERT_TRUE(board.Init(&error)) << error;
    Tool tool(dir.path, {"COM7", "--settings=" + ini.string(), "--baud", "921600", "--frames", "5",
                         "--json"});
    ASSERT_TRUE(tool.WaitUntilHolding(line.DevicePath())) << tool.Err();
    ASSERT_TRUE(board.Start(&error)) << error;
    EXPECT_EQ(tool.Wait(), 0) << tool.Err();
    board.Stop();
    const std::vector<std::string> lines = Lines(tool.Out());
    ASSERT_EQ(lines.size(), 6u) << tool.Out();
    EXPECT_EQ(Field(lines[0], "bytes"), 1200u);
    EXPECT_EQ(Field(lines[0], "rows"), 30u);
    EXPECT_EQ(Slurp(ini), before);
    // Without the file, COM7 is the port list's default device: not there.
    Tool plain(dir.path, {"COM7"});
    EXPECT_EQ(plain.Wait(), 2);
    EXPECT_TRUE(Has(plain.Err(), "串口号 7")) << plain.Err();
}

// Started while a board streams a picture with saturated patches (the
// header's value in runs all over it), the tool waits for a confirmed start:
// every attach takes whole frames only, none out of step.
TEST(CaptureTool, AttachingToAStreamingSaturatedBoardTakesWholeFramesOnly) {
    Folder dir;
    camsim::PseudoTerminal line;
    ASSERT_TRUE(line.Open());
    camsim::CameraBoard board(line, Board(60, 80, 921600, 0));
    std::string error;
    ASSERT_TRUE(board.Start(&error)) << error;
    for (int attach = 0; attach < 5; ++attach) {
        SCOPED_TRACE(attach);
        Tool tool(dir.path, {line.DevicePath(), "--baud", "921600", "--frames", "10", "--json"});
        EXPECT_EQ(tool.Wait(), 0) << tool.Err();
        const std::string summary = Lines(tool.Out()).back();
        EXPECT_EQ(Field(summary, "frames"), 10u) << summary;
        EXPECT_EQ(Field(summary, "suspectFrames"), 0u) << summary;
    }
    board.Stop();
}

}  // namespace
