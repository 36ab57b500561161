// The one serial port over which the camera board streams its frames.
// Receive only: nothing is ever written to the line.
#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>

class CWakeEvent;

class SerialPort {
public:
    SerialPort();
    // Destroying the wrapper does not close the port; the owner closes it.
    virtual ~SerialPort();

    // Opens port `port` (COM<port>, see PortDevicePath) at `baud` bits per second,
    // 8N1, raw, exclusively. Returns the handle (a file descriptor here) or -1.
    intptr_t Open(uint32_t baud, int port);
    // The same for a device file named directly (a replay's pseudo-terminal).
    intptr_t OpenDevice(uint32_t baud, const std::string& path);
    // Applies the line settings to the open device: 1 on success, 0 on failure.
    int Configure(uint32_t baud);
    // Closes the device: nonzero when it was closed. m_hComm keeps its value.
    int Close();
    // Reads what is queued, at most `wanted` bytes, without waiting for the line.
    // 0 on success (also when nothing was queued), 1 on a read failure (read = 0).
    int ReadAvailable(uint8_t* buffer, uint32_t wanted, uint32_t& read);
    // Writes `n` bytes to the board (a request, a command), waiting at most
    // `timeoutMs` in all for room in the line's queue. 0 when all went, 1
    // otherwise (written tells how many did).
    int Write(const uint8_t* data, uint32_t n, uint32_t& written, int timeoutMs = 500);
    // The UART's error counters since the driver started counting (framing,
    // parity, overrun, break), as TIOCGICOUNT gives them. False where the
    // driver keeps none (pseudo-terminals, many USB adapters) or when closed.
    bool LineErrorCounters(uint64_t& frame, uint64_t& parity, uint64_t& overrun, uint64_t& brk);
    // Discards everything queued in both directions, then pauses 50 ms.
    void Purge();
    // How many purges have discarded the open device's queues so far: a
    // replay writes its first bytes only once a starting capture has purged
    // the line, or the purge would take them. Any thread.
    uint64_t PurgeCount() const { return m_nPurges.load(); }
    // Closes the port if a read found its device gone or failing (hung up,
    // unplugged, a read error): 1 when it did. A port closed and opened
    // again since then is left alone.
    int CloseIfBroken();

    enum WaitResult { kTimedOut = 0, kDataReady = 1, kWoken = 2 };
    // Waits at most `timeoutMs` until bytes are queued (or the port has
    // failed or is closed, which the next read reports), or `wake` (may be
    // null) is signalled. With watchPort false only the wake and the time-out
    // end the wait. Reads nothing; a signal is left for the caller to clear.
    int WaitForData(int timeoutMs, const CWakeEvent* wake, bool watchPort = true);

    // 0 after construction, -1 after a failed Open, the descriptor after a good one.
    intptr_t m_hComm;
    // Why the last Open failed: the system's error number (EBUSY when the
    // device is held by another program, EINVAL for baud 0); 0 after a good one.
    // On Windows the system's error is given as the number whose reason fits
    // (access denied: EBUSY, file not found: ENOENT).
    int m_nLastError = 0;
    // The device file the last Open tried.
    std::string m_strDevice;

private:
    int ConfigureLocked(uint32_t baud);
    void CloseLocked();

    // Serialises every operation on the descriptor, Close included, so that a
    // Close on one thread never lets a read on another use a recycled number.
    std::mutex m_lock;
    // The descriptor while open (on Windows the port's HANDLE, which fits in
    // 32 bits), -1 otherwise.
    int m_fd = -1;
    bool m_bBroken = false;  // a read on m_fd failed
    std::atomic<uint64_t> m_nPurges{0};
};
