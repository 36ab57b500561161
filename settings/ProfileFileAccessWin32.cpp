#include <windows.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <filesystem>
#include <system_error>

#include "settings/ProfileFileAccess.h"
#include "settings/Win32Errors.h"

namespace {

std::wstring Wide(const std::string& path) {
    return std::filesystem::u8path(path).wstring();
}

std::string FolderOf(const std::string& path) {
    const size_t slash = path.find_last_of("/\\");
    return slash == std::string::npos ? std::string(".") : path.substr(0, slash + 1);
}

HANDLE Open(const std::string& path, DWORD access, DWORD disposition) {
    return CreateFileW(Wide(path).c_str(), access,
                       FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, disposition,
                       FILE_ATTRIBUTE_NORMAL, nullptr);
}

int LastError() {
    return ErrnoFromWin32(GetLastError());
}

int WriteAllTo(HANDLE h, const std::string& bytes) {
    size_t done = 0;
    while (done < bytes.size()) {
        const DWORD chunk = static_cast<DWORD>(std::min<size_t>(bytes.size() - done, 1 << 30));
        DWORD written = 0;
        if (!WriteFile(h, bytes.data() + done, chunk, &written, nullptr))
            return LastError();
        if (written == 0)
            return EIO;
        done += written;
    }
    return 0;
}

// Sets the file's end at `size` (grows or cuts it).
int SetLength(HANDLE h, size_t size) {
    LARGE_INTEGER at{};
    at.QuadPart = static_cast<LONGLONG>(size);
    if (!SetFilePointerEx(h, at, nullptr, FILE_BEGIN) || !SetEndOfFile(h))
        return LastError();
    return 0;
}

}  // namespace

bool FileExists(const std::string& path) {
    return GetFileAttributesW(Wide(path).c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool FileReadable(const std::string& path) {
    HANDLE h = Open(path, GENERIC_READ, OPEN_EXISTING);
    if (h == INVALID_HANDLE_VALUE)
        return false;
    CloseHandle(h);
    return true;
}

std::string WriteTarget(const std::string& path) {
    std::filesystem::path p = std::filesystem::u8path(path);
    for (int i = 0; i < 16; ++i) {
        std::error_code error;
        if (!std::filesystem::is_symlink(p, error))
            break;
        const std::filesystem::path link = std::filesystem::read_symlink(p, error);
        if (error)
            break;
        p = link.is_absolute() ? link : p.parent_path() / link;
    }
    return p.u8string();
}

int WriteCheck(const std::string& target) {
    const DWORD attributes = GetFileAttributesW(Wide(target).c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        if (GetLastError() != ERROR_FILE_NOT_FOUND)
            return LastError();  // no folder, or a file where a folder belongs
        const DWORD folder = GetFileAttributesW(Wide(FolderOf(target)).c_str());
        if (folder == INVALID_FILE_ATTRIBUTES)
            return LastError();
        if ((folder & FILE_ATTRIBUTE_DIRECTORY) == 0)
            return ENOTDIR;
        // Windows' permissions are lists of rules: whether a file can be
        // created there is found out by making one, which goes at its close.
        static std::atomic<unsigned> counter{0};
        const std::string probe = target + ".probe." + std::to_string(GetCurrentProcessId()) + "." +
                                  std::to_string(counter++);
        HANDLE h = CreateFileW(Wide(probe).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                               FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
        if (h == INVALID_HANDLE_VALUE)
            return LastError();
        CloseHandle(h);
        return 0;
    }
    if (attributes & FILE_ATTRIBUTE_DIRECTORY)
        return EISDIR;
    // A file the user made read-only stays as it is.
    if (attributes & FILE_ATTRIBUTE_READONLY)
        return kReadOnlyFile;
    HANDLE h = Open(target, GENERIC_WRITE, OPEN_EXISTING);
    if (h == INVALID_HANDLE_VALUE)
        return LastError();
    CloseHandle(h);
    return 0;
}

int ReplaceWholeFile(const std::string& target, const std::string& bytes) {
    static std::atomic<unsigned> counter{0};
    std::string temp;
    HANDLE h = INVALID_HANDLE_VALUE;
    for (int attempt = 0; h == INVALID_HANDLE_VALUE && attempt < 100; ++attempt) {
        temp = target + ".tmp." + std::to_string(GetCurrentProcessId()) + "." +
               std::to_string(counter++);
        h = Open(temp, GENERIC_WRITE, CREATE_NEW);
        if (h == INVALID_HANDLE_VALUE && GetLastError() != ERROR_FILE_EXISTS)
            return LastError();
    }
    if (h == INVALID_HANDLE_VALUE)
        return EEXIST;
    int error = WriteAllTo(h, bytes);
    if (!CloseHandle(h) && error == 0)
        error = LastError();
    if (error == 0 &&
        !MoveFileExW(Wide(temp).c_str(), Wide(target).c_str(), MOVEFILE_REPLACE_EXISTING))
        error = LastError();
    if (error != 0)
        DeleteFileW(Wide(temp).c_str());
    return error;
}

int RewriteInPlace(const std::string& target, const std::string& bytes) {
    HANDLE h = Open(target, GENERIC_WRITE | GENERIC_READ, OPEN_EXISTING);
    if (h == INVALID_HANDLE_VALUE)
        return LastError();
    int error = 0;
    LARGE_INTEGER size{};
    // Room first: a longer file is grown to the new length before a byte of
    // it is overwritten.
    if (GetFileSizeEx(h, &size) && static_cast<size_t>(size.QuadPart) < bytes.size())
        error = SetLength(h, bytes.size());
    LARGE_INTEGER start{};
    if (error == 0 && !SetFilePointerEx(h, start, nullptr, FILE_BEGIN))
        error = LastError();
    if (error == 0)
        error = WriteAllTo(h, bytes);
    if (error == 0)
        error = SetLength(h, bytes.size());
    if (!CloseHandle(h) && error == 0)
        error = LastError();
    return error;
}

void MakeFolders(const std::string& path) {
    for (size_t slash = path.find('/', 1); slash != std::string::npos;
         slash = path.find('/', slash + 1))
        CreateDirectoryW(Wide(path.substr(0, slash)).c_str(), nullptr);
}

bool IsDiskFullError(int error) {
    return error == ENOSPC;
}

bool IsQuotaExceededError(int) {
    return false;
}
