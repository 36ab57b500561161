// The port probe on Linux: a device file is opened and locked the way the
// port itself would be, and the numbers COM1..COM15 are tried.
#include "serial/PortProbe.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <fstream>

#include "serial/PortSelection.h"

namespace {

// A serial port of the PC's own UART driver that has no chip behind it
// (/dev/ttyS1 on most machines) says so in /sys: type 0. Such a port is no
// port, also when this user may not open it to find out.
bool NoUartBehind(const std::string& device) {
    char real[PATH_MAX];
    if (realpath(device.c_str(), real) == nullptr)
        return false;
    const char* name = std::strrchr(real, '/');
    std::ifstream type("/sys/class/tty/" + std::string(name != nullptr ? name + 1 : real) +
                       "/type");
    int value = -1;
    return type >> value && value == 0;
}

}  // namespace

PortState ProbeDevice(const std::string& device) {
    if (device.empty())
        return PortState::Missing;
    const int fd = ::open(device.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        switch (errno) {
            case EACCES:
            case EPERM:
                return NoUartBehind(device) ? PortState::Missing : PortState::NoPermission;
            case EBUSY:  // TIOCEXCL of another program
                return PortState::Busy;
            default:  // missing, or no hardware behind it
                return PortState::Missing;
        }
    }
    PortState state = PortState::Free;
    if (!isatty(fd))
        state = PortState::NotSerial;
    else if (flock(fd, LOCK_EX | LOCK_NB) != 0)
        state = PortState::Busy;
    ::close(fd);
    return state;
}

// Two paths are one device when they name one character device.
bool SameDevice(const std::string& a, const std::string& b) {
    struct stat sa {
    }, sb{};
    return !a.empty() && !b.empty() && stat(a.c_str(), &sa) == 0 && stat(b.c_str(), &sb) == 0 &&
           S_ISCHR(sa.st_mode) && S_ISCHR(sb.st_mode) && sa.st_rdev == sb.st_rdev;
}

std::vector<int> PortNumbersToProbe() {
    std::vector<int> numbers;
    for (int n = 1; n <= 15; ++n)
        numbers.push_back(n);
    return numbers;
}
