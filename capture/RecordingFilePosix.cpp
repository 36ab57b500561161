#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "capture/RecordingFile.h"

namespace {

int Fd(long long handle) {
    return static_cast<int>(handle);
}

}  // namespace

CRecordingFile::~CRecordingFile() {
    Close();
}

int CRecordingFile::OpenForReading(const std::string& path) {
    Close();
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return errno;
    m_handle = fd;
    return 0;
}

int CRecordingFile::Create(const std::string& path) {
    Close();
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0)
        return errno;
    m_handle = fd;
    return 0;
}

size_t CRecordingFile::ReadAt(uint64_t offset, void* buf, size_t n, int& error) {
    auto* p = static_cast<uint8_t*>(buf);
    size_t done = 0;
    while (done < n) {
        const ssize_t r =
            ::pread(Fd(m_handle), p + done, n - done, static_cast<off_t>(offset + done));
        if (r > 0) {
            done += static_cast<size_t>(r);
        } else if (r == 0) {
            break;
        } else if (errno != EINTR) {
            error = errno;
            break;
        }
    }
    return done;
}

size_t CRecordingFile::Write(const uint8_t* data, size_t n, int& error) {
    size_t done = 0;
    while (done < n) {
        const ssize_t w = ::write(Fd(m_handle), data + done, n - done);
        if (w > 0) {
            done += static_cast<size_t>(w);
        } else if (w == 0) {
            error = EIO;
            break;
        } else if (errno != EINTR) {
            error = errno;
            break;
        }
    }
    return done;
}

void CRecordingFile::Truncate(uint64_t length) {
    while (::ftruncate(Fd(m_handle), static_cast<off_t>(length)) != 0 && errno == EINTR) {
    }
}

uint64_t CRecordingFile::Size(uint64_t fallback) const {
    struct stat st {};
    return ::fstat(Fd(m_handle), &st) == 0 ? static_cast<uint64_t>(st.st_size) : fallback;
}

void CRecordingFile::RemoveIfStillAt(const std::string& path) {
    struct stat opened {};
    struct stat named {};
    if (::fstat(Fd(m_handle), &opened) == 0 && S_ISREG(opened.st_mode) &&
        ::stat(path.c_str(), &named) == 0 && named.st_dev == opened.st_dev &&
        named.st_ino == opened.st_ino) {
        ::unlink(path.c_str());
    }
}

int CRecordingFile::Close() {
    if (m_handle == -1)
        return 0;
    // Linux closes the descriptor even when close reports EINTR.
    const int error = ::close(Fd(m_handle)) != 0 && errno != EINTR ? errno : 0;
    m_handle = -1;
    return error;
}
