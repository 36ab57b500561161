// CWakeEvent on Windows: a manual-reset event, which stays signalled until
// Clear() as the eventfd does on the other platform.
#include "serial/WakeEvent.h"

#include <windows.h>

namespace {

// The handle is kept in the class's int (handles fit in 32 bits); -1 is none.
int Keep(HANDLE h) {
    return h != nullptr ? HandleToLong(h) : -1;
}

}  // namespace

CWakeEvent::CWakeEvent() : m_fd(Keep(CreateEventA(nullptr, TRUE, FALSE, nullptr))) {}

CWakeEvent::~CWakeEvent() {
    if (m_fd != -1)
        CloseHandle(LongToHandle(m_fd));
}

void CWakeEvent::Signal() {
    if (m_fd != -1)
        SetEvent(LongToHandle(m_fd));
}

void CWakeEvent::Clear() {
    if (m_fd != -1)
        ResetEvent(LongToHandle(m_fd));
}
