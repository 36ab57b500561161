#include "serial/PseudoTerminal.h"

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

void SetError(std::string* error, const std::string& what) {
    if (error) {
        *error = what;
    }
}

std::string ErrnoText(const std::string& what) {
    return what + ": " + std::strerror(errno);
}

bool MakeRaw(int fd) {
    termios t{};
    if (tcgetattr(fd, &t) != 0) {
        return false;
    }
    cfmakeraw(&t);
    t.c_cc[VMIN] = 1;
    t.c_cc[VTIME] = 0;
    return tcsetattr(fd, TCSANOW, &t) == 0;
}

bool SetFlag(int fd, int getCmd, int setCmd, int flag) {
    const int flags = fcntl(fd, getCmd);
    return flags >= 0 && fcntl(fd, setCmd, flags | flag) == 0;
}

int MillisecondsLeft(Clock::time_point deadline) {
    // Rounded up, so a wait never ends before the deadline.
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return left > 0 ? static_cast<int>(left) : 0;
}

}  // namespace

CPseudoTerminal::~CPseudoTerminal() {
    Close();
}

bool CPseudoTerminal::Open(std::string* error) {
    if (IsOpen()) {
        SetError(error, "pseudo-terminal already open");
        return false;
    }
    int master = -1;
    int slave = -1;
    if (openpty(&master, &slave, nullptr, nullptr, nullptr) != 0) {
        SetError(error, ErrnoText("openpty failed"));
        return false;
    }
    master_ = master;
    slave_ = slave;
    // Linux applies termios calls on the master to the slave's settings anyway;
    // setting both ends keeps systems that treat them apart raw as well.
    if (!MakeRaw(slave_) || !MakeRaw(master_)) {
        SetError(error, ErrnoText("cannot make the pseudo-terminal raw"));
        Close();
        return false;
    }
    if (!SetFlag(master_, F_GETFD, F_SETFD, FD_CLOEXEC) ||
        !SetFlag(slave_, F_GETFD, F_SETFD, FD_CLOEXEC) ||
        !SetFlag(master_, F_GETFL, F_SETFL, O_NONBLOCK)) {
        SetError(error, ErrnoText("fcntl failed on the pseudo-terminal"));
        Close();
        return false;
    }
    char name[128] = {};
    if (ttyname_r(slave_, name, sizeof name) != 0) {
        SetError(error, "cannot get the pseudo-terminal's device name");
        Close();
        return false;
    }
    path_ = name;
    return true;
}

void CPseudoTerminal::Close() {
    RemoveLink();
    if (master_ >= 0) {
        ::close(master_);
        master_ = -1;
    }
    if (slave_ >= 0) {
        ::close(slave_);
        slave_ = -1;
    }
    path_.clear();
}

bool CPseudoTerminal::WriteAll(const void* data, size_t n, int timeoutMs) {
    if (!IsOpen()) {
        return false;
    }
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    const auto* p = static_cast<const unsigned char*>(data);
    while (n > 0) {
        const ssize_t w = ::write(master_, p, n);
        if (w > 0) {
            p += w;
            n -= static_cast<size_t>(w);
            continue;
        }
        if (w < 0 && errno == EINTR) {
            continue;
        }
        if (w < 0 && errno != EAGAIN && errno != EWOULDBLOCK) {
            return false;
        }
        const int left = MillisecondsLeft(deadline);
        if (left == 0) {
            return false;
        }
        // Short poll slices: a missed wake-up costs at most 10 ms, not the
        // whole time-out.
        pollfd pfd{master_, POLLOUT, 0};
        if (::poll(&pfd, 1, std::min(left, 10)) < 0 && errno != EINTR) {
            return false;
        }
    }
    return true;
}

