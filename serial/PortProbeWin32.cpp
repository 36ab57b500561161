// The port probe on Windows: a COM port is opened the way the port itself
// would be; the ports tried are the ones the system knows.
#include "serial/PortProbe.h"

#include <windows.h>

#include <cctype>

#include "serial/PortDevices.h"
#include "serial/PortSelection.h"

namespace {

// The name without a leading \\.\ and in capitals: \\.\com5 and COM5 are one port.
std::string PortKey(const std::string& path) {
    std::string key = path.compare(0, 4, "\\\\.\\") == 0 ? path.substr(4) : path;
    for (char& c : key)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return key;
}

}  // namespace

PortState ProbeDevice(const std::string& device) {
    if (device.empty())
        return PortState::Missing;
    const HANDLE h = CreateFileA(device.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                 OPEN_EXISTING, FILE_FLAG_OVERLAPPED, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        switch (GetLastError()) {
            case ERROR_ACCESS_DENIED:  // a COM port another program holds
            case ERROR_SHARING_VIOLATION:
            case ERROR_BUSY:
                return PortState::Busy;
            default:  // missing, or no hardware behind it
                return PortState::Missing;
        }
    }
    DCB dcb{};
    dcb.DCBlength = sizeof dcb;
    const PortState state = GetCommState(h, &dcb) ? PortState::Free : PortState::NotSerial;
    CloseHandle(h);
    return state;
}

bool SameDevice(const std::string& a, const std::string& b) {
    return !a.empty() && !b.empty() && PortKey(a) == PortKey(b);
}

std::vector<int> PortNumbersToProbe() {
    return SystemPortNumbers();
}
