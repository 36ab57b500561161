// The real program ended by a termination signal (a logout) with a page box
// that fails its check: it ends at once, saves every other key and keeps the
// failing box's value in the file.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "settings/ProfileFile.h"

namespace {

namespace fs = std::filesystem;
using namespace std::chrono;

std::string ReadAll(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

TEST(Shutdown, ATerminationSignalWithABadBoxEndsAtOnceAndKeepsTheRest) {
    char dir[] = "/tmp/tavix-shutdown-XXXXXX";
    ASSERT_NE(mkdtemp(dir), nullptr);
    const fs::path folder = dir;
    // The program and its settings file beside it, as a portable copy: a
    // first start that set the grayscale rows but never the columns (0).
    fs::copy_file(TAVIX_PROGRAM, folder / "TavixTool");
    {
        std::ofstream ini(folder / "DevSet.ini");
        ini << "; mine\n[Black]\nrow=5\ncolumn=0\nthreshold=9\n";
    }
    const pid_t pid = fork();
    if (pid == 0) {
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
        const std::string program = (folder / "TavixTool").string();
        execl(program.c_str(), program.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    ASSERT_GT(pid, 0);
    std::this_thread::sleep_for(milliseconds(2500));  // started and idle
    ASSERT_EQ(kill(pid, SIGTERM), 0);
    int status = 0;
    pid_t ended = 0;
    const auto deadline = steady_clock::now() + seconds(10);
    while ((ended = waitpid(pid, &status, WNOHANG)) == 0 && steady_clock::now() < deadline)
        std::this_thread::sleep_for(milliseconds(20));
    if (ended == 0) {
        kill(pid, SIGKILL);  // hung (behind a box nobody can see)
        waitpid(pid, &status, 0);
    }
    EXPECT_EQ(ended, pid) << "the program did not end within 10 s of SIGTERM";
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    const std::string ini = (folder / "DevSet.ini").string();
    // The failing box keeps the file's value; the others and "Com" are saved.
    EXPECT_EQ(ReadProfileInt("Black", "column", -1, ini), 0);
    EXPECT_EQ(ReadProfileInt("Black", "row", -1, ini), 5);
    EXPECT_EQ(ReadProfileInt("Black", "threshold", -1, ini), 9);
    EXPECT_EQ(ReadProfileInt("Black", "bimage", -1, ini), 1);
    EXPECT_EQ(ReadProfileInt("Colour", "row", -1, ini), 0);  // no range there: 0 passes
    EXPECT_NE(ReadProfileString("Com", "com", "", ini), "");
    EXPECT_EQ(ReadAll(ini).rfind("; mine\n", 0), 0u);
    fs::remove_all(folder);
}

}  // namespace
