// The simulator program, run as a user runs it, read through a serial port
// opened on its link: generating frames and replaying a recording.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>

#include "ChildProcess.h"
#include "capture/RecordingWriter.h"
#include "serial/PortDevices.h"
#include "serial/SerialPort.h"
#include "stream/StreamFormat.h"
#include "tools/camsim/FrameEncoder.h"
#include "tools/camsim/FrameSource.h"

namespace {

using namespace std::chrono;
using Bytes = std::vector<uint8_t>;

const std::string kStem = "/tmp/tavix-linktest-" + std::to_string(getpid());

// The simulator run with args; its standard output and error go to
// kStem + ".out" and ".err".
pid_t Spawn(std::vector<std::string> args) {
    const pid_t pid = SpawnProgram(TAVIX_CAMSIM, args, kStem + ".out", kStem + ".err");
    EXPECT_GT(pid, 0);
    return pid;
}

// The exit code, -1 if it did not exit normally.
int ExitCode(pid_t pid) {
    int status = 0;
    if (waitpid(pid, &status, 0) != pid || !WIFEXITED(status))
        return -1;
    return WEXITSTATUS(status);
}

// What the last run wrote to its standard output or error (".out", ".err").
std::string Printed(const char* which) {
    const std::string path = kStem + which;
    std::ifstream in(path);
    const std::string text((std::istreambuf_iterator<char>(in)), {});
    unlink(path.c_str());
    return text;
}

// Opens a port on the simulator's link as soon as it appears and reads until
// `want` bytes came or the time ran out.
Bytes ReadOnLink(const std::string& link, size_t want) {
    struct stat st {};
    const auto deadline = steady_clock::now() + seconds(5);
    while (lstat(link.c_str(), &st) != 0 && steady_clock::now() < deadline)
        std::this_thread::sleep_for(milliseconds(5));
    EXPECT_TRUE(S_ISLNK(st.st_mode));

    SetPortDevicePath(14, link);
    SerialPort port;
    EXPECT_GT(port.Open(115200, 14), 2);
    Bytes got;
    Bytes buf(8192);
    const auto end = steady_clock::now() + seconds(8);
    while (got.size() < want && steady_clock::now() < end) {
        uint32_t n = 0;
        if (port.ReadAvailable(buf.data(), static_cast<uint32_t>(buf.size()), n) != 0)
            break;
        got.insert(got.end(), buf.begin(), buf.begin() + n);
        std::this_thread::sleep_for(milliseconds(50));
    }
    port.Close();
    SetPortDevicePath(14, "");
    return got;
}

// Four 60 x 80 grayscale gradient frames as the board sends them.
Bytes FourFrames() {
    camsim::FrameSource source(60, 80, false, camsim::Pattern::Gradient);
    Bytes sent;
    for (int i = 0; i < 4; ++i) {
        const Bytes wire = camsim::WireFrame(255, source.Frame(i));
        sent.insert(sent.end(), wire.begin(), wire.end());
    }
    return sent;
}

// What was sent before the port opened is flushed by the open; everything
// after it arrives exactly: a suffix of what was sent, at least two frames.
void ExpectTail(const Bytes& got, const Bytes& sent) {
    ASSERT_GE(got.size(), 2u * 4801u);
    ASSERT_LE(got.size(), sent.size());
    EXPECT_TRUE(std::equal(got.begin(), got.end(), sent.end() - got.size()));
}

TEST(CamSimLink, PortOnTheLinkReadsTheFramesByteExact) {
    const std::string link = kStem + ".link";
    const pid_t pid = Spawn(
        {"--rows", "60", "--columns", "80", "--count", "4", "--baud", "115200", "--link", link});
    const Bytes got = ReadOnLink(link, 4 * 4801);
    EXPECT_EQ(ExitCode(pid), 0);
    struct stat st {};
    EXPECT_NE(lstat(link.c_str(), &st), 0);  // the link is gone again
    ExpectTail(got, FourFrames());
    const std::string out = Printed(".out");
    EXPECT_NE(out.find("frames sent 4"), std::string::npos) << out;
}

// A request-per-frame board run from the command line: the preset's size
// unless told otherwise, silent until asked, then one scene frame, exactly as
// the simulator's classes say, per request byte the port sends.
TEST(CamSimLink, RequestBoardAnswersEachRequestWithOneFrame) {
    const std::string link = kStem + ".link";
    const pid_t pid = Spawn({"--format", "request-565", "--pattern", "scene", "--seed", "5",
                             "--count", "2", "--baud", "4000000", "--link", link});
    struct stat st {};
    const auto deadline = steady_clock::now() + seconds(5);
    while (lstat(link.c_str(), &st) != 0 && steady_clock::now() < deadline)
        std::this_thread::sleep_for(milliseconds(5));
    SetPortDevicePath(14, link);
    SerialPort port;
    ASSERT_GT(port.Open(4000000, 14), 2);

    stream::CStreamFormat format;
    ASSERT_TRUE(stream::FormatFromText("request-565", format));
    const camsim::FrameSource source(120, 160, true, camsim::Pattern::Scene, 5);
    const camsim::FrameEncoder encoder(format, stream::Encoding::Rgb565Be, 255, source);
    auto read = [&](size_t want, milliseconds quiet) {
        Bytes got, buf(8192);
        auto last = steady_clock::now();
        while (got.size() <= want && steady_clock::now() - last < quiet) {
            uint32_t n = 0;
            if (port.ReadAvailable(buf.data(), static_cast<uint32_t>(buf.size()), n) != 0)
                break;
            if (n > 0)
                last = steady_clock::now();
            got.insert(got.end(), buf.begin(), buf.begin() + n);
            std::this_thread::sleep_for(milliseconds(10));
        }
        return got;
    };
    EXPECT_TRUE(read(0, milliseconds(300)).empty()) << "no request, no frame";
    for (uint64_t i = 0; i < 2; ++i) {
        const uint8_t request = 0x01;
        uint32_t written = 0;
        ASSERT_EQ(port.Write(&request, 1, written), 0);
        const Bytes got = read(120 * 160 * 2, milliseconds(500));
        EXPECT_EQ(got, encoder.Encode(i).payload) << "frame " << i;
    }
    port.Close();
    SetPortDevicePath(14, "");
    EXPECT_EQ(ExitCode(pid), 0);
    const std::string out = Printed(".out");
    EXPECT_NE(out.find("frames sent 2"), std::string::npos) << out;
    EXPECT_NE(out.find("requests received 2"), std::string::npos) << out;
}

TEST(CamSimLink, ReplayPlaysTheRecordingOnTheLinkAtItsPace) {
    // Four frames in 1000-byte chunks 20 ms apart, as a 115200-baud port
    // might have delivered them.
    const std::string path = kStem + ".tavixrec";
    const Bytes sent = FourFrames();
    CRecordingWriter writer;
    std::string error;
    RecordingHeader header;
    header.startMicroseconds = 1765000000000000;
    ASSERT_TRUE(writer.Open(path, header, error)) << error;
    size_t chunks = 0;
    for (size_t at = 0; at < sent.size(); at += 1000, ++chunks)
        writer.Write(chunks * 20000, &sent[at], std::min<size_t>(1000, sent.size() - at));
    ASSERT_TRUE(writer.Close());

    const std::string link = kStem + ".link";
    const auto start = steady_clock::now();
    const pid_t pid = Spawn({"--replay", path, "--link", link});
    const Bytes got = ReadOnLink(link, sent.size());
    EXPECT_EQ(ExitCode(pid), 0);
    EXPECT_GE(steady_clock::now() - start, milliseconds(20 * (chunks - 1)));
    ExpectTail(got, sent);
    const std::string out = Printed(".out");
    EXPECT_NE(out.find("115200 baud, header 255, 60x80 grayscale"), std::string::npos) << out;
    EXPECT_NE(out.find("chunks sent " + std::to_string(chunks) + ", bytes sent " +
                       std::to_string(sent.size())),
              std::string::npos)
        << out;
    unlink(path.c_str());
}

TEST(CamSimLink, ReplayThatCannotStartSaysWhyWithCode2) {
    const std::string path = kStem + ".txt";
    std::ofstream(path) << "hello";
    const struct {
        std::vector<std::string> args;
        std::string says;
    } cases[] = {
        {{"--replay", path}, path + " 不是 TavixTool 的录制文件"},
        {{"--replay", path + ".missing"}, "文件或文件夹不存在"},
        {{"--replay", path, "--rows", "10"}, "--rows does not go with it"},
        {{"--fast"}, "--fast goes only with --replay"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.says);
        EXPECT_EQ(ExitCode(Spawn(c.args)), 2);
        const std::string err = Printed(".err");
        EXPECT_NE(err.find(c.says), std::string::npos) << err;
        EXPECT_EQ(Printed(".out"), "");
    }
    unlink(path.c_str());
}

}  // namespace
