#include "capture/RecordingWriter.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <vector>
#include "settings/Translation.h"

using namespace recording;

namespace {

constexpr size_t kChunkOverhead = kChunkHeadSize + kChunkTailSize;

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
    if (const int why = m_file.Create(path)) {
        m_error = why;
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

    int why = 0;
    if (m_file.Write(h, bytes.size(), why) != bytes.size()) {
        m_error = why;
        m_strErrorText = error = text::WriteFailed(path, m_error);
        // A header-less file is no recording: remove it, if it is still the
        // regular file just created (never a device such as /dev/full).
        m_file.RemoveIfStillAt(path);
        m_file.Close();
        return false;
    }
    m_nKeptOffset = bytes.size();
    m_strErrorText.clear();
    return true;
}

bool CRecordingWriter::Write(uint64_t timeMicroseconds, const uint8_t* data, size_t n) {
    if (!m_file.IsOpen() || Failed()) {
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
    if (!m_file.IsOpen() || Failed()) {
        return false;
    }
    int why = 0;
    const size_t done = m_file.Write(m_pending.data(), m_pending.size(), why);
    if (done == m_pending.size()) {
        m_nKeptOffset += done;
        m_nKeptBytes += m_nPendingBytes;
    } else {
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
        m_file.Truncate(m_nKeptOffset);
        Fail(why);
    }
    m_pending.clear();
    m_pendingEnds.clear();
    m_nPendingBytes = 0;
    return !Failed();
}

bool CRecordingWriter::Close() {
    if (!m_file.IsOpen()) {
        return false;
    }
    Flush();
    const int why = m_file.Close();
    if (why != 0 && !Failed()) {
        Fail(why);
    }
    m_pending = std::vector<uint8_t>();
    return !Failed();
}

void CRecordingWriter::Fail(int error) {
    m_error = error != 0 ? error : EIO;
    m_strErrorText = text::WriteFailed(m_strPath, m_error);
}
