// SerialPort on Windows: a COM port handle opened for overlapped I/O, so that a
// wait for data can be ended by the wake event at once.
#include "serial/SerialPort.h"

#include <windows.h>

#include <cerrno>
#include <chrono>
#include <string>
#include <thread>

#include "serial/WakeEvent.h"
#include "settings/Win32Errors.h"

namespace {

// Handles fit in 32 bits on 64-bit Windows (HandleToLong/LongToHandle), so the
// handle is kept in the int the class keeps its descriptor in; -1 is both
// "closed" and INVALID_HANDLE_VALUE.
HANDLE ToHandle(int fd) {
    return LongToHandle(fd);
}
int FromHandle(HANDLE h) {
    return HandleToLong(h);
}

// The empty log file of the Windows build.
void TouchLogFile() {
    HANDLE f = CreateFileA("D:\\log.raw", GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    if (f != INVALID_HANDLE_VALUE)
        CloseHandle(f);
}

// The open-failure reasons are worded once, for the error numbers of the C
// library (settings/Win32Errors). A port reads some errors its own way: a COM
// port that another program holds gives access denied, a name the system
// does not know is a port that is missing.
int PortErrno(DWORD error) {
    switch (error) {
        case ERROR_BAD_UNIT:
        case ERROR_INVALID_NAME:
            return ENOENT;
        case ERROR_ACCESS_DENIED:
        case ERROR_SHARING_VIOLATION:
        case ERROR_BUSY:
            return EBUSY;
        case ERROR_DEVICE_NOT_CONNECTED:
        case ERROR_NOT_READY:
        case ERROR_GEN_FAILURE:
            return ENODEV;
        case ERROR_INVALID_FUNCTION:
        case ERROR_NOT_SUPPORTED:
        case ERROR_INVALID_HANDLE:
            return ENOTTY;
        case ERROR_INVALID_PARAMETER:
            return EINVAL;
        default:
            return ErrnoFromWin32(error);
    }
}

// A manual-reset event for one overlapped operation; null when none could be had.
struct OverlappedEvent {
    OVERLAPPED ov{};
    OverlappedEvent() { ov.hEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr); }
    ~OverlappedEvent() {
        if (ov.hEvent != nullptr)
            CloseHandle(ov.hEvent);
    }
    OverlappedEvent(const OverlappedEvent&) = delete;
    OverlappedEvent& operator=(const OverlappedEvent&) = delete;
};

// Waits for an overlapped operation on `h` to finish; true with its byte count
// when it succeeded.
bool Finish(HANDLE h, OVERLAPPED& ov, BOOL started, DWORD& n) {
    if (started)
        return GetOverlappedResult(h, &ov, &n, FALSE) != 0;
    if (GetLastError() != ERROR_IO_PENDING)
        return false;
    return GetOverlappedResult(h, &ov, &n, TRUE) != 0;
}

}  // namespace

intptr_t SerialPort::OpenDevice(uint32_t baud, const std::string& path) {
    std::lock_guard<std::mutex> lock(m_lock);
    CloseLocked();

    m_strDevice = path;
    m_hComm = -1;
    m_nLastError = ENOENT;
    if (path.empty())
        return -1;

    // No sharing: a COM port is exclusive anyway, and a second open of it,
    // here or in another program, fails with access denied.
    HANDLE h = CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                           FILE_FLAG_OVERLAPPED, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        m_nLastError = PortErrno(GetLastError());
        return -1;
    }
    m_fd = FromHandle(h);
    SetLastError(ERROR_SUCCESS);
    if (ConfigureLocked(baud) == 0) {
        const DWORD error = GetLastError();
        m_nLastError = baud == 0 || error == ERROR_SUCCESS ? EINVAL : PortErrno(error);
        CloseLocked();
        m_hComm = -1;
        return -1;
    }
    TouchLogFile();
    m_nLastError = 0;
    m_hComm = m_fd;
    return m_hComm;
}

