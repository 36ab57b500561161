// An auto-reset event: Set wakes one test or wait, which consumes the signal.
#pragma once

#include <chrono>
#include <condition_variable>
#include <mutex>

class CAutoResetEvent {
public:
    void Set();
    void Reset();
    // Consumes the signal if it is set; never waits.
    bool TryWait();
    // Waits up to `timeout` for the signal without consuming it: true when set.
    bool WaitSet(std::chrono::milliseconds timeout);

private:
    std::mutex m_lock;
    std::condition_variable m_cv;
    bool m_bSignalled = false;
};
