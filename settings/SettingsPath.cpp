#include "settings/SettingsPath.h"

#include <unistd.h>

#include <cstdlib>
#include <vector>

#include "settings/ProfileFile.h"

std::string GetExeDirectory() {
    std::vector<char> buf(1001);
    const ssize_t n = readlink("/proc/self/exe", buf.data(), buf.size() - 1);
    if (n <= 0)
        return std::string();
    const std::string path(buf.data(), static_cast<size_t>(n));
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(0, slash + 1);
}

std::string ProgramDataDirectory() {
    const std::string exe = GetExeDirectory();
    if (access((exe + "Help.chm").c_str(), F_OK) == 0)
        return exe;
    const std::string installed = exe + "../share/tavixtool/";
    return access((installed + "Help.chm").c_str(), F_OK) == 0 ? installed : exe;
}

std::string UserConfigDirectory() {
    const char* xdg = std::getenv("XDG_CONFIG_HOME");
    std::string base;
    if (xdg != nullptr && xdg[0] == '/') {
        base = xdg;
    } else {
        const char* home = std::getenv("HOME");
        base = std::string(home != nullptr ? home : "") + "/.config";
    }
    if (!base.empty() && base.back() != '/')
        base += '/';
    return base + "TavixTool/";
}

SettingsLocation ResolveSettingsLocation(const std::string& exeDir, const std::string& configDir,
                                         bool installed) {
    const std::string beside = exeDir + "DevSet.ini";
    int error = 0;
    // A writable file beside the executable is the settings file wherever
    // the program is; an installed program never creates one there (not even
    // when run by root, who may write anywhere).
    const bool exists = access(beside.c_str(), F_OK) == 0;
    if ((exists || !installed) && CanWriteProfile(beside, error))
        return {beside, std::string()};
    return {configDir + "DevSet.ini", access(beside.c_str(), R_OK) == 0 ? beside : std::string()};
}

std::string SettingsFilePath() {
    const std::string exe = GetExeDirectory();
    const SettingsLocation where =
        ResolveSettingsLocation(exe, UserConfigDirectory(), ProgramDataDirectory() != exe);
    if (where.path != GetExeDirectory() + "DevSet.ini")
        SetProfileDefaults(where.path, where.defaults);
    return where.path;
}
