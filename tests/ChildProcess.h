// Pieces of a test run in forked children: as an unprivileged user, or as
// another program holding a device.
#pragma once

#include <fcntl.h>
#include <grp.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <functional>
#include <string>

#include "serial/SerialPort.h"

// Runs `f` in a child process (as the unprivileged user 65534 when asked and
// this one is root) and returns what it returned; "setuid failed" when the
// user could not be changed.
inline std::string InChild(bool unprivileged, const std::function<std::string()>& f) {
    int out[2];
    if (pipe(out) != 0)
        return "pipe failed";
    const pid_t pid = fork();
    if (pid == 0) {
        close(out[0]);
        std::string text;
        if (unprivileged && geteuid() == 0 &&
            (setgroups(0, nullptr) != 0 || setresgid(65534, 65534, 65534) != 0 ||
             setresuid(65534, 65534, 65534) != 0))
            text = "setuid failed";
        else
            text = f();
        _exit(write(out[1], text.data(), text.size()) == static_cast<ssize_t>(text.size()) ? 0 : 1);
    }
    close(out[1]);
    std::string text;
    char buf[512];
    for (ssize_t n; (n = read(out[0], buf, sizeof buf)) > 0;)
        text.append(buf, static_cast<size_t>(n));
    close(out[0]);
    waitpid(pid, nullptr, 0);
    return text;
}

// The program name /proc gives a process: the test's own, or valgrind's
// tool's under valgrind.
inline std::string ProcessName(pid_t pid) {
    std::ifstream comm("/proc/" + std::to_string(pid) + "/comm");
    std::string name;
    std::getline(comm, name);
    return name;
}

// A child holding `device` as another program would: locked as this program
// locks a port, or plainly open. It lets go of `boardEnd` first, the
// board's end of the line it inherited from the test. Held until the object
// goes, 20 s at most (a failed test leaves no child behind).
class CHoldingChild {
public:
    CHoldingChild(const std::string& device, int boardEnd, bool locked = true) {
        int ready[2];
        if (pipe(ready) != 0 || pipe(m_done) != 0)
            return;
        m_pid = fork();
        if (m_pid == 0) {
            alarm(20);
            close(boardEnd);
            close(m_done[1]);
            SerialPort port;
            const bool held = locked ? port.OpenDevice(115200, device) > 2
                                     : ::open(device.c_str(), O_RDONLY | O_NOCTTY) >= 0;
            const char c = held ? 'y' : 'n';
            char end;
            (void)!write(ready[1], &c, 1);
            (void)!read(m_done[0], &end, 1);  // until the test lets go
            _exit(0);
        }
        close(ready[1]);
        char c = 0;
        m_held = read(ready[0], &c, 1) == 1 && c == 'y';
        close(ready[0]);
        close(m_done[0]);
    }
    ~CHoldingChild() {
        if (m_pid <= 0)
            return;
        close(m_done[1]);
        waitpid(m_pid, nullptr, 0);
    }
    CHoldingChild(const CHoldingChild&) = delete;
    CHoldingChild& operator=(const CHoldingChild&) = delete;

    bool Held() const { return m_held; }
    pid_t Pid() const { return m_pid; }
    // "name（进程号 pid）", as the program names a holder.
    std::string Named() const {
        return ProcessName(m_pid) + "（进程号 " + std::to_string(m_pid) + "）";
    }

private:
    int m_done[2] = {-1, -1};
    pid_t m_pid = -1;
    bool m_held = false;
};
