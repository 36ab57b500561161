#include "capture/RecordingWriter.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <vector>
#include "settings/Translation.h"

using namespace recording;

namespace {

constexpr size_t kChunkOverhead = kChunkHeadSize + kChunkTailSize;

// Writes all n bytes; the number written when a write fails (errno set).
size_t WriteFully(int fd, const uint8_t* data, size_t n) {
    size_t done = 0;
    while (done < n) {
        const ssize_t w = ::write(fd, data + done, n - done);
        if (w > 0) {
            done += static_cast<size_t>(w);
        } else if (w == 0) {
            errno = EIO;
            break;
        } else if (errno != EINTR) {
            break;
        }
    }
    return done;
}

// The reason a header cannot be recorded, or empty.
std::string CheckHeader(const std::string& path, const RecordingHeader& h) {
    const std::string range = "1–" + std::to_string(kMaxRowsOrColumns);
    if (h.rows < 1 || h.rows > kMaxRowsOrColumns) {
        return text::BadValue(path, tx::Tr("RecordingFormat", "行数"), h.rows, range);
    }
    if (h.columns < 1 || h.columns > kMaxRowsOrColumns) {
        return text::BadValue(path, tx::Tr("RecordingFormat", "列数"), h.columns, range);
    }
    if (static_cast<uint8_t>(h.format) > static_cast<uint8_t>(PixelFormat::Colour)) {
        return text::BadValue(path, tx::Tr("RecordingFormat", "像素格式"),
                              static_cast<uint8_t>(h.format), tx::Tr("RecordingFormat", "0 或 1"));
    }
    if (h.streamFormat.size() > kMaxStreamFormatText) {
        return text::BadValue(
            path, tx::Tr("RecordingFormat", "数据格式长度"), h.streamFormat.size(),
            tx::Format(tx::Tr("RecordingFormat", "至多 %1 字节"), kMaxStreamFormatText));
    }
    return {};
}

}  // namespace

CRecordingWriter::~CRecordingWriter() {
    Close();
}

bool CRecordingWriter::Open(const std::string& path, const RecordingHeader& header,
                            std::string& error) {
    Close();
    m_strPath = path;
    m_error = 0;
    m_nLastTime = 0;
    m_nKeptBytes = 0;
    m_pending.clear();
    m_pendingEnds.clear();
    m_nPendingBytes = 0;
    m_pending.reserve(kFlushBytes + kChunkOverhead);

    error = CheckHeader(path, header);
    if (!error.empty()) {
        m_error = EINVAL;
        m_strErrorText = error;
        return false;
    }
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) {
        m_error = errno;
        m_strErrorText = error = text::CannotCreate(path, m_error);
        return false;
    }

    // A stream format other than the header byte's follows the fixed fields.
    const size_t extra = header.streamFormat.empty() ? 0 : 6 + header.streamFormat.size();
    std::vector<uint8_t> bytes(kHeaderSize + extra);
    uint8_t* h = bytes.data();
    std::memcpy(h, kMagic, sizeof kMagic);
    PutU16(h + 8, kFormatVersion);
    PutU16(h + 10, static_cast<uint16_t>(kHeaderSize + extra));
    if (extra > 0) {
        std::memcpy(h + kHeaderSize, kStreamFormatTag, sizeof kStreamFormatTag);
        PutU16(h + kHeaderSize + 4, static_cast<uint16_t>(header.streamFormat.size()));
        std::memcpy(h + kHeaderSize + 6, header.streamFormat.data(), header.streamFormat.size());
    }
    std::memcpy(h + 12, header.tool.data(), std::min(header.tool.size(), kToolFieldSize));
    PutU32(h + 28, header.baud);
    h[32] = header.headerByte;
    h[33] = static_cast<uint8_t>(header.format);
    PutU32(h + 34, header.rows);
    PutU32(h + 38, header.columns);
    uint64_t start = header.startMicroseconds;
    if (start == 0) {
        start = static_cast<uint64_t>(std::chrono::duration_cast<std::chrono::microseconds>(
                                          std::chrono::system_clock::now().time_since_epoch())
                                          .count());
    }
    PutU64(h + 42, start);

    if (WriteFully(fd, h, bytes.size()) != bytes.size()) {
        m_error = errno;
        m_strErrorText = error = text::WriteFailed(path, m_error);
        // A header-less file is no recording: remove it, if it is still the
        // regular file just created (never a device such as /dev/full).
        struct stat opened {};
        struct stat named {};
        if (::fstat(fd, &opened) == 0 && S_ISREG(opened.st_mode) &&
            ::stat(path.c_str(), &named) == 0 && named.st_dev == opened.st_dev &&
            named.st_ino == opened.st_ino) {
            ::unlink(path.c_str());
        }
        ::close(fd);
        return false;
    }
    m_fd = fd;
    m_nKeptOffset = bytes.size();
    m_strErrorText.clear();
    return true;
}

bool CRecordingWriter::Write(uint64_t timeMicroseconds, const uint8_t* data, size_t n) {
    if (m_fd < 0 || Failed()) {
        return false;
    }
    m_nLastTime = std::max(m_nLastTime, timeMicroseconds);
    while (n > 0) {
        const size_t part = std::min<size_t>(n, kMaxChunkBytes);
        const size_t at = m_pending.size();
        m_pending.resize(at + kChunkOverhead + part);
        uint8_t* p = m_pending.data() + at;
        PutU64(p, m_nLastTime);
        PutU32(p + 8, static_cast<uint32_t>(part));
        std::memcpy(p + kChunkHeadSize, data, part);
        PutU32(p + kChunkHeadSize + part, Crc32(p, kChunkHeadSize + part));
        m_pendingEnds.push_back(m_pending.size());
        m_nPendingBytes += part;
        data += part;
        n -= part;
        if (m_pending.size() >= kFlushBytes && !Flush()) {
            return false;
        }
    }
    return true;
}

bool CRecordingWriter::Flush() {
    if (m_fd < 0 || Failed()) {
        return false;
    }
    const size_t done = WriteFully(m_fd, m_pending.data(), m_pending.size());
    if (done == m_pending.size()) {
        m_nKeptOffset += done;
        m_nKeptBytes += m_nPendingBytes;
    } else {
        const int why = errno;
        // Keep the chunks that reached the file whole, and cut off the rest.
        size_t kept = 0;
        for (const size_t end : m_pendingEnds) {
            if (end > done) {
                break;
            }
            m_nKeptBytes += end - kept - kChunkOverhead;
            kept = end;
        }
        m_nKeptOffset += kept;
        while (::ftruncate(m_fd, static_cast<off_t>(m_nKeptOffset)) != 0 && errno == EINTR) {
        }
        Fail(why);
    }
    m_pending.clear();
    m_pendingEnds.clear();
    m_nPendingBytes = 0;
    return !Failed();
}

bool CRecordingWriter::Close() {
    if (m_fd < 0) {
        return false;
    }
    Flush();
    // Linux closes the descriptor even when close reports EINTR.
    if (::close(m_fd) != 0 && errno != EINTR && !Failed()) {
        Fail(errno);
    }
    m_fd = -1;
    m_pending = std::vector<uint8_t>();
    return !Failed();
}

void CRecordingWriter::Fail(int error) {
    m_error = error != 0 ? error : EIO;
    m_strErrorText = text::WriteFailed(m_strPath, m_error);
}