int SerialPort::ConfigureLocked(uint32_t baud) {
    if (m_fd == -1 || baud == 0)
        return 0;
    const HANDLE h = ToHandle(m_fd);
    DCB dcb{};
    dcb.DCBlength = sizeof dcb;
    if (!GetCommState(h, &dcb))
        return 0;
    // 8N1 at exactly `baud` (the driver takes any integer it can make), binary,
    // no parity check, no flow control in either direction, no character
    // replaced or dropped: every byte arrives as sent.
    dcb.BaudRate = baud;
    dcb.ByteSize = 8;
    dcb.Parity = NOPARITY;
    dcb.StopBits = ONESTOPBIT;
    dcb.fBinary = TRUE;
    dcb.fParity = FALSE;
    dcb.fOutxCtsFlow = FALSE;
    dcb.fOutxDsrFlow = FALSE;
    dcb.fDtrControl = DTR_CONTROL_ENABLE;
    dcb.fDsrSensitivity = FALSE;
    dcb.fTXContinueOnXoff = TRUE;
    dcb.fOutX = FALSE;
    dcb.fInX = FALSE;
    dcb.fErrorChar = FALSE;
    dcb.fNull = FALSE;
    dcb.fRtsControl = RTS_CONTROL_ENABLE;
    dcb.fAbortOnError = FALSE;
    if (!SetCommState(h, &dcb))
        return 0;
    // A large driver queue (a hint the driver may round or ignore).
    (void)SetupComm(h, 1 << 20, 1 << 16);
    // A read returns at once with what is queued, even nothing; a write
    // waits for nothing here (Write bounds its own wait).
    COMMTIMEOUTS timeouts{};
    timeouts.ReadIntervalTimeout = MAXDWORD;
    timeouts.ReadTotalTimeoutMultiplier = 0;
    timeouts.ReadTotalTimeoutConstant = 0;
    timeouts.WriteTotalTimeoutMultiplier = 0;
    timeouts.WriteTotalTimeoutConstant = 0;
    if (!SetCommTimeouts(h, &timeouts))
        return 0;
    if (!SetCommMask(h, EV_RXCHAR))
        return 0;
    (void)PurgeComm(h, PURGE_RXCLEAR | PURGE_TXCLEAR);
    return 1;
}

void SerialPort::CloseLocked() {
    m_bBroken = false;
    if (m_fd == -1)
        return;
    // Closing ends a wait for data pending on another thread (it completes
    // as aborted and that thread's next read finds the port closed).
    CloseHandle(ToHandle(m_fd));
    m_fd = -1;
}

int SerialPort::Write(const uint8_t* data, uint32_t n, uint32_t& written, int timeoutMs) {
    written = 0;
    if (n == 0)
        return 0;
    OverlappedEvent op;
    HANDLE h;
    {
        std::lock_guard<std::mutex> lock(m_lock);
        if (m_fd == -1 || op.ov.hEvent == nullptr)
            return 1;
        h = ToHandle(m_fd);
        DWORD done = 0;
        if (WriteFile(h, data, n, &done, &op.ov)) {
            (void)GetOverlappedResult(h, &op.ov, &done, FALSE);
            written = done;
            return written == n ? 0 : 1;
        }
        if (GetLastError() != ERROR_IO_PENDING)
            return 1;
    }
    // The write is under way: wait for it without the lock, at most timeoutMs.
    if (WaitForSingleObject(op.ov.hEvent, static_cast<DWORD>(timeoutMs)) != WAIT_OBJECT_0) {
        std::lock_guard<std::mutex> lock(m_lock);
        if (m_fd != -1 && ToHandle(m_fd) == h)
            (void)CancelIoEx(h, &op.ov);
    }
    // The OVERLAPPED lives on this stack: wait until the system is done with it.
    (void)WaitForSingleObject(op.ov.hEvent, INFINITE);
    written = static_cast<uint32_t>(op.ov.InternalHigh);
    return written == n && op.ov.Internal == 0 ? 0 : 1;
}

int SerialPort::ReadAvailable(uint8_t* buffer, uint32_t wanted, uint32_t& read) {
    read = 0;
    std::lock_guard<std::mutex> lock(m_lock);
    if (m_fd == -1)
        return 1;
    if (wanted == 0)
        return 0;
    const HANDLE h = ToHandle(m_fd);
    // Errors on the line (framing, overrun) stop the driver's reads until they
    // are cleared; this also tells a device that has gone away, and how much
    // is queued.
    DWORD lineErrors = 0;
    COMSTAT stat{};
    if (!ClearCommError(h, &lineErrors, &stat)) {
        m_bBroken = true;
        return 1;
    }
    // Only what is queued is asked for. ReadIntervalTimeout at MAXDWORD makes
    // a read return at once with what is queued, but Wine's overlapped reads
    // wait for the first byte all the same: asking for nothing on an empty
    // queue never waits anywhere.
    const DWORD ask = stat.cbInQue < wanted ? stat.cbInQue : wanted;
    if (ask == 0)
        return 0;
    OverlappedEvent op;
    if (op.ov.hEvent == nullptr)
        return 1;
    DWORD n = 0;
    const BOOL started = ReadFile(h, buffer, ask, &n, &op.ov);
    if (!Finish(h, op.ov, started, n)) {
        m_bBroken = true;
        return 1;
    }
    read = n;
    return 0;
}

