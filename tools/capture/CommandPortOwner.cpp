#include "tools/capture/CommandPortOwner.h"

#include "serial/PortSelection.h"

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
