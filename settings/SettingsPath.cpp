#include "settings/SettingsPath.h"

#include <cstdlib>
#include <filesystem>
#include <sstream>

#include "settings/ProfileFile.h"
#include "settings/ProfileFileAccess.h"
#include "settings/ProgramFolders.h"

std::string GetExeDirectory() {
    const std::string path = ExecutableFilePath();
    if (path.empty())
        return std::string();
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
            if (dir[0] == '/' && FileExists(data + "Help.chm"))
                return data;
        }
        return exe;
    }
    if (FileExists(exe + "Help.chm"))
        return exe;
    // Written without "bin/..", as a user reads it in --version.
    const std::string installed =
        std::filesystem::u8path(exe + "../share/tavixtool/").lexically_normal().generic_u8string();
    return FileExists(installed + "Help.chm") ? installed : exe;
}

std::string UserConfigDirectory() {
    std::string base = UserSettingsBase();
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
    const bool exists = FileExists(beside);
    if ((exists || !installed) && CanWriteProfile(beside, error))
        return {beside, std::string()};
    return {configDir + "DevSet.ini", FileReadable(beside) ? beside : std::string()};
}

std::string SettingsFilePath() {
    const std::string exe = GetExeDirectory();
    const SettingsLocation where =
        ResolveSettingsLocation(exe, UserConfigDirectory(), ProgramDataDirectory() != exe);
    if (where.path != exe + "DevSet.ini")
        SetProfileDefaults(where.path, where.defaults);
    return where.path;
}
