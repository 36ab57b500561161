// Runs a piece of a test in a forked child, optionally as an unprivileged
// user, and hands back what it returned.
#pragma once

#include <grp.h>
#include <sys/wait.h>
#include <unistd.h>

#include <functional>
#include <string>

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
