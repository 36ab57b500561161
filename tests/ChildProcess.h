// Pieces of a test run in other processes: a program of the project run with
// its output in files, and forked children running as an unprivileged user
// or as another program holding a device.
#pragma once

#include <fcntl.h>
#include <grp.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <functional>
#include <string>
#include <vector>

extern char** environ;

#include "serial/SerialPort.h"

// Starts `program` with `args`, its standard output and error into the files
// `out` and `err` (or /dev/null when empty), in the folder `dir` (empty: this
// one). posix_spawn, not a fork of a test that runs threads. -1 on failure.
inline pid_t SpawnProgram(const std::string& program, std::vector<std::string> args,
                          const std::string& out = "", const std::string& err = "",
                          const std::string& dir = "") {
    args.insert(args.begin(), program);
    std::vector<char*> argv;
    for (auto& a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, out.empty() ? "/dev/null" : out.c_str(),
                                     O_WRONLY | O_CREAT | O_TRUNC, 0600);
    posix_spawn_file_actions_addopen(&actions, 2, err.empty() ? "/dev/null" : err.c_str(),
                                     O_WRONLY | O_CREAT | O_TRUNC, 0600);
    // The child's folder: changed around the spawn (no other thread of a
    // test changes it meanwhile).
    char here[4096];
    const bool moved = !dir.empty() && getcwd(here, sizeof here) != nullptr;
    if (moved && chdir(dir.c_str()) != 0)
        return -1;
    pid_t pid = -1;
    if (posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), environ) != 0)
        pid = -1;
    if (moved)
        (void)!chdir(here);
    posix_spawn_file_actions_destroy(&actions);
    return pid;
}

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
