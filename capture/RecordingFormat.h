// The recording file: exactly the bytes a serial port delivered, in the chunks
// it delivered them, each with its time. README.md ("Recording file format")
// describes the layout byte by byte; this header is its one definition in code.
//
// All numbers are little-endian.
//
//   header (kHeaderSize bytes in version 1; its length field may say more)
//     0  magic "TAVIXREC"           8 bytes
//     8  format version             u16 (kFormatVersion)
//    10  header length in bytes     u16 (>= kHeaderSize; a reader skips the rest)
//    12  tool name and version      16 bytes, UTF-8, NUL-padded
//    28  baud rate                  u32
//    32  frame header byte          u8
//    33  pixel format               u8 (0 grayscale, 1 U,Y,V colour)
//    34  rows                       u32 (1..9999)
//    38  columns                    u32 (1..9999)
//    42  start time                 u64, microseconds since the Unix epoch (wall clock)
//   and, where the stream format is not the header byte's (a reader that
//   finds other bytes here skips them, as any longer header):
//    50  tag "SFMT"                 4 bytes
//    54  stream format text length  u16 (1..kMaxStreamFormatText)
//    56  stream format              that many bytes, UTF-8: a preset's id or
//                                   "custom,...", as the settings file holds it
//   chunks, to the end of the file
//     0  time                       u64, microseconds since the start (monotonic)
//     8  length                     u32 (1..kMaxChunkBytes)
//    12  the bytes                  length bytes
//     .  CRC-32                     u32 over time, length and the bytes
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace recording {

constexpr char kMagic[8] = {'T', 'A', 'V', 'I', 'X', 'R', 'E', 'C'};
constexpr uint16_t kFormatVersion = 1;
constexpr size_t kToolFieldSize = 16;
constexpr uint16_t kHeaderSize = 50;   // Version 1's header.
constexpr size_t kChunkHeadSize = 12;  // Time and length.
constexpr size_t kChunkTailSize = 4;   // The CRC.
constexpr uint32_t kMaxChunkBytes = 1024 * 1024;
constexpr uint32_t kMaxRowsOrColumns = 9999;
constexpr uint16_t kMaxStreamFormatText = 1024;
constexpr char kStreamFormatTag[4] = {'S', 'F', 'M', 'T'};
// The suffix the user interface gives recordings.
constexpr const char* kFileSuffix = ".tavixrec";

enum class PixelFormat : uint8_t { Grayscale = 0, Colour = 1 };

// "TavixTool <version>", as the writer puts it in the tool field by default.
std::string ToolText();

// Whether `path` (UTF-8) is a regular file that starts with a recording's
// magic: how the command-line tools tell a recording from a port or raw bytes.
bool IsRecordingFile(const std::string& path);

// CRC-32 as in zlib, PNG and Ethernet (reflected, polynomial 0xEDB88320,
// initial and final value 0xFFFFFFFF). Continue a running CRC by passing the
// previous result as crc.
uint32_t Crc32(const uint8_t* data, size_t n, uint32_t crc = 0);

// Little-endian field access.
void PutU16(uint8_t* p, uint16_t v);
void PutU32(uint8_t* p, uint32_t v);
void PutU64(uint8_t* p, uint64_t v);
uint16_t GetU16(const uint8_t* p);
uint32_t GetU32(const uint8_t* p);
uint64_t GetU64(const uint8_t* p);

// The user-visible texts. path names the recording; reason texts come from
// ReasonText.
namespace text {
// A system error number as a short reason in the chosen language ("磁盘已满"), the system's
// own text for numbers without one.
std::string ReasonText(int error);
std::string CannotCreate(const std::string& path, int error);
std::string WriteFailed(const std::string& path, int error);
std::string CannotRead(const std::string& path, int error);
std::string Empty(const std::string& path);
std::string NotARecording(const std::string& path);
std::string TruncatedHeader(const std::string& path, uint64_t have, uint64_t need);
std::string NewerVersion(const std::string& path, unsigned version);
std::string BadValue(const std::string& path, const std::string& what, uint64_t value,
                     const std::string& allowed);
std::string Cut(const std::string& path, uint64_t offset);
}  // namespace text

}  // namespace recording

// What a recording says about the line and the frames it carried.
struct RecordingHeader {
    // The file's format version and header length (the reader fills them in;
    // the writer always writes kFormatVersion and kHeaderSize).
    uint16_t version = recording::kFormatVersion;
    uint16_t headerLength = recording::kHeaderSize;
    std::string tool = recording::ToolText();  // At most kToolFieldSize bytes are kept.
    uint32_t baud = 115200;
    uint8_t headerByte = 255;
    recording::PixelFormat format = recording::PixelFormat::Grayscale;
    uint32_t rows = 60;
    uint32_t columns = 80;
    // Microseconds since the Unix epoch; 0 lets the writer take the current time.
    uint64_t startMicroseconds = 0;
    // The stream format's text (stream::FormatToText); empty for the header
    // byte's format, which files without the field were recorded in.
    std::string streamFormat;
};
