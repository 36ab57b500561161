// The simulator program, run as a user runs it, read through a serial port
// opened on its link.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <string>
#include <thread>

#include "serial/PortDevices.h"
#include "serial/SerialPort.h"
#include "tools/camsim/FrameSource.h"

extern char** environ;

namespace {

using namespace std::chrono;
using Bytes = std::vector<uint8_t>;

TEST(CamSimLink, PortOnTheLinkReadsTheFramesByteExact) {
    const std::string link = "/tmp/tavix-linktest-" + std::to_string(getpid());
    const std::string out = link + ".out";
    std::vector<std::string> args = {TAVIX_CAMSIM, "--rows", "60",     "--columns", "80", "--count",
                                     "4",          "--baud", "115200", "--link",    link};
    std::vector<char*> argv;
    for (auto& a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    pid_t pid = 0;
    ASSERT_EQ(posix_spawn(&pid, TAVIX_CAMSIM, &actions, nullptr, argv.data(), environ), 0);
    posix_spawn_file_actions_destroy(&actions);

    struct stat st {};
    const auto deadline = steady_clock::now() + seconds(5);
    while (lstat(link.c_str(), &st) != 0 && steady_clock::now() < deadline)
        std::this_thread::sleep_for(milliseconds(5));
    ASSERT_TRUE(S_ISLNK(st.st_mode));

    SetPortDevicePath(14, link);
    SerialPort port;
    ASSERT_GT(port.Open(115200, 14), 2);
    Bytes got;
    Bytes buf(8192);
    const auto end = steady_clock::now() + seconds(8);
    while (got.size() < 4 * 4801 && steady_clock::now() < end) {
        uint32_t n = 0;
        if (port.ReadAvailable(buf.data(), static_cast<uint32_t>(buf.size()), n) != 0)
            break;
        got.insert(got.end(), buf.begin(), buf.begin() + n);
        std::this_thread::sleep_for(milliseconds(50));
    }
    port.Close();
    SetPortDevicePath(14, "");
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    EXPECT_NE(lstat(link.c_str(), &st), 0);  // the link is gone again

    // What was sent before the port opened is flushed by the open; everything
    // after it arrives exactly: a suffix of the four frames on the wire.
    camsim::FrameSource source(60, 80, false, camsim::Pattern::Gradient);
    Bytes sent;
    for (int i = 0; i < 4; ++i) {
        const Bytes wire = camsim::WireFrame(255, source.Frame(i));
        sent.insert(sent.end(), wire.begin(), wire.end());
    }
    ASSERT_GE(got.size(), 2u * 4801u);
    ASSERT_LE(got.size(), sent.size());
    EXPECT_TRUE(std::equal(got.begin(), got.end(), sent.end() - got.size()));

    FILE* f = std::fopen(out.c_str(), "r");
    ASSERT_NE(f, nullptr);
    char text[4096] = {};
    const size_t n = std::fread(text, 1, sizeof text - 1, f);
    std::fclose(f);
    unlink(out.c_str());
    EXPECT_NE(std::string(text, n).find("frames sent 4"), std::string::npos) << text;
}

}  // namespace
