// The writers' advisory lock on one settings file, held while it lives: on
// "<file>.lock" beside it, or on the file itself where no lock file can be
// had (a read-only folder, where the file is rewritten in place). One source
// file per system (ProfileWriteLockPosix.cpp, ProfileWriteLockWin32.cpp).
#pragma once

#include <string>

class ProfileWriteLock {
public:
    explicit ProfileWriteLock(const std::string& target);
    ~ProfileWriteLock();
    ProfileWriteLock(const ProfileWriteLock&) = delete;
    ProfileWriteLock& operator=(const ProfileWriteLock&) = delete;

private:
    // A descriptor on POSIX, a HANDLE's bits on Windows; -1 when none.
    long long m_handle = -1;
};
