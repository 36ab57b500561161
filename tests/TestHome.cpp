// Linked into every test program: before anything else runs, the program's
// home and XDG folders become a folder of its own in the build tree, so that
// no test (nor a program or dialog it starts) reads or writes the user's real
// configuration, recent files or caches, whether it runs under CTest or by
// hand.
#include <stdlib.h>

#include <filesystem>
#include <string>

namespace {

struct TestHome {
    TestHome() {
        const std::string home = TAVIX_TEST_HOME;
        std::error_code error;
        std::filesystem::create_directories(home, error);
        setenv("HOME", home.c_str(), 1);
        setenv("XDG_CONFIG_HOME", (home + "/.config").c_str(), 1);
        setenv("XDG_DATA_HOME", (home + "/.local/share").c_str(), 1);
        setenv("XDG_CACHE_HOME", (home + "/.cache").c_str(), 1);
        setenv("XDG_STATE_HOME", (home + "/.local/state").c_str(), 1);
    }
} g_testHome;

}  // namespace
