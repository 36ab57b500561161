#include "capture/RecordingFormat.h"

#include <array>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <system_error>

#include "settings/ProfileFileAccess.h"
#include "settings/Translation.h"

#ifndef TAVIX_VERSION_TEXT
#define TAVIX_VERSION_TEXT "0"
#endif

namespace recording {

namespace {

// A small table-driven CRC-32 keeps the engine layers free of other
// libraries; the polynomial is zlib's, so `zlib.crc32` checks a file too.
constexpr std::array<uint32_t, 256> MakeCrcTable() {
    std::array<uint32_t, 256> table{};
    for (uint32_t i = 0; i < 256; ++i) {
        uint32_t c = i;
        for (int k = 0; k < 8; ++k) {
            c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
        }
        table[i] = c;
    }
    return table;
}

constexpr std::array<uint32_t, 256> kCrcTable = MakeCrcTable();

}  // namespace

std::string ToolText() {
    return std::string("TavixTool ") + TAVIX_VERSION_TEXT;
}

bool IsRecordingFile(const std::string& path) {
    const std::filesystem::path file = std::filesystem::u8path(path);
    std::error_code ec;
    if (!std::filesystem::is_regular_file(file, ec))
        return false;
    std::ifstream in(file, std::ios::binary);
    char magic[sizeof kMagic] = {};
    return in.read(magic, sizeof magic) && std::memcmp(magic, kMagic, sizeof magic) == 0;
}

uint32_t Crc32(const uint8_t* data, size_t n, uint32_t crc) {
    crc = ~crc;
    for (size_t i = 0; i < n; ++i) {
        crc = kCrcTable[(crc ^ data[i]) & 0xFF] ^ (crc >> 8);
    }
    return ~crc;
}

void PutU16(uint8_t* p, uint16_t v) {
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
}

void PutU32(uint8_t* p, uint32_t v) {
    for (int i = 0; i < 4; ++i) {
        p[i] = static_cast<uint8_t>(v >> (8 * i));
    }
}

void PutU64(uint8_t* p, uint64_t v) {
    for (int i = 0; i < 8; ++i) {
        p[i] = static_cast<uint8_t>(v >> (8 * i));
    }
}

uint16_t GetU16(const uint8_t* p) {
    return static_cast<uint16_t>(p[0] | (p[1] << 8));
}

uint32_t GetU32(const uint8_t* p) {
    uint32_t v = 0;
    for (int i = 3; i >= 0; --i) {
        v = (v << 8) | p[i];
    }
    return v;
}

uint64_t GetU64(const uint8_t* p) {
    uint64_t v = 0;
    for (int i = 7; i >= 0; --i) {
        v = (v << 8) | p[i];
    }
    return v;
}

namespace text {

std::string ReasonText(int error) {
    switch (error) {
        case ENOSPC:
            return tx::Tr("RecordingFormat", "磁盘已满");
        case EFBIG:
            return tx::Tr("RecordingFormat", "文件已超过允许的最大大小");
        case EACCES:
        case EPERM:
            return tx::Tr("RecordingFormat", "没有权限");
        case ENOENT:
            return tx::Tr("RecordingFormat", "文件或文件夹不存在");
        case ENOTDIR:
            return tx::Tr("RecordingFormat", "路径中有一项不是文件夹");
        case EISDIR:
            return tx::Tr("RecordingFormat", "这是一个文件夹");
        case EROFS:
            return tx::Tr("RecordingFormat", "文件系统是只读的");
        case ENAMETOOLONG:
            return tx::Tr("RecordingFormat", "文件名太长");
        case EIO:
            return tx::Tr("RecordingFormat", "输入/输出错误");
        case EMFILE:
        case ENFILE:
            return tx::Tr("RecordingFormat", "打开的文件太多");
        default: {
            if (IsQuotaExceededError(error))
                return tx::Tr("RecordingFormat", "已超出磁盘配额");
            // The system's own text, taken thread-safely.
            const std::string what = std::generic_category().message(error);
            return tx::Format(tx::Tr("RecordingFormat", "%1（错误号 %2）"), what, error);
        }
    }
}

std::string CannotCreate(const std::string& path, int error) {
    return tx::Format(tx::Tr("RecordingFormat", "无法创建录制文件 %1：%2"), path,
                      ReasonText(error));
}

std::string WriteFailed(const std::string& path, int error) {
    return tx::Format(tx::Tr("RecordingFormat", "录制文件 %1 写入失败：%2"), path,
                      ReasonText(error));
}

std::string CannotRead(const std::string& path, int error) {
    return tx::Format(tx::Tr("RecordingFormat", "无法读取录制文件 %1：%2"), path,
                      ReasonText(error));
}

std::string Empty(const std::string& path) {
    return tx::Format(
        tx::Tr("RecordingFormat", "录制文件 %1 是空的（0 字节），里面没有任何录制内容"), path);
}

std::string NotARecording(const std::string& path) {
    return tx::Format(
        tx::Tr("RecordingFormat", "%1 不是 TavixTool 的录制文件（文件开头不是 TAVIXREC）"), path);
}

std::string TruncatedHeader(const std::string& path, uint64_t have, uint64_t need) {
    return tx::Format(
        tx::Tr("RecordingFormat", "录制文件 %1 的文件头不完整：只有 %2 字节，应有 %3 字节"), path,
        have, need);
}

std::string NewerVersion(const std::string& path, unsigned version) {
    return tx::Format(tx::Tr("RecordingFormat",
                             "录制文件 %1 的格式版本是 %2，本程序只能读取版本 %3 "
                             "的录制文件，请使用更新的 TavixTool"),
                      path, version, kFormatVersion);
}

std::string BadValue(const std::string& path, const std::string& what, uint64_t value,
                     const std::string& allowed) {
    return tx::Format(tx::Tr("RecordingFormat", "录制文件 %1 的文件头不合理：%2为 %3（应为 %4）"),
                      path, what, value, allowed);
}

std::string Cut(const std::string& path, uint64_t offset) {
    return tx::Format(tx::Tr("RecordingFormat",
                             "录制文件 %1 在第 %2 "
                             "字节处被截断（或已损坏），已回放到最后一个完整的数据块"),
                      path, offset);
}

}  // namespace text

}  // namespace recording
