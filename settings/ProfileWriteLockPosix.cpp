#include "settings/ProfileWriteLock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>

ProfileWriteLock::ProfileWriteLock(const std::string& target) {
    const std::string name = target + ".lock";
    int fd = open(name.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
    if (fd < 0)
        fd = open(name.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        fd = open(target.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd >= 0)
        while (flock(fd, LOCK_EX) != 0 && errno == EINTR) {
        }
    m_handle = fd;
}

ProfileWriteLock::~ProfileWriteLock() {
    if (m_handle >= 0)
        close(static_cast<int>(m_handle));  // also lets the lock go
}
