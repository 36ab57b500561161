#include "settings/SettingsPath.h"

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <sstream>
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

const char* HelpFileName(tx::Language language) {
    return language == tx::Language::English ? "Help_en.chm" : "Help.chm";
}

std::string ProgramDataDirectory() {
    const std::string exe = GetExeDirectory();
    if (exe.empty()) {
        // The folder cannot be found (no /proc): look where a desktop keeps
        // installed programs' data, $XDG_DATA_DIRS.
        const char* env = std::getenv("XDG_DATA_DIRS");
        std::istringstream dirs(env != nullptr && env[0] != 0 ? env
                                                              : "/usr/local/share:/usr/share");
        for (std::string dir; std::getline(dirs, dir, ':');) {
            const std::string data =
                dir + (dir.empty() || dir.back() != '/' ? "/" : "") + "tavixtool/";
            if (dir[0] == '/' && access((data + "Help.chm").c_str(), F_OK) == 0)
                return data;
        }
        return exe;
    }
    if (access((exe + "Help.chm").c_str(), F_OK) == 0)
        return exe;
    // Written without "bin/..", as a user reads it in --version.
    const std::string installed =
        std::filesystem::path(exe + "../share/tavixtool/").lexically_normal().string();
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
    // Without the executable's folder (no /proc, as in a bare chroot) a
    // relative "DevSet.ini" would land in whatever folder the program was
    // started from: the user's folder is the only safe place then.
    if (exeDir.empty())
        return {configDir + "DevSet.ini", std::string()};
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
    if (where.path != exe + "DevSet.ini")
        SetProfileDefaults(where.path, where.defaults);
    return where.path;
}
