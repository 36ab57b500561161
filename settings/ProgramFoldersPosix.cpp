#include <unistd.h>

#include <cstdlib>
#include <vector>

#include "settings/ProgramFolders.h"

std::string ExecutableFilePath() {
    std::vector<char> buf(1001);
    const ssize_t n = readlink("/proc/self/exe", buf.data(), buf.size() - 1);
    if (n <= 0)
        return std::string();
    return std::string(buf.data(), static_cast<size_t>(n));
}

std::string UserSettingsBase() {
    const char* xdg = std::getenv("XDG_CONFIG_HOME");
    if (xdg != nullptr && xdg[0] == '/')
        return xdg;
    const char* home = std::getenv("HOME");
    return std::string(home != nullptr ? home : "") + "/.config";
}
