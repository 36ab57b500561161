// PortDevices on Windows: COM numbers are the system's own, and the port list
// is the system's list of COM device names.
#include "serial/PortDevices.h"

#include <windows.h>

#include <algorithm>
#include <cctype>
#include <cstring>
#include <map>
#include <mutex>
#include <vector>

namespace {

std::mutex g_lock;
std::map<int, std::string>& Overrides() {
    static std::map<int, std::string> overrides;
    return overrides;
}

const char kDevicePrefix[] = "\\\\.\\";

// The DOS device name in a path such as \\.\COM12 or COM12.
std::string DosName(const std::string& path) {
    const size_t prefix = sizeof kDevicePrefix - 1;
    if (path.compare(0, prefix, kDevicePrefix) == 0)
        return path.substr(prefix);
    return path;
}

// n for a name "COMn" (any case), else 0.
int ComNumber(const char* name) {
    if (std::strlen(name) < 4 || std::toupper(static_cast<unsigned char>(name[0])) != 'C' ||
        std::toupper(static_cast<unsigned char>(name[1])) != 'O' ||
        std::toupper(static_cast<unsigned char>(name[2])) != 'M')
        return 0;
    int n = 0;
    for (const char* p = name + 3; *p != '\0'; ++p) {
        if (!std::isdigit(static_cast<unsigned char>(*p)) || n > 100000)
            return 0;
        n = n * 10 + (*p - '0');
    }
    return n;
}

}  // namespace

std::string PortDevicePath(int number) {
    {
        std::lock_guard<std::mutex> lock(g_lock);
        auto it = Overrides().find(number);
        if (it != Overrides().end())
            return it->second;
    }
    if (number < 1)
        return std::string();
    return kDevicePrefix + std::string("COM") + std::to_string(number);
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

std::string DeviceIdentity(const std::string& path) {
    if (path.empty())
        return std::string();
    char target[1024];
    if (QueryDosDeviceA(DosName(path).c_str(), target, sizeof target) == 0)
        return std::string();
    return path;
}

std::vector<int> SystemPortNumbers() {
    // Every DOS device name, as a list of zero-ended names; the buffer grows
    // until the list fits.
    std::vector<char> names(16 * 1024);
    for (;;) {
        const DWORD n = QueryDosDeviceA(nullptr, names.data(), static_cast<DWORD>(names.size()));
        if (n != 0)
            break;
        if (GetLastError() != ERROR_INSUFFICIENT_BUFFER || names.size() >= (16u << 20))
            return {};
        names.resize(names.size() * 2);
    }
    std::vector<int> numbers;
    for (const char* p = names.data(); *p != '\0'; p += std::strlen(p) + 1) {
        if (const int n = ComNumber(p))
            numbers.push_back(n);
    }
    std::sort(numbers.begin(), numbers.end());
    numbers.erase(std::unique(numbers.begin(), numbers.end()), numbers.end());
    return numbers;
}