size_t CPseudoTerminal::WriteUntil(const void* data, size_t n,
                                   const std::function<bool()>& stopped) {
    constexpr auto kSlice = std::chrono::milliseconds(10);
    const auto* p = static_cast<const unsigned char*>(data);
    size_t done = 0;
    while (done < n && !stopped()) {
        done += WriteSome(p + done, n - done);
        if (done == n) {
            break;
        }
        pollfd pfd{master_, POLLOUT, 0};
        if (::poll(&pfd, 1, static_cast<int>(kSlice.count())) > 0 &&
            (pfd.revents & (POLLERR | POLLHUP | POLLNVAL)) != 0) {
            // A broken line never takes data again; don't spin on it.
            std::this_thread::sleep_for(kSlice);
        }
    }
    return done;
}

size_t CPseudoTerminal::WriteSome(const void* data, size_t n) {
    if (!IsOpen()) {
        return 0;
    }
    const auto* p = static_cast<const unsigned char*>(data);
    size_t done = 0;
    while (done < n) {
        const ssize_t w = ::write(master_, p + done, n - done);
        if (w > 0) {
            done += static_cast<size_t>(w);
        } else if (!(w < 0 && errno == EINTR)) {
            break;  // EAGAIN: the line is full for now.
        }
    }
    return done;
}

size_t CPseudoTerminal::QueuedForHost() const {
    int queued = 0;
    if (slave_ < 0 || ::ioctl(slave_, FIONREAD, &queued) != 0 || queued < 0) {
        return 0;
    }
    return static_cast<size_t>(queued);
}

bool CPseudoTerminal::WaitQueued(size_t n, int timeoutMs) {
    const size_t want = std::min(n, kMaxReportedQueue);
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    // Data written to the master reaches the host's buffer through a kernel
    // work queue, so it has to be polled for.
    while (QueuedForHost() < want) {
        if (!IsOpen() || Clock::now() >= deadline) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

size_t CPseudoTerminal::ReadFromHost(void* buf, size_t n, int timeoutMs) {
    if (!IsOpen() || n == 0) {
        return 0;
    }
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        const ssize_t r = ::read(master_, buf, n);
        if (r > 0) {
            return static_cast<size_t>(r);
        }
        if (r < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR) {
            return 0;
        }
        const int left = MillisecondsLeft(deadline);
        if (left == 0) {
            return 0;
        }
        pollfd pfd{master_, POLLIN, 0};
        if (::poll(&pfd, 1, std::min(left, 10)) < 0 && errno != EINTR) {
            return 0;
        }
    }
}

bool CPseudoTerminal::MakeLink(const std::string& path, std::string* error) {
    if (!IsOpen()) {
        SetError(error, "pseudo-terminal not open");
        return false;
    }
    if (path.empty()) {
        SetError(error, "empty link path");
        return false;
    }
    struct stat st {};
    if (::lstat(path.c_str(), &st) == 0) {
        if (!S_ISLNK(st.st_mode)) {
            SetError(error, path + " exists and is not a symbolic link; not replacing it");
            return false;
        }
        if (::unlink(path.c_str()) != 0) {
            SetError(error, ErrnoText("cannot remove the old link " + path));
            return false;
        }
    } else if (errno != ENOENT) {
        SetError(error, ErrnoText("cannot check " + path));
        return false;
    }
    if (path != link_) {
        RemoveLink();
    }
    if (::symlink(path_.c_str(), path.c_str()) != 0) {
        SetError(error, ErrnoText("cannot create the link " + path));
        link_.clear();
        return false;
    }
    link_ = path;
    return true;
}

void CPseudoTerminal::RemoveLink() {
    if (link_.empty()) {
        return;
    }
    // Only remove the link if it is still ours: someone may have replaced it.
    std::vector<char> target(path_.size() + 2);
    const ssize_t len = ::readlink(link_.c_str(), target.data(), target.size());
    if (len >= 0 && std::string(target.data(), static_cast<size_t>(len)) == path_) {
        ::unlink(link_.c_str());
    }
    link_.clear();
}
