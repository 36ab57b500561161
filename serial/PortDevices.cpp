#include "serial/PortDevices.h"

#include <map>
#include <mutex>

namespace {

std::mutex g_lock;
std::map<int, std::string>& Overrides() {
    static std::map<int, std::string> overrides;
    return overrides;
}

std::string DefaultPath(int number) {
    if (number >= 1 && number <= 4)
        return "/dev/ttyS" + std::to_string(number - 1);
    if (number >= 5 && number <= 10)
        return "/dev/ttyUSB" + std::to_string(number - 5);
    if (number >= 11 && number <= 15)
        return "/dev/ttyACM" + std::to_string(number - 11);
    return std::string();
}

}  // namespace

std::string PortDevicePath(int number) {
    {
        std::lock_guard<std::mutex> lock(g_lock);
        auto it = Overrides().find(number);
        if (it != Overrides().end())
            return it->second;
    }
    return DefaultPath(number);
}

void SetPortDevicePath(int number, const std::string& path) {
    std::lock_guard<std::mutex> lock(g_lock);
    if (path.empty())
        Overrides().erase(number);
    else
        Overrides()[number] = path;
}

void SetPortDevicePaths(const std::map<int, std::string>& paths) {
    for (const auto& [number, path] : paths)
        SetPortDevicePath(number, path);
}
