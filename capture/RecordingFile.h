// A recording's file through the system's own calls, one source file per
// system (RecordingFilePosix.cpp, RecordingFileWin32.cpp): opened for reading
// at any offset, or created for writing from its start. Errors are errno
// values, so that one text per cause serves both systems.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

class CRecordingFile {
public:
    CRecordingFile() = default;
    ~CRecordingFile();
    CRecordingFile(const CRecordingFile&) = delete;
    CRecordingFile& operator=(const CRecordingFile&) = delete;

    // 0, or why the file cannot be opened.
    int OpenForReading(const std::string& path);
    // Creates the file, or empties an existing one: 0, or why not.
    int Create(const std::string& path);
    bool IsOpen() const { return m_handle != -1; }

    // Reads up to n bytes from `offset`: the number read, fewer at the file's
    // end or when a read fails (`error` set then, else left alone).
    size_t ReadAt(uint64_t offset, void* buf, size_t n, int& error);
    // Writes all n bytes after the ones written before: the number written,
    // fewer when a write fails (`error` set then).
    size_t Write(const uint8_t* data, size_t n, int& error);
    // Cuts the file to `length` bytes: a failed write's partial chunk goes.
    void Truncate(uint64_t length);
    // The file's size, or `fallback` when the system cannot tell.
    uint64_t Size(uint64_t fallback) const;
    // Removes the file from its folder if `path` still names this file and
    // it is a regular file (never a device such as /dev/full).
    void RemoveIfStillAt(const std::string& path);
    // 0, or the error a late write reported at the close.
    int Close();

private:
    // A descriptor on POSIX, a HANDLE's bits on Windows; -1 when closed.
    long long m_handle = -1;
};
