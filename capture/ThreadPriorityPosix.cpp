#include "capture/ThreadPriority.h"

#include <pthread.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>

void RaiseThreadPriority() {
    rlimit limit{};
    if (getrlimit(RLIMIT_NICE, &limit) != 0)
        return;
    // RLIMIT_NICE n allows nice values down to 20 - n.
    long floor = 20 - static_cast<long>(limit.rlim_cur == RLIM_INFINITY ? 40 : limit.rlim_cur);
    if (floor < -20)
        floor = -20;
    const pid_t tid = static_cast<pid_t>(syscall(SYS_gettid));
    errno = 0;
    const int current = getpriority(PRIO_PROCESS, static_cast<id_t>(tid));
    if (errno != 0 || floor >= current)
        return;
    (void)setpriority(PRIO_PROCESS, static_cast<id_t>(tid), static_cast<int>(floor));
}

void NameThisThread(const char* name) {
    (void)pthread_setname_np(pthread_self(), name);
}
