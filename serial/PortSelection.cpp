#include "serial/PortSelection.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include "serial/PortDevices.h"
#include "settings/TextToNumber.h"

const char kPortPrompt[] = "请选择串口";
const char kBaudPrompt[] = "请选择波特率";

bool ProbePort(int number) {
    const std::string path = PortDevicePath(number);
    if (path.empty())
        return false;
    const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return false;  // missing, no hardware behind it, or held (TIOCEXCL)
    const bool free = isatty(fd) && flock(fd, LOCK_EX | LOCK_NB) == 0;
    ::close(fd);
    return free;
}

namespace {

// Whether two paths name one character device (links and aliases included).
bool SameDevice(const std::string& a, const std::string& b) {
    struct stat sa {
    }, sb{};
    return !a.empty() && !b.empty() && stat(a.c_str(), &sa) == 0 && stat(b.c_str(), &sb) == 0 &&
           S_ISCHR(sa.st_mode) && S_ISCHR(sb.st_mode) && sa.st_rdev == sb.st_rdev;
}

}  // namespace

std::vector<std::string> ProbePortList(const std::string& heldDevice) {
    std::vector<std::string> list{kPortPrompt};
    for (int n = 1; n <= 15; ++n)
        if (ProbePort(n) || SameDevice(PortDevicePath(n), heldDevice))
            list.push_back("COM" + std::to_string(n));
    return list;
}

namespace {

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f';
}

char Lower(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool StartsWithNoCase(const std::string& text, const std::string& prefix) {
    if (prefix.size() > text.size())
        return false;
    for (size_t i = 0; i < prefix.size(); ++i)
        if (Lower(text[i]) != Lower(prefix[i]))
            return false;
    return true;
}

}  // namespace

std::vector<std::string> BaudList(const std::string& baunds) {
    std::vector<std::string> list{kBaudPrompt};
    size_t b = 0, e = baunds.size();
    while (b < e && IsBlank(baunds[b]))
        ++b;
    while (e > b && IsBlank(baunds[e - 1]))
        --e;
    std::string rest = baunds.substr(b, e - b);
    while (!rest.empty()) {
        const size_t comma = rest.find(',');
        std::string item = rest.substr(0, comma);
        rest = comma == std::string::npos ? std::string() : rest.substr(comma + 1);
        std::string kept;
        for (char c : item)
            if (c != ' ')
                kept += c;
        if (!kept.empty())
            list.push_back(kept);
    }
    return list;
}

int PreselectBaud(const std::vector<std::string>& entries, const std::string& baund) {
    for (size_t i = 1; i < entries.size(); ++i)
        if (StartsWithNoCase(entries[i], baund))
            return static_cast<int>(i);
    return 0;  // entry 0 if it matches, and entry 0 when nothing does
}

int PortSelectionFor(int com, size_t entryCount) {
    if (com < 0)
        com = 0;
    return static_cast<size_t>(com) < entryCount ? com : -1;
}

ComSection BuildComSection(const std::vector<std::string>& baudEntries, int baudSelection,
                           const std::string& typedBaud, int portSelection) {
    ComSection s;
    const bool selected =
        baudSelection >= 0 && static_cast<size_t>(baudSelection) < baudEntries.size();
    const std::string baud = selected ? baudEntries[baudSelection] : typedBaud;
    const bool rate = TextToNumber(baud) > 0;
    s.writeBaund = rate;
    s.baund = baud;
    s.com = std::to_string(portSelection > 0 ? portSelection : 0);
    for (size_t i = 1; i < baudEntries.size(); ++i)
        s.baunds += "," + baudEntries[i];
    // A rate typed by the user is offered from the next start on.
    if (rate && s.baunds.find(baud) == std::string::npos)
        s.baunds += "," + baud;
    return s;
}
