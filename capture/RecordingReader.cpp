#include "capture/RecordingReader.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include "settings/Translation.h"

using namespace recording;

CRecordingReader::~CRecordingReader() {
    Close();
}

bool CRecordingReader::Open(const std::string& path, std::string& error) {
    Close();
    m_strPath = path;
    m_header = RecordingHeader();
    m_nReadError = 0;
    if (const int why = m_file.OpenForReading(path)) {
        error = text::CannotRead(path, why);
        return false;
    }
    auto fail = [&](std::string why) {
        error = std::move(why);
        Close();
        return false;
    };

    uint8_t h[kHeaderSize] = {};
    const size_t got = ReadAt(0, h, sizeof h);
    if (m_nReadError != 0) {
        return fail(text::CannotRead(path, m_nReadError));
    }
    if (got == 0) {
        return fail(text::Empty(path));
    }
    if (std::memcmp(h, kMagic, std::min(got, sizeof kMagic)) != 0) {
        return fail(text::NotARecording(path));
    }
    if (got < 12) {
        return fail(text::TruncatedHeader(path, got, kHeaderSize));
    }
    const uint16_t version = GetU16(h + 8);
    const uint16_t length = GetU16(h + 10);
    if (version > kFormatVersion) {
        return fail(text::NewerVersion(path, version));
    }
    if (version == 0) {
        return fail(text::BadValue(path, tx::Tr("RecordingFormat", "格式版本"), version,
                                   std::to_string(kFormatVersion)));
    }
    if (length < kHeaderSize) {
        return fail(
            text::BadValue(path, tx::Tr("RecordingFormat", "文件头长度"), length,
                           tx::Format(tx::Tr("RecordingFormat", "至少 %1 字节"), kHeaderSize)));
    }
    // The header's last byte, the one before the first chunk, must be there.
    uint8_t last = 0;
    if (got < kHeaderSize || ReadAt(length - 1u, &last, 1) != 1) {
        if (m_nReadError != 0) {
            return fail(text::CannotRead(path, m_nReadError));
        }
        const uint64_t have = m_file.Size(got);
        return fail(text::TruncatedHeader(path, have, length));
    }

    RecordingHeader& r = m_header;
    r.version = version;
    r.headerLength = length;
    const char* tool = reinterpret_cast<const char*>(h + 12);
    r.tool.assign(tool, strnlen(tool, kToolFieldSize));
    r.baud = GetU32(h + 28);
    r.headerByte = h[32];
    r.format = static_cast<PixelFormat>(h[33]);
    r.rows = GetU32(h + 34);
    r.columns = GetU32(h + 38);
    r.startMicroseconds = GetU64(h + 42);
    const std::string range = "1–" + std::to_string(kMaxRowsOrColumns);
    if (r.rows < 1 || r.rows > kMaxRowsOrColumns) {
        return fail(text::BadValue(path, tx::Tr("RecordingFormat", "行数"), r.rows, range));
    }
    if (r.columns < 1 || r.columns > kMaxRowsOrColumns) {
        return fail(text::BadValue(path, tx::Tr("RecordingFormat", "列数"), r.columns, range));
    }
    if (h[33] > static_cast<uint8_t>(PixelFormat::Colour)) {
        return fail(text::BadValue(path, tx::Tr("RecordingFormat", "像素格式"), h[33],
                                   tx::Tr("RecordingFormat", "0（灰度）或 1（U,Y,V 彩色）")));
    }
    // The stream format, where the header goes on to hold one.
    r.streamFormat.clear();
    uint8_t tag[6] = {};
    if (length >= kHeaderSize + sizeof tag && ReadAt(kHeaderSize, tag, sizeof tag) == sizeof tag &&
        std::memcmp(tag, kStreamFormatTag, sizeof kStreamFormatTag) == 0) {
        const uint16_t n = GetU16(tag + 4);
        if (n == 0 || n > kMaxStreamFormatText || kHeaderSize + sizeof tag + n > length) {
            return fail(
                text::BadValue(path, tx::Tr("RecordingFormat", "数据格式长度"), n,
                               tx::Format(tx::Tr("RecordingFormat", "1–%1 字节，且在文件头内"),
                                          kMaxStreamFormatText)));
        }
        r.streamFormat.resize(n);
        if (ReadAt(kHeaderSize + sizeof tag, &r.streamFormat[0], n) != n)
            return fail(text::CannotRead(path, m_nReadError));
    }
    m_bDurationKnown = false;
    Rewind();
    return true;
}

