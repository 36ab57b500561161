// Which stream format a camera board sends, told from its bytes alone: JPEG
// markers, the known start and end markers (checked by the frame size as the
// framers check them), the self-describing header, the packet protocol, the
// header byte, and headerless frames by how each frame is like the one before.
// Each reading says what it saw; the verdict is confident only when one
// reading clearly wins and its picture reads clearly (a confident answer that
// is wrong is the one failure this must never make), and otherwise says why
// not, and how many more bytes would settle it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "stream/PixelClassifier.h"
#include "stream/StreamFormat.h"

namespace stream {

// What is known besides the bytes.
struct RecogniserContext {
    // The page's settings: rows, columns, colour (0 gray, 1 colour, -1 not
    // known) and the header byte (-1: not known; 255 is tried).
    uint32_t rows = 0;
    uint32_t columns = 0;
    int colour = -1;
    int headerByte = -1;
    // The format the bytes were received with: a custom marker format's
    // markers are looked for too, and a headerless reading keeps its requests.
    bool hasFormat = false;
    CStreamFormat format;
    // Offsets in the bytes before which the line had been quiet a while
    // (ascending; a live device's pauses, none for a file).
    std::vector<uint64_t> pauses;
};

// One way to read the bytes.
struct FormatReading {
    std::string presetId;  // the preset's id, or "custom"
    CStreamFormat format;  // framing, encoding, markers and requests as that preset has them
    Encoding encoding = Encoding::Gray8;  // the pixels as sent (the header byte's: Gray8 or Uyv)
    uint32_t rows = 0;
    uint32_t columns = 0;
    bool geometryFromWire = false;    // rows and columns come from the frames' own headers
    uint8_t headerByte = 0;           // the header byte format's
    uint32_t frames = 0;              // whole frames seen
    uint64_t frameBytes = 0;          // from one frame's start to the next (0: varies, JPEG)
    double score = 0;                 // 0..1: share of the bytes it explains, less when unsure
    bool sound = false;               // enough frames, and their picture reads clearly
    std::string evidence;             // one line, Chinese
    std::vector<std::string> doubts;  // what this reading leaves open, Chinese
};

struct FormatRecognition {
    enum class Verdict {
        Unknown,    // not a format this recognises (the header byte analysis takes over)
        Uncertain,  // readings, none sure enough
        Confident,  // readings[0], clearly
    };
    Verdict verdict = Verdict::Unknown;
    std::vector<FormatReading> readings;  // best first
    std::vector<std::string> doubts;      // why not confident, Chinese
    uint64_t moreBytesNeeded = 0;         // when too few frames: about how many more bytes would do
    std::string verdictText;              // one line, Chinese
};

// Looks at the first 4 MiB of data[0..size).
FormatRecognition RecogniseFormat(const uint8_t* data, size_t size,
                                  const RecogniserContext& context = {});

// tavix-camsim's arguments that send what the reading describes, e.g.
// {"--format", "jpeg", "--rows", "240", "--columns", "320"}.
std::vector<std::string> CamsimArguments(const FormatReading& reading);
// The same as one line for a shell (arguments with spaces or commas quoted).
std::string CamsimCommandLine(const FormatReading& reading);

}  // namespace stream
