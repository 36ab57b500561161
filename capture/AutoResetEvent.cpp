#include "capture/AutoResetEvent.h"

void CAutoResetEvent::Set() {
    {
        std::lock_guard<std::mutex> lock(m_lock);
        m_bSignalled = true;
    }
    m_cv.notify_all();
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

bool CAutoResetEvent::WaitSet(std::chrono::milliseconds timeout) {
    std::unique_lock<std::mutex> lock(m_lock);
    return m_cv.wait_for(lock, timeout, [this] { return m_bSignalled; });
}
