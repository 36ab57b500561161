#include "tools/capture/CommandPortOwner.h"

#include <cctype>

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

CCommandPortOwner::CCommandPortOwner(const std::string& input, uint32_t baud)
    : m_baud(std::to_string(baud)) {
    const int number = PortNumberOf(input);
    if (number > 0) {
        m_portName = "COM" + std::to_string(number);
    } else {
        m_portName = input;
        m_device = input;
    }
}

std::string CCommandPortOwner::Message() const {
    std::lock_guard<std::mutex> lock(m_lock);
    return m_message;
}

void CCommandPortOwner::ShowPortMessage(const std::string& text, const std::string&) {
    std::lock_guard<std::mutex> lock(m_lock);
    m_message = text;
}
