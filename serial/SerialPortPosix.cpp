#include "serial/SerialPort.h"

// termios2 (any integer baud rate) lives in the kernel's header, which clashes
// with <termios.h>; this file therefore talks to the tty through ioctl only.
#include <asm/termbits.h>
#include <fcntl.h>
#include <linux/serial.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <string>
#include <thread>

#include "serial/WakeEvent.h"

namespace {

// Keeps descriptors 0..2 free for the standard streams: a port handle of 0 would
// read as failure to callers that treat 0 and -1 alike.
int MoveAboveStdStreams(int fd) {
    if (fd > 2)
        return fd;
    const int moved = fcntl(fd, F_DUPFD_CLOEXEC, 3);
    ::close(fd);
    return moved;
}

}  // namespace

intptr_t SerialPort::OpenDevice(uint32_t baud, const std::string& path) {
    std::lock_guard<std::mutex> lock(m_lock);
    // A second Open on this wrapper replaces the first descriptor instead of
    // leaking it (and keeping its device locked) for the rest of the run.
    CloseLocked();

    m_strDevice = path;
    m_hComm = -1;
    m_nLastError = ENOENT;
    if (path.empty())
        return -1;

    int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        m_nLastError = errno;  // TIOCEXCL held by another program gives EBUSY
        return -1;
    }
    fd = MoveAboveStdStreams(fd);
    if (fd < 0) {
        m_nLastError = errno;
        return -1;
    }
    // Exclusive access: flock stops every other open that asks (root included),
    // TIOCEXCL stops plain opens of the tty by unprivileged programs.
    if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
        m_nLastError = errno == EWOULDBLOCK ? EBUSY : errno;
        ::close(fd);
        return -1;
    }
    m_fd = fd;
    errno = 0;
    if (ConfigureLocked(baud) == 0) {
        m_nLastError = baud == 0 ? EINVAL : (errno != 0 ? errno : EINVAL);
        CloseLocked();
        m_hComm = -1;
        return -1;
    }
    (void)ioctl(fd, TIOCEXCL);
    // The empty D:\log.raw of an open is the Windows build's (SerialPortWin32.cpp):
    // Linux has no drive letters, the case of a missing drive D:, and creates nothing.
    m_nLastError = 0;
    m_hComm = fd;
    return m_hComm;
}

int SerialPort::ConfigureLocked(uint32_t baud) {
    // Baud 0 would hang up the line on Linux; it is no rate.
    if (m_fd < 0 || baud == 0)
        return 0;
    struct termios2 tio {};
    if (ioctl(m_fd, TCGETS2, &tio) != 0)
        return 0;
    // 8N1 at exactly `baud`, receiver on, modem lines ignored, no flow control.
    tio.c_cflag &= ~(CBAUD | (CBAUD << IBSHIFT) | CSIZE | PARENB | PARODD | CSTOPB | CRTSCTS);
    tio.c_cflag |= BOTHER | (BOTHER << IBSHIFT) | CS8 | CREAD | CLOCAL;
    tio.c_ispeed = baud;
    tio.c_ospeed = baud;
    // A binary line: no parity check, no CR/LF translation, no XON/XOFF, no
    // stripping, no echo, no signals, no line editing. Every byte arrives as sent
    // and nothing goes back to the board.
    tio.c_iflag &= ~(IGNBRK | BRKINT | PARMRK | INPCK | ISTRIP | INLCR | IGNCR | ICRNL | IUCLC |
                     IXON | IXOFF | IXANY | IMAXBEL);
    tio.c_oflag &= ~OPOST;
    tio.c_lflag &= ~(ECHO | ECHOE | ECHOK | ECHONL | ECHOCTL | ECHOKE | ICANON | ISIG | IEXTEN);
    tio.c_cc[VMIN] = 0;
    tio.c_cc[VTIME] = 0;
    if (ioctl(m_fd, TCSETS2, &tio) != 0)
        return 0;
    // The kernel keeps its own input queue (no size to request here); whatever it
    // holds from before is discarded.
    (void)ioctl(m_fd, TCFLSH, TCIOFLUSH);
    return 1;
}

void SerialPort::CloseLocked() {
    m_bBroken = false;
    if (m_fd < 0)
        return;
    (void)ioctl(m_fd, TIOCNXCL);
    ::close(m_fd);  // also drops the flock
    m_fd = -1;
}

