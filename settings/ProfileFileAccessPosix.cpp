#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <vector>

#include "settings/ProfileFileAccess.h"

namespace {

std::string FolderOf(const std::string& path) {
    const size_t slash = path.rfind('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

int WriteAllTo(int fd, const std::string& bytes) {
    size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return n < 0 ? errno : EIO;
        done += static_cast<size_t>(n);
    }
    return 0;
}

}  // namespace

bool FileExists(const std::string& path) {
    return access(path.c_str(), F_OK) == 0;
}

bool FileReadable(const std::string& path) {
    return access(path.c_str(), R_OK) == 0;
}

std::string WriteTarget(const std::string& path) {
    std::string p = path;
    for (int i = 0; i < 16; ++i) {
        struct stat st {};
        if (lstat(p.c_str(), &st) != 0 || !S_ISLNK(st.st_mode))
            break;
        std::vector<char> buf(static_cast<size_t>(st.st_size > 0 ? st.st_size : 255) + 1);
        const ssize_t n = readlink(p.c_str(), buf.data(), buf.size());
        if (n <= 0 || static_cast<size_t>(n) >= buf.size())
            break;
        std::string link(buf.data(), static_cast<size_t>(n));
        const size_t slash = p.rfind('/');
        if (link[0] != '/' && slash != std::string::npos)
            link = p.substr(0, slash + 1) + link;
        p = link;
    }
    return p;
}

int ReplaceWholeFile(const std::string& target, const std::string& bytes) {
    struct stat old {};
    const bool present = stat(target.c_str(), &old) == 0;
    static std::atomic<unsigned> counter{0};
    std::string temp;
    int fd = -1;
    for (int attempt = 0; fd < 0 && attempt < 100; ++attempt) {
        temp = target + ".tmp." + std::to_string(getpid()) + "." + std::to_string(counter++);
        fd = open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0 && errno != EEXIST)
            return errno;
    }
    if (fd < 0)
        return EEXIST;
    // The file keeps its mode (a private file stays private).
    if (present)
        (void)fchmod(fd, old.st_mode & 07777);
    int error = WriteAllTo(fd, bytes);
    if (close(fd) != 0 && error == 0)
        error = errno;
    if (error == 0 && rename(temp.c_str(), target.c_str()) != 0)
        error = errno;
    if (error != 0)
        unlink(temp.c_str());
    return error;
}

int RewriteInPlace(const std::string& target, const std::string& bytes) {
    const int fd = open(target.c_str(), O_WRONLY | O_CLOEXEC);
    if (fd < 0)
        return errno;
    int error = bytes.empty() ? 0 : posix_fallocate(fd, 0, static_cast<off_t>(bytes.size()));
    if (error == EOPNOTSUPP || error == EINVAL)
        error = 0;  // the file system cannot reserve: write and see
    if (error == 0)
        error = WriteAllTo(fd, bytes);
    if (error == 0 && ftruncate(fd, static_cast<off_t>(bytes.size())) != 0)
        error = errno;
    if (close(fd) != 0 && error == 0)
        error = errno;
    return error;
}

int WriteCheck(const std::string& target) {
    struct stat st {};
    const bool exists = stat(target.c_str(), &st) == 0;
    if (!exists && errno != ENOENT)
        return errno;  // e.g. a file where a folder belongs
    if (exists && S_ISDIR(st.st_mode))
        return EISDIR;
    if (!exists) {
        struct stat folder {};
        if (stat(FolderOf(target).c_str(), &folder) != 0)
            return errno;  // no folder: nothing is created
        if (!S_ISDIR(folder.st_mode))
            return ENOTDIR;
        if (access(FolderOf(target).c_str(), W_OK | X_OK) != 0)
            return errno;  // the file cannot be created
    }
    // A file the user made read-only stays as it is, also for root; one that
    // belongs to somebody else and may not be written is not replaced either.
    if (exists && (st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0)
        return kReadOnlyFile;
    if (exists && access(target.c_str(), W_OK) != 0)
        return errno;
    return 0;
}

void MakeFolders(const std::string& path) {
    for (size_t slash = path.find('/', 1); slash != std::string::npos;
         slash = path.find('/', slash + 1))
        mkdir(path.substr(0, slash).c_str(), 0700);
}

bool IsDiskFullError(int error) {
    return error == ENOSPC || IsQuotaExceededError(error);
}

bool IsQuotaExceededError(int error) {
    return error == EDQUOT;
}
