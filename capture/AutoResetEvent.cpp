#include "capture/AutoResetEvent.h"

void CAutoResetEvent::Set() {
    std::lock_guard<std::mutex> lock(m_lock);
    m_bSignalled = true;
}

void CAutoResetEvent::Reset() {
    std::lock_guard<std::mutex> lock(m_lock);
    m_bSignalled = false;
}

bool CAutoResetEvent::TryWait() {
    std::lock_guard<std::mutex> lock(m_lock);
    const bool was = m_bSignalled;
    m_bSignalled = false;
    return was;
}
