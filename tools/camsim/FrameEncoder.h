#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "stream/PixelEncoding.h"
#include "stream/StreamFormat.h"
#include "tools/camsim/FrameSource.h"

namespace camsim {

// The picture a frame shows once received: R, G, B bytes per pixel, or one
// gray byte per pixel (the layout stream::CJpegDecoder decodes into).
struct Picture {
    uint32_t width = 0;
    uint32_t height = 0;
    bool gray = false;
    std::vector<uint8_t> pixels;
};

// One frame as a board of a stream format sends it, in parts, so that tests
// can compare each part and faults can be applied to the payload alone.
struct EncodedFrame {
    std::vector<uint8_t> header;   // Header byte, start marker, 20-byte header or new-frame packet.
    std::vector<uint8_t> payload;  // Pixel bytes, or the JPEG file.
    std::vector<uint8_t> trailer;  // End marker.
    std::vector<uint8_t> text;     // Packet framing: a debug-text packet among the pixels...
    size_t textAt = 0;             // ...before this payload byte.
    Picture picture;               // What the frame shows (JPEG: the picture encoded).

    // header, payload (with the text packet in its place), trailer.
    std::vector<uint8_t> Wire() const;
    // Drops payload byte `at` (a byte lost on the line), keeping the text
    // packet where it was among the other bytes.
    void LoseByte(size_t at);
};

// Turns a FrameSource's pictures into the frames of a stream format: the
// pixels through stream::PutPixel (JPEG through stream::CJpegDecoder::Encode),
// framed as the format's boards frame them:
//   header byte   the byte, then the payload
//   marker        the start marker, the payload, the end marker if any
//   described     D5 AA 96 5A, version 1, format (0 RGB565, 1 GRAY8), flags
//                 (bit 0: RGB565 low byte first), 0, u16 width, u16 height,
//                 u32 payload length, u32 frame counter (= frame index), all
//                 little-endian; then the payload
//   packet        00 04 11 width-low height-low (width bits 8-9 | height bits
//                 8-9 << 2 | pixel format << 4) XOR-of-the-four; pixel bytes
//                 carry check bits (RGB565 high byte: bit 3 = not bit 5; low
//                 byte: bit 5 = bit 3, bit 0 = 1; gray: bit 0 = column & 1,
//                 0 sent as 2), so none is ever 00
//   jpeg, headerless   the payload alone
class FrameEncoder {
public:
    // The source must be colour exactly when NeedsColour(encoding). Quality
    // 1..100 is for JPEG; text (packet framing only) goes into every frame as
    // a debug-text packet (command 13) after the first row of pixels.
    FrameEncoder(const stream::CStreamFormat& format, stream::Encoding encoding, uint8_t headerByte,
                 const FrameSource& source, int quality = 80, std::string text = {});

    // Whether the simulator can send `encoding` in `format` at rows x columns;
    // the reason when not.
    static bool Check(const stream::CStreamFormat& format, stream::Encoding encoding, int rows,
                      int columns, std::string* error);
    // Whether a picture for `encoding` comes in colour (R, G, B) or gray.
    static bool NeedsColour(stream::Encoding encoding);

    // Frame index; without `picture`, the picture is left empty (the board
    // streaming needs only the bytes).
    EncodedFrame Encode(uint64_t index, bool picture = true) const;

private:
    void Pixels(uint64_t index, bool picture, EncodedFrame& frame) const;
    void Frame(EncodedFrame& frame, uint64_t index) const;

    stream::CStreamFormat format_;
    stream::Encoding encoding_;
    uint8_t headerByte_;
    const FrameSource& source_;
    int quality_;
    std::string text_;
};

}  // namespace camsim
