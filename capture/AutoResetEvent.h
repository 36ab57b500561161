// An auto-reset event: a set signal is consumed by the first test that sees it.
// The worker tests it once per poll, so no thread ever blocks on it.
#pragma once

#include <mutex>

class CAutoResetEvent {
public:
    void Set();
    void Reset();
    // Consumes the signal if it is set; never waits.
    bool TryWait();

private:
    std::mutex m_lock;
    bool m_bSignalled = false;
};
