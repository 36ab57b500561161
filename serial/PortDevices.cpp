#include "serial/PortDevices.h"

#include <map>
#include <mutex>

// The overrides from the settings file, the same on every system; the
// default table is the system's own (PortDevicesPosix.cpp,
// PortDevicesWin32.cpp).
namespace {

std::mutex g_lock;
std::map<int, std::string>& Overrides() {
    static std::map<int, std::string> overrides;
    return overrides;
}

}  // namespace

std::string PortDevicePath(int number) {
    {
        std::lock_guard<std::mutex> lock(g_lock);
        auto it = Overrides().find(number);
        if (it != Overrides().end())
            return it->second;
    }
    return DefaultPortDevicePath(number);
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
