// A pseudo-terminal standing in for a serial device: the simulator's board,
// the tests' boards and a replayed recording all write into one.
#pragma once

#include <cstddef>
#include <functional>
#include <string>

// The board's end of a simulated serial line: a raw pseudo-terminal whose
// slave device (/dev/pts/N) is what the host program opens as its port.
//
// Both ends are raw (no echo, no CR/LF translation, no XON/XOFF, 8 bits), so
// every byte value passes unchanged. The slave is kept open for the object's
// whole life: Linux resets a pty's settings when the slave's last descriptor
// closes, and data written to the master must stay queued until the host
// opens the device. The master is non-blocking; WriteAll waits with poll.
//
// Not thread-safe, except that one thread may write while another calls
// QueuedForHost or WaitQueued.
class CPseudoTerminal {
public:
    // The kernel never reports more than this many bytes queued on the host
    // side (the line discipline's read buffer, less one).
    static constexpr size_t kMaxReportedQueue = 4095;

    CPseudoTerminal() = default;
    ~CPseudoTerminal();
    CPseudoTerminal(const CPseudoTerminal&) = delete;
    CPseudoTerminal& operator=(const CPseudoTerminal&) = delete;

    // Creates the pseudo-terminal. False (with a reason in *error) on failure
    // or when already open.
    bool Open(std::string* error = nullptr);
    // Removes the link, if any, and closes both ends. Safe to call twice.
    void Close();
    bool IsOpen() const { return master_ >= 0; }

    // The device path the host opens, e.g. "/dev/pts/3"; empty when closed.
    const std::string& DevicePath() const { return path_; }
    int MasterFd() const { return master_; }

    // Writes all n bytes, waiting while the line is full. False on error,
    // when closed, or when the line stayed full for timeoutMs.
    bool WriteAll(const void* data, size_t n, int timeoutMs = 5000);
    // Writes the n bytes, waiting while the line is full, until `stopped`
    // says to give up (asked before each write and at least every 10 ms
    // while waiting). Returns the bytes written: n, or fewer when stopped.
    size_t WriteUntil(const void* data, size_t n, const std::function<bool()>& stopped);
    // Writes what the line takes right now without waiting and returns that
    // count; on a real UART the rest would be lost. 0 on error.
    size_t WriteSome(const void* data, size_t n);

    // Bytes queued for the host to read (at most kMaxReportedQueue).
    size_t QueuedForHost() const;
    // Waits until at least min(n, kMaxReportedQueue) bytes are queued for the
    // host. False on time-out.
    bool WaitQueued(size_t n, int timeoutMs);

    // Reads bytes the host wrote to the line, waiting at most timeoutMs for
    // the first one. Returns the count read (0 on time-out or error).
    size_t ReadFromHost(void* buf, size_t n, int timeoutMs);

    // Creates a symlink at path pointing to DevicePath(), replacing an existing
    // symlink but never a regular file or directory. The link is removed again
    // by Close. Only one link at a time: a second call moves it.
    bool MakeLink(const std::string& path, std::string* error = nullptr);
    const std::string& LinkPath() const { return link_; }

private:
    void RemoveLink();

    int master_ = -1;
    int slave_ = -1;
    std::string path_;
    std::string link_;
};