int SerialPort::Write(const uint8_t* data, uint32_t n, uint32_t& written, int timeoutMs) {
    written = 0;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (written < n) {
        int fd;
        {
            std::lock_guard<std::mutex> lock(m_lock);
            fd = m_fd;
            if (fd < 0)
                return 1;
            const ssize_t w = ::write(fd, data + written, n - written);
            if (w > 0) {
                written += static_cast<uint32_t>(w);
                continue;
            }
            if (w < 0 && errno == EINTR)
                continue;
            if (w < 0 && errno != EAGAIN && errno != EWOULDBLOCK)
                return 1;
        }
        // The queue is full: wait for room, never holding the lock meanwhile.
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0)
            return 1;
        pollfd pfd{fd, POLLOUT, 0};
        ::poll(&pfd, 1, static_cast<int>(std::min<long long>(left.count(), 50)));
    }
    return 0;
}

int SerialPort::ReadAvailable(uint8_t* buffer, uint32_t wanted, uint32_t& read) {
    read = 0;
    std::lock_guard<std::mutex> lock(m_lock);
    if (m_fd < 0)
        return 1;
    // One read() returns at most what the line discipline holds (4095 bytes),
    // while more may wait in the kernel behind it: read until the wanted count
    // is reached or nothing more is queued.
    uint32_t got = 0;
    while (got < wanted) {
        const ssize_t n = ::read(m_fd, buffer + got, wanted - got);
        if (n > 0) {
            got += static_cast<uint32_t>(n);
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK) {
            m_bBroken = true;
            return 1;
        }
        break;  // nothing more queued
    }
    if (got == 0 && wanted > 0) {
        // A hung-up tty (USB adapter unplugged) reads as empty forever; poll
        // tells it apart from a quiet line.
        pollfd p{m_fd, POLLIN, 0};
        if (poll(&p, 1, 0) > 0 && (p.revents & (POLLHUP | POLLERR | POLLNVAL)) != 0) {
            m_bBroken = true;
            return 1;
        }
    }
    read = got;
    return 0;
}

void SerialPort::Purge() {
    {
        std::lock_guard<std::mutex> lock(m_lock);
        if (m_fd >= 0) {
            (void)ioctl(m_fd, TCFLSH, TCIOFLUSH);
            ++m_nPurges;
        }
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
}

int SerialPort::WaitForData(int timeoutMs, const CWakeEvent* wake, bool watchPort) {
    int fd = -1;
    if (watchPort) {
        std::lock_guard<std::mutex> lock(m_lock);
        if (m_fd < 0)
            return kDataReady;  // the read tells the caller
        fd = m_fd;
    }
    // The lock is not held while waiting, so a Close on another thread goes
    // through at once. Polling a number closed meanwhile gives POLLNVAL (the
    // read then fails), or a number reused meanwhile gives at worst an early
    // wake-up: either way the next read, under the lock, finds the port closed.
    pollfd fds[2];
    nfds_t n = 0;
    if (fd >= 0)
        fds[n++] = pollfd{fd, POLLIN, 0};
    const int wakeFd = wake != nullptr ? wake->Handle() : -1;
    if (wakeFd >= 0)
        fds[n++] = pollfd{wakeFd, POLLIN, 0};
    const int ready = ::poll(fds, n, timeoutMs);
    if (ready <= 0)
        return kTimedOut;  // also EINTR: the caller waits again
    if (wakeFd >= 0 && (fds[n - 1].revents & POLLIN) != 0)
        return kWoken;
    return kDataReady;
}

bool SerialPort::LineErrorCounters(uint64_t& frame, uint64_t& parity, uint64_t& overrun,
                                   uint64_t& brk) {
    std::lock_guard<std::mutex> lock(m_lock);
    serial_icounter_struct counts{};
    if (m_fd < 0 || ioctl(m_fd, TIOCGICOUNT, &counts) != 0)
        return false;
    frame = static_cast<uint64_t>(counts.frame);
    parity = static_cast<uint64_t>(counts.parity);
    overrun = static_cast<uint64_t>(counts.overrun);
    brk = static_cast<uint64_t>(counts.brk);
    return true;
}
