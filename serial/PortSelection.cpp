#include "serial/PortSelection.h"

#include <cctype>
#include <cstring>

#include "serial/DeviceHolders.h"
#include "serial/PortDevices.h"
#include "serial/PortProbe.h"
#include "settings/TextToNumber.h"
#include "settings/Translation.h"

const char kPortPrompt[] = TX_NOOP("PortSelection", "请选择串口");
const char kBaudPrompt[] = TX_NOOP("PortSelection", "请选择波特率");

const char* PortPrompt() {
    return tx::Tr("PortSelection", kPortPrompt);
}

const char* BaudPrompt() {
    return tx::Tr("PortSelection", kBaudPrompt);
}

bool ProbePort(int number) {
    return ProbeDevice(PortDevicePath(number)) == PortState::Free;
}

namespace {

// An entry's text by state; each begins with %1, the name.
const char* const kStateTexts[] = {
    TX_NOOP("PortSelection", "%1（无权限）"),
    TX_NOOP("PortSelection", "%1（被占用）"),
    TX_NOOP("PortSelection", "%1（未连接）"),
    TX_NOOP("PortSelection", "%1（不是串口）"),
};

const char* StateText(PortState state) {
    switch (state) {
        case PortState::NoPermission:
            return kStateTexts[0];
        case PortState::Busy:
            return kStateTexts[1];
        case PortState::Missing:
            return kStateTexts[2];
        case PortState::NotSerial:
            return kStateTexts[3];
        case PortState::Free:
            break;
    }
    return nullptr;
}

bool EndsWith(const std::string& text, const std::string& tail) {
    return text.size() > tail.size() &&
           text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

}  // namespace

std::string CPortEntry::Text() const {
    const char* pattern = StateText(state);
    return pattern != nullptr ? tx::Format(tx::Tr("PortSelection", pattern), name) : name;
}

std::string PortEntryName(const std::string& text) {
    // The state's words follow the name, in either language.
    for (const char* pattern : kStateTexts) {
        for (const char* form : {pattern, tx::English("PortSelection", pattern)}) {
            if (form == nullptr)
                continue;
            const std::string tail = std::string(form).substr(2);  // after "%1"
            if (EndsWith(text, tail))
                return text.substr(0, text.size() - tail.size());
        }
    }
    const size_t mark = text.find("（");
    return mark == std::string::npos ? text : text.substr(0, mark);
}

CPortEntry ProbeEntry(const std::string& name, const std::string& device,
                      const std::string& heldDevice) {
    CPortEntry e;
    e.name = name;
    e.device = device;
    e.state = SameDevice(device, heldDevice) ? PortState::Free : ProbeDevice(device);
    return e;
}

std::string PortEntryDetail(const CPortEntry& entry) {
    const std::string device =
        entry.device.empty() ? tx::Tr("PortSelection", "（没有对应的设备）") : entry.device;
    switch (entry.state) {
        case PortState::NoPermission:
            return tx::Format(
                tx::Tr("PortSelection",
                       "%1\n当前用户没有权限打开它。\n请把当前用户加入 dialout 组（sudo "
                       "usermod -aG dialout $USER），然后重新登录。"),
                device);
        case PortState::Busy: {
            const std::string holders = DescribeHolders(FindCompetingHolders(entry.device));
            if (holders.empty())
                return tx::Format(tx::Tr("PortSelection", "%1\n正被另一个程序占用。"), device);
            return tx::Format(tx::Tr("PortSelection", "%1\n正被另一个程序占用：%2。"), device,
                              holders);
        }
        case PortState::Missing:
            return tx::Format(
                tx::Tr("PortSelection", "%1\n设备不存在：摄像头板没有连接，或已被拔出。"), device);
        case PortState::NotSerial:
            return tx::Format(tx::Tr("PortSelection", "%1\n不是串口设备。"), device);
        case PortState::Free:
            break;
    }
    return device;
}

std::vector<CPortEntry> ProbePortEntries(const std::string& heldDevice) {
    std::vector<CPortEntry> entries;
    for (int n : PortNumbersToProbe()) {
        CPortEntry e = ProbeEntry("COM" + std::to_string(n), PortDevicePath(n), heldDevice);
        if (e.state != PortState::Missing && e.state != PortState::NotSerial)
            entries.push_back(e);
    }
    return entries;
}

std::vector<std::string> ProbePortList(const std::string& heldDevice) {
    std::vector<std::string> list{PortPrompt()};
    for (const CPortEntry& e : ProbePortEntries(heldDevice))
        list.push_back(e.Text());
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
    std::vector<std::string> list{BaudPrompt()};
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
                           const std::string& typedBaud, int portSelection,
                           const std::string& portName, const std::string& device) {
    ComSection s;
    s.port = portSelection > 0 ? portName : std::string();
    s.device = device;
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

int PortNumberOf(const std::string& text) {
    if (text.size() < 4 || text.size() > 6)
        return 0;
    for (int i = 0; i < 3; ++i)
        if (std::toupper(static_cast<unsigned char>(text[size_t(i)])) != "COM"[i])
            return 0;
    int n = 0;
    for (size_t i = 3; i < text.size(); ++i) {
        if (!std::isdigit(static_cast<unsigned char>(text[i])))
            return 0;
        n = n * 10 + (text[i] - '0');
    }
    return n;
}