void SerialPort::Purge() {
    {
        std::lock_guard<std::mutex> lock(m_lock);
        if (m_fd != -1) {
            (void)PurgeComm(ToHandle(m_fd),
                            PURGE_RXCLEAR | PURGE_TXCLEAR | PURGE_RXABORT | PURGE_TXABORT);
            ++m_nPurges;
        }
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
}

int SerialPort::WaitForData(int timeoutMs, const CWakeEvent* wake, bool watchPort) {
    const HANDLE wakeHandle =
        wake != nullptr && wake->Handle() != -1 ? ToHandle(wake->Handle()) : nullptr;
    const DWORD timeout = timeoutMs < 0 ? INFINITE : static_cast<DWORD>(timeoutMs);
    // A signal already given wins over queued bytes, as on the other platform.
    if (wakeHandle != nullptr && WaitForSingleObject(wakeHandle, 0) == WAIT_OBJECT_0)
        return kWoken;
    if (!watchPort) {
        if (wakeHandle == nullptr) {
            std::this_thread::sleep_for(std::chrono::milliseconds(timeoutMs < 0 ? 0 : timeoutMs));
            return kTimedOut;
        }
        return WaitForSingleObject(wakeHandle, timeout) == WAIT_OBJECT_0 ? kWoken : kTimedOut;
    }

    // The system writes the event mask when the wait completes: like the
    // OVERLAPPED it must outlive the wait.
    OverlappedEvent op;
    DWORD mask = 0;
    HANDLE h;
    {
        std::lock_guard<std::mutex> lock(m_lock);
        if (m_fd == -1 || op.ov.hEvent == nullptr)
            return kDataReady;  // the read tells the caller
        h = ToHandle(m_fd);
        // EV_RXCHAR is raised only for bytes arriving after the wait starts:
        // bytes already queued end the wait here.
        COMSTAT stat{};
        DWORD lineErrors = 0;
        if (!ClearCommError(h, &lineErrors, &stat) || stat.cbInQue > 0)
            return kDataReady;
        if (WaitCommEvent(h, &mask, &op.ov))
            return kDataReady;
        if (GetLastError() != ERROR_IO_PENDING)
            return kDataReady;  // a failing port: the read reports it
    }
    // The lock is not held while waiting, so a Close on another thread goes
    // through at once (and completes this wait as aborted).
    const auto start = std::chrono::steady_clock::now();
    HANDLE handles[2] = {op.ov.hEvent, wakeHandle};
    const DWORD count = wakeHandle != nullptr ? 2 : 1;
    const DWORD r = WaitForMultipleObjects(count, handles, FALSE, timeout);
    int result = kTimedOut;
    if (r == WAIT_OBJECT_0)
        result = kDataReady;
    else if (r == WAIT_OBJECT_0 + 1)
        result = kWoken;
    if (result != kDataReady) {
        // Cancel the pending wait on this handle only if it is still the port's
        // (a Close meanwhile has ended it already).
        std::lock_guard<std::mutex> lock(m_lock);
        if (m_fd != -1 && ToHandle(m_fd) == h)
            (void)CancelIoEx(h, &op.ov);
    }
    // The OVERLAPPED lives on this stack: wait until the system is done with it.
    (void)WaitForSingleObject(op.ov.hEvent, INFINITE);
    if (result != kDataReady)
        return result;
    DWORD unused = 0;
    if (GetOverlappedResult(h, &op.ov, &unused, FALSE))
        return kDataReady;
    // The event wait ended with an error while the port is still open: a driver
    // without comm events (Wine on a pseudo-terminal aborts every such wait at
    // once). Watch the input queue instead, 1 ms apart, for the rest of the time.
    const auto deadline = start + std::chrono::milliseconds(timeoutMs < 0 ? 0 : timeoutMs);
    for (;;) {
        {
            std::lock_guard<std::mutex> lock(m_lock);
            if (m_fd == -1 || ToHandle(m_fd) != h)
                return kDataReady;  // closed meanwhile: the read tells the caller
            COMSTAT stat{};
            DWORD lineErrors = 0;
            if (!ClearCommError(h, &lineErrors, &stat) || stat.cbInQue > 0)
                return kDataReady;
        }
        if (timeoutMs >= 0 && std::chrono::steady_clock::now() >= deadline)
            return kTimedOut;
        if (wakeHandle != nullptr) {
            if (WaitForSingleObject(wakeHandle, 1) == WAIT_OBJECT_0)
                return kWoken;
        } else {
            Sleep(1);
        }
    }
}

bool SerialPort::LineErrorCounters(uint64_t& frame, uint64_t& parity, uint64_t& overrun,
                                   uint64_t& brk) {
    // Windows gives the line's error flags since the last ClearCommError, not
    // counters since the driver started: no counters to report.
    (void)frame;
    (void)parity;
    (void)overrun;
    (void)brk;
    return false;
}