void CRecordingReader::Close() {
    m_file.Close();
    m_bEnded = true;
    m_bCut = false;
    m_nCutOffset = 0;
}

bool CRecordingReader::Next(Chunk& chunk) {
    if (!m_file.IsOpen() || m_bEnded) {
        return false;
    }
    uint64_t end = 0;
    switch (ReadChunk(m_nOffset, chunk, end)) {
        case ChunkResult::Whole:
            m_nOffset = end;
            return true;
        case ChunkResult::Bad:
            m_bCut = true;
            m_nCutOffset = m_nOffset;
            break;
        case ChunkResult::End:
            break;
    }
    m_bEnded = true;
    chunk.bytes.clear();
    return false;
}

std::string CRecordingReader::CutText() const {
    if (!m_bCut) {
        return {};
    }
    std::string cut = text::Cut(m_strPath, m_nCutOffset);
    if (m_nReadError != 0) {
        cut += tx::Format(tx::Tr("CRecordingReader", "（读取出错：%1）"),
                          text::ReasonText(m_nReadError));
    }
    return cut;
}

void CRecordingReader::Rewind() {
    m_nOffset = m_header.headerLength;
    m_bEnded = !m_file.IsOpen();
    m_bCut = false;
    m_nCutOffset = 0;
    m_nReadError = 0;
}

uint64_t CRecordingReader::DurationMicroseconds() {
    if (!m_file.IsOpen() || m_bDurationKnown) {
        return m_nDuration;
    }
    const int readError = m_nReadError;
    Chunk chunk;
    uint64_t offset = m_header.headerLength;
    uint64_t end = 0;
    m_nDuration = 0;
    while (ReadChunk(offset, chunk, end) == ChunkResult::Whole) {
        m_nDuration = chunk.timeMicroseconds;
        offset = end;
    }
    m_nReadError = readError;
    m_bDurationKnown = true;
    return m_nDuration;
}

CRecordingReader::ChunkResult CRecordingReader::ReadChunk(uint64_t offset, Chunk& chunk,
                                                          uint64_t& end) {
    uint8_t head[kChunkHeadSize];
    const size_t got = ReadAt(offset, head, sizeof head);
    if (got == 0 && m_nReadError == 0) {
        return ChunkResult::End;
    }
    if (got < sizeof head) {
        return ChunkResult::Bad;
    }
    const uint32_t length = GetU32(head + 8);
    if (length < 1 || length > kMaxChunkBytes) {
        return ChunkResult::Bad;
    }
    chunk.bytes.resize(length);
    uint8_t tail[kChunkTailSize];
    if (ReadAt(offset + sizeof head, chunk.bytes.data(), length) != length ||
        ReadAt(offset + sizeof head + length, tail, sizeof tail) != sizeof tail) {
        return ChunkResult::Bad;
    }
    const uint32_t crc = Crc32(chunk.bytes.data(), length, Crc32(head, sizeof head));
    if (crc != GetU32(tail)) {
        return ChunkResult::Bad;
    }
    chunk.timeMicroseconds = GetU64(head);
    end = offset + sizeof head + length + sizeof tail;
    return ChunkResult::Whole;
}

size_t CRecordingReader::ReadAt(uint64_t offset, void* buf, size_t n) {
    return m_file.ReadAt(offset, buf, n, m_nReadError);
}
