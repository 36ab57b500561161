#include "settings/SettingsPath.h"

#include <unistd.h>

#include <vector>

std::string GetExeDirectory() {
    std::vector<char> buf(1001);
    const ssize_t n = readlink("/proc/self/exe", buf.data(), buf.size() - 1);
    if (n <= 0)
        return std::string();
    const std::string path(buf.data(), static_cast<size_t>(n));
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(0, slash + 1);
}

std::string SettingsFilePath() {
    return GetExeDirectory() + "DevSet.ini";
}
