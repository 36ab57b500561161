#include <windows.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>

#include "capture/RecordingFile.h"
#include "settings/Win32Errors.h"

namespace {

HANDLE H(long long handle) {
    return reinterpret_cast<HANDLE>(handle);
}

std::wstring Wide(const std::string& path) {
    return std::filesystem::u8path(path).wstring();
}

// One call reads or writes at most this much.
constexpr size_t kMaxChunk = 1u << 30;

}  // namespace

CRecordingFile::~CRecordingFile() {
    Close();
}

int CRecordingFile::OpenForReading(const std::string& path) {
    Close();
    // A recording still being written by another program may be read.
    const HANDLE h = CreateFileW(Wide(path).c_str(), GENERIC_READ,
                                 FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                 OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return ErrnoFromWin32(GetLastError());
    m_handle = reinterpret_cast<long long>(h);
    return 0;
}

int CRecordingFile::Create(const std::string& path) {
    Close();
    const HANDLE h =
        CreateFileW(Wide(path).c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr,
                    CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return ErrnoFromWin32(GetLastError());
    m_handle = reinterpret_cast<long long>(h);
    return 0;
}

size_t CRecordingFile::ReadAt(uint64_t offset, void* buf, size_t n, int& error) {
    auto* p = static_cast<uint8_t*>(buf);
    size_t done = 0;
    while (done < n) {
        OVERLAPPED at{};
        const uint64_t where = offset + done;
        at.Offset = static_cast<DWORD>(where & 0xFFFFFFFFu);
        at.OffsetHigh = static_cast<DWORD>(where >> 32);
        DWORD got = 0;
        if (!ReadFile(H(m_handle), p + done, static_cast<DWORD>(std::min(n - done, kMaxChunk)),
                      &got, &at)) {
            if (GetLastError() != ERROR_HANDLE_EOF)
                error = ErrnoFromWin32(GetLastError());
            break;
        }
        if (got == 0)
            break;
        done += got;
    }
    return done;
}

size_t CRecordingFile::Write(const uint8_t* data, size_t n, int& error) {
    size_t done = 0;
    while (done < n) {
        DWORD wrote = 0;
        if (!WriteFile(H(m_handle), data + done, static_cast<DWORD>(std::min(n - done, kMaxChunk)),
                       &wrote, nullptr)) {
            error = ErrnoFromWin32(GetLastError());
            break;
        }
        if (wrote == 0) {
            error = EIO;
            break;
        }
        done += wrote;
    }
    return done;
}

void CRecordingFile::Truncate(uint64_t length) {
    LARGE_INTEGER at{};
    at.QuadPart = static_cast<LONGLONG>(length);
    if (SetFilePointerEx(H(m_handle), at, nullptr, FILE_BEGIN))
        (void)SetEndOfFile(H(m_handle));
}

uint64_t CRecordingFile::Size(uint64_t fallback) const {
    LARGE_INTEGER size{};
    return GetFileSizeEx(H(m_handle), &size) ? static_cast<uint64_t>(size.QuadPart) : fallback;
}

void CRecordingFile::RemoveIfStillAt(const std::string& path) {
    BY_HANDLE_FILE_INFORMATION opened{};
    if (GetFileType(H(m_handle)) != FILE_TYPE_DISK ||
        !GetFileInformationByHandle(H(m_handle), &opened))
        return;
    const HANDLE named =
        CreateFileW(Wide(path).c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                    nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (named == INVALID_HANDLE_VALUE)
        return;
    BY_HANDLE_FILE_INFORMATION there{};
    const bool same = GetFileInformationByHandle(named, &there) &&
                      there.dwVolumeSerialNumber == opened.dwVolumeSerialNumber &&
                      there.nFileIndexHigh == opened.nFileIndexHigh &&
                      there.nFileIndexLow == opened.nFileIndexLow;
    CloseHandle(named);
    // Marked for removal; it goes when the last handle on it is closed.
    if (same)
        (void)DeleteFileW(Wide(path).c_str());
}

int CRecordingFile::Close() {
    if (m_handle == -1)
        return 0;
    const int error = CloseHandle(H(m_handle)) ? 0 : ErrnoFromWin32(GetLastError());
    m_handle = -1;
    return error;
}
