// A wake-up signal that a waiting capture worker sees at once: any thread's
// Signal() ends a SerialPort::WaitForData early. Signals do not queue up:
// one Clear() takes back all that were given.
#pragma once

class CWakeEvent {
public:
    CWakeEvent();
    ~CWakeEvent();
    CWakeEvent(const CWakeEvent&) = delete;
    CWakeEvent& operator=(const CWakeEvent&) = delete;

    // Any thread; never blocks.
    void Signal();
    // Takes back every signal given so far.
    void Clear();
    // What a wait watches (an eventfd; on Windows an event handle, which
    // fits in 32 bits); -1 when none could be had, and a wait then ends only
    // with data or its time-out.
    int Handle() const { return m_fd; }

private:
    int m_fd;
};
