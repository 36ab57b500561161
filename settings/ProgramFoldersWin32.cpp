#include <windows.h>

#include <filesystem>
#include <string>
#include <vector>

#include "settings/ProgramFolders.h"

namespace {

// A wide path as UTF-8 with '/' between folders, as the engine spells paths.
std::string Utf8Path(const std::wstring& wide) {
    std::string path = std::filesystem::path(wide).u8string();
    for (char& c : path)
        if (c == '\\')
            c = '/';
    return path;
}

}  // namespace

std::string ExecutableFilePath() {
    // Long paths (up to 32767 characters) are possible: grow until it fits.
    for (DWORD size = MAX_PATH; size <= 32768; size *= 2) {
        std::vector<wchar_t> buf(size);
        const DWORD n = GetModuleFileNameW(nullptr, buf.data(), size);
        if (n == 0)
            return std::string();
        if (n < size)
            return Utf8Path(std::wstring(buf.data(), n));
    }
    return std::string();
}

std::string UserSettingsBase() {
    const DWORD n = GetEnvironmentVariableW(L"APPDATA", nullptr, 0);
    if (n == 0)
        return std::string();
    std::vector<wchar_t> buf(n);
    const DWORD got = GetEnvironmentVariableW(L"APPDATA", buf.data(), n);
    if (got == 0 || got >= n)
        return std::string();
    std::string base = Utf8Path(std::wstring(buf.data(), got));
    while (!base.empty() && base.back() == '/')
        base.pop_back();
    return base;
}
