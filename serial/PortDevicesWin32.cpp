// PortDevices on Windows: COM numbers are the system's own, and the port list
// is the system's list of COM device names.
#include "serial/PortDevices.h"

#include "serial/PortSelection.h"

#include <windows.h>

#include <algorithm>
#include <cstring>
#include <vector>

namespace {

const char kDevicePrefix[] = "\\\\.\\";

// The DOS device name in a path such as \\.\COM12 or COM12.
std::string DosName(const std::string& path) {
    const size_t prefix = sizeof kDevicePrefix - 1;
    if (path.compare(0, prefix, kDevicePrefix) == 0)
        return path.substr(prefix);
    return path;
}

}  // namespace

std::string DefaultPortDevicePath(int number) {
    if (number < 1)
        return std::string();
    return kDevicePrefix + std::string("COM") + std::to_string(number);
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
        if (const int n = PortNumberOf(p))
            numbers.push_back(n);
    }
    std::sort(numbers.begin(), numbers.end());
    numbers.erase(std::unique(numbers.begin(), numbers.end()), numbers.end());
    return numbers;
}
