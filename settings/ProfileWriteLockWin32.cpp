#include <windows.h>

#include <filesystem>

#include "settings/ProfileWriteLock.h"

namespace {

HANDLE Open(const std::string& path, DWORD access, DWORD disposition) {
    const std::wstring wide = std::filesystem::u8path(path).wstring();
    return CreateFileW(wide.c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                       nullptr, disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
}

// Windows' byte-range locks are binding on every reader and writer, so the
// lock covers one byte far past any settings file's end, never its contents.
OVERLAPPED LockedByte() {
    OVERLAPPED at{};
    at.Offset = 0;
    at.OffsetHigh = 0x7FFFFFFF;
    return at;
}

}  // namespace

ProfileWriteLock::ProfileWriteLock(const std::string& target) {
    const std::string name = target + ".lock";
    HANDLE h = Open(name, GENERIC_READ | GENERIC_WRITE, OPEN_ALWAYS);
    if (h == INVALID_HANDLE_VALUE)
        h = Open(name, GENERIC_READ, OPEN_EXISTING);
    if (h == INVALID_HANDLE_VALUE)
        h = Open(target, GENERIC_READ, OPEN_EXISTING);
    if (h == INVALID_HANDLE_VALUE)
        return;
    OVERLAPPED at = LockedByte();
    (void)LockFileEx(h, LOCKFILE_EXCLUSIVE_LOCK, 0, 1, 0, &at);
    m_handle = reinterpret_cast<long long>(h);
}

ProfileWriteLock::~ProfileWriteLock() {
    if (m_handle == -1)
        return;
    HANDLE h = reinterpret_cast<HANDLE>(m_handle);
    OVERLAPPED at = LockedByte();
    (void)UnlockFileEx(h, 0, 1, 0, &at);
    CloseHandle(h);
}
