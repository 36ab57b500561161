#include "serial/PortOwner.h"

#include <cctype>
#include <climits>
#include <cstdio>

int TextToNumber(const std::string& text) {
    size_t i = 0;
    while (i < text.size() && std::isspace(static_cast<unsigned char>(text[i])))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    long long value = 0;
    while (i < text.size() && std::isdigit(static_cast<unsigned char>(text[i]))) {
        if (value <= INT_MAX)
            value = value * 10 + (text[i] - '0');
        ++i;
    }
    if (negative)
        value = -value;
    if (value > INT_MAX)
        return INT_MAX;
    if (value < INT_MIN)
        return INT_MIN;
    return static_cast<int>(value);
}

CPortOwner::CPortOwner() : m_bPortOpen(0) {}

CPortOwner::~CPortOwner() = default;

int CPortOwner::IsPortOpen() const {
    return m_bPortOpen.load();
}

int CPortOwner::OpenPort() {
    return OpenPort(CurrentChoice());
}

CPortChoice CPortOwner::CurrentChoice() {
    CPortChoice choice;
    choice.baudSelection = GetBaudSelection();
    choice.baudText = GetBaudText();
    choice.portSelection = GetPortSelection();
    choice.portText = GetPortText();
    return choice;
}

int CPortOwner::OpenPort(const CPortChoice& choice) {
    std::string message;
    if (choice.baudSelection == 0) {
        message = "请选择波特率!";
    } else {
        // No range check: a text without digits gives 0, which the open refuses.
        const int baud = TextToNumber(choice.baudText);
        if (choice.portSelection <= 0) {
            message = "请选择串口号!";
        } else {
            const std::string& name = choice.portText;
            const int port = TextToNumber(name.size() > 3 ? name.substr(3) : std::string());
            intptr_t handle;
            {
                std::lock_guard<std::mutex> lock(m_openLock);
                handle = m_port.Open(static_cast<uint32_t>(baud), port);
                if (handle != 0 && handle != -1)
                    m_bPortOpen = 1;
            }
            if (handle != 0 && handle != -1)
                return 1;
            char text[128];
            std::snprintf(text, sizeof text, "打开串口失败!串口号 %d ，波特率 %d ", port, baud);
            message = text;
        }
    }
    ShowPortMessage(message, "TavixTool");
    return 0;
}

void CPortOwner::ClosePort() {
    std::lock_guard<std::mutex> lock(m_openLock);
    m_port.Close();
    m_bPortOpen = 0;
}

namespace {
std::atomic<CPortOwner*> g_owner{nullptr};
}

CPortOwner* GetPortOwner() {
    return g_owner.load();
}

void SetPortOwner(CPortOwner* owner) {
    g_owner.store(owner);
}
