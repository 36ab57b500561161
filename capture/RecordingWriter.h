// Writes a recording file (capture/RecordingFormat.h): the header, then one
// chunk per Write.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "capture/RecordingFile.h"
#include "capture/RecordingFormat.h"

// Chunks are gathered in memory and written about every 64 KiB, on Flush and
// on Close, so that recording a fast line costs a copy and now and then one
// write call.
//
// The first failed write ends the recording: nothing more is written, and the
// file is cut back to the end of its last whole chunk, so that it stays a
// valid recording of everything before the failure. Failed, Error and
// ErrorText then say why.
//
// Not thread-safe: one thread (the capture worker) opens, writes and closes.
class CRecordingWriter {
public:
    // Chunks are written once this many bytes are waiting.
    static constexpr size_t kFlushBytes = 64 * 1024;

    CRecordingWriter() = default;
    ~CRecordingWriter();  // Closes.
    CRecordingWriter(const CRecordingWriter&) = delete;
    CRecordingWriter& operator=(const CRecordingWriter&) = delete;

    // Creates (or empties) the file, mode 0644 less the umask, and writes the
    // header. header.startMicroseconds 0 is replaced by the current time; the
    // tool text is cut to its field. False with the reason (in the chosen language) in error when
    // the header is out of range or the file cannot be created or written (a
    // header that could not be written leaves no file behind). Closes a
    // recording still open first.
    bool Open(const std::string& path, const RecordingHeader& header, std::string& error);

    // Records n bytes that arrived timeMicroseconds after the start (times
    // earlier than the previous chunk's are taken as the previous time). More
    // than kMaxChunkBytes become several chunks with the same time. False
    // when not open or failed; n = 0 records nothing.
    bool Write(uint64_t timeMicroseconds, const uint8_t* data, size_t n);
    // Writes the waiting chunks now.
    bool Flush();
    // Flushes and closes the file. False if the recording failed at any point
    // (or was not open); the failure stays readable afterwards.
    bool Close();

    bool IsOpen() const { return m_file.IsOpen(); }
    bool Failed() const { return m_error != 0; }
    // The system error number of the failure, 0 if none.
    int Error() const { return m_error; }
    // Why the recording failed, in the chosen language, naming the file ("录制文件 <path>
    // 写入失败：磁盘已满"); empty if nothing failed.
    const std::string& ErrorText() const { return m_strErrorText; }
    // Line bytes in the recording's chunks, those still waiting in memory
    // included; after a failure, those the file keeps.
    uint64_t BytesRecorded() const { return m_nKeptBytes + m_nPendingBytes; }
    const std::string& Path() const { return m_strPath; }

private:
    void Fail(int error);

    CRecordingFile m_file;
    std::string m_strPath;
    int m_error = 0;
    std::string m_strErrorText;
    uint64_t m_nLastTime = 0;
    // File offset and line bytes up to the end of the last chunk on disk.
    uint64_t m_nKeptOffset = 0;
    uint64_t m_nKeptBytes = 0;
    // Whole chunks not yet written, and where each ends in m_pending.
    std::vector<uint8_t> m_pending;
    std::vector<size_t> m_pendingEnds;
    uint64_t m_nPendingBytes = 0;
};
