// Linked into every Windows test program: before anything else runs, the
// user's folders (%APPDATA%, %LOCALAPPDATA%, %USERPROFILE%, %TEMP%) become
// folders of the program's own in the build tree, so that no test reads or
// writes the user's real settings.
#include <windows.h>

#include <filesystem>
#include <string>

namespace {

void Point(const wchar_t* name, const std::filesystem::path& folder) {
    std::error_code error;
    std::filesystem::create_directories(folder, error);
    SetEnvironmentVariableW(name, folder.wstring().c_str());
    _wputenv_s(name, folder.wstring().c_str());  // for getenv as well
}

struct TestHome {
    TestHome() {
        const std::filesystem::path home = std::filesystem::u8path(TAVIX_TEST_HOME);
        Point(L"USERPROFILE", home);
        Point(L"APPDATA", home / "AppData" / "Roaming");
        Point(L"LOCALAPPDATA", home / "AppData" / "Local");
        Point(L"TEMP", home / "Temp");
        Point(L"TMP", home / "Temp");
    }
} g_testHome;

}  // namespace
