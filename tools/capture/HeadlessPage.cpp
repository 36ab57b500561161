#include "tools/capture/HeadlessPage.h"

void CHeadlessPage::ShowStatus(std::string text) {
    if (text == WelcomeText())
        return;
    std::lock_guard<std::mutex> lock(m_lock);
    m_status = std::move(text);
}

std::string CHeadlessPage::LastStatus() const {
    std::lock_guard<std::mutex> lock(m_lock);
    return m_status;
}
