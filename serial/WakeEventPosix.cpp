#include "serial/WakeEvent.h"

#include <sys/eventfd.h>
#include <unistd.h>

#include <cstdint>

CWakeEvent::CWakeEvent() : m_fd(eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC)) {}

CWakeEvent::~CWakeEvent() {
    if (m_fd >= 0)
        ::close(m_fd);
}

void CWakeEvent::Signal() {
    if (m_fd < 0)
        return;
    const uint64_t one = 1;
    // A full counter (never reached in practice) already wakes the waiter.
    (void)!::write(m_fd, &one, sizeof one);
}

void CWakeEvent::Clear() {
    if (m_fd < 0)
        return;
    uint64_t count;
    (void)!::read(m_fd, &count, sizeof count);
}
