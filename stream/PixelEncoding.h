// How a frame's payload bytes become pixels: every pixel encoding the tool
// reads, as pure functions on a row's bytes. The drawing passes, the
// inspector, the picture files and the simulator all go through these, so a
// pixel means the same thing everywhere.
#pragma once

#include <cstdint>
#include <string>

namespace stream {

enum class Encoding : uint8_t {
    Page,      // the page's own: 8-bit gray on the grayscale page, U,Y,V on the colour page
    Gray8,     // one byte per pixel
    Uyv,       // U, Y, V: three bytes per pixel
    Rgb565Be,  // two bytes per pixel, high byte first: RRRRRGGG GGGBBBBB
    Rgb565Le,  // the same, low byte first
    Rgb888,    // R, G, B: three bytes per pixel
    Yuyv,      // 4:2:2, two pixels per four bytes: Y0 U Y1 V
    Uyvy,      // U Y0 V Y1
    Yvyu,      // Y0 V Y1 U
    YuyvLuma,  // the Y bytes of Y0 U Y1 V (or Y0 V Y1 U) alone, as gray
    UyvyLuma,  // the Y bytes of U Y0 V Y1 alone, as gray
    Bits1,     // packed 1-bit: ceil(w / 8) bytes a row, most significant bit leftmost, 1 = black
    Jpeg,      // a JPEG picture per frame, shown in colour
    JpegGray,  // a JPEG picture per frame, shown as gray
};
constexpr int kEncodingCount = 14;

struct EncodingInfo {
    Encoding encoding;
    const char* id;     // settings and command-line name: "gray8", "rgb565be", ...
    const char* label;  // Chinese; shown through EncodingLabel
    bool gray;          // grayscale: shown on the grayscale page with its listing
    bool compressed;    // a frame's size is not set by its geometry (JPEG)
};

// Every encoding but Page has an entry; Page's says "随页面".
const EncodingInfo& Info(Encoding encoding);
// Its label in the chosen language, for display.
const char* EncodingLabel(Encoding encoding);
// By id; false when the text names none.
bool EncodingFromId(const std::string& id, Encoding& encoding);

// Bytes of one row of `width` pixels; 0 for JPEG. Odd widths of 4:2:2 take
// the last pair whole.
uint64_t RowBytes(Encoding encoding, uint32_t width);
// Bytes of a frame of `width` x `height` pixels; 0 for JPEG; UINT64_MAX when
// beyond 64 bits.
uint64_t FrameBytes(Encoding encoding, uint32_t width, uint32_t height);
// Complete rows among the first `received` payload bytes, at most `height`
// (JPEG: `height` for any bytes; the engine counts a compressed frame only
// once it is whole).
uint32_t CompleteRows(Encoding encoding, uint64_t received, uint32_t width, uint32_t height);

// The pixel at `column` of the row whose bytes start at `row` (RowBytes of
// them), as 0xRRGGBB. U,Y,V and 4:2:2 use the same conversion as the
// design's U,Y,V (UyvToRgb, ColourConversion.h); gray g is 0xgggggg. Page
// reads as Gray8 (resolve it first); JPEG reads a decoded row: R, G, B per
// pixel for Jpeg, one gray byte for JpegGray.
uint32_t PixelRgb(Encoding encoding, const uint8_t* row, uint32_t column);
// PixelRgb of `count` pixels of one row, at columns first, first + step, …,
// into out: what a drawing pass turns into a screen line.
void RowRgb(Encoding encoding, const uint8_t* row, uint32_t first, uint32_t step, uint32_t count,
            uint32_t* out);
// Its brightness 0..255 (gray byte, Y, BT.601 luma of RGB; 1-bit: 0 black,
// 255 white): what a threshold compares and the grayscale page draws.
uint8_t PixelLuma(Encoding encoding, const uint8_t* row, uint32_t column);
// PixelLuma of `count` pixels of one row, as RowRgb.
void RowLuma(Encoding encoding, const uint8_t* row, uint32_t first, uint32_t step, uint32_t count,
             uint8_t* out);
// Its value in the 0/1 listing: the brightness, except 1-bit, whose listing
// shows the bits as sent (255 for a 1 bit, 0 for a 0 bit).
uint8_t ListingValue(Encoding encoding, const uint8_t* row, uint32_t column);
// One of its U (0), Y (1), V (2) bytes: as sent for U,Y,V and 4:2:2, from the
// colour (BT.601 studio swing, RgbToUyv) for RGB; gray: Y = the
// byte, U = V = 128.
uint8_t PixelChannel(Encoding encoding, const uint8_t* row, uint32_t column, int channel);
// What the inspector says of it, e.g. "RGB565 0xF800 = R 255 G 0 B 0",
// "Y 16 U 128 V 128", "灰度 37", "位 1（黑）".
std::string PixelText(Encoding encoding, const uint8_t* row, uint32_t column);

// Writes one pixel of colour 0xRRGGBB into a row of `encoding`: the inverse
// of PixelRgb, for the simulator and for picture files opened as frames.
// 4:2:2 writes the pixel's Y, and at an even column the pair's U and V from
// this pixel (the Y-only encodings: the luma, U = V = 128). 1-bit sets the
// bit for a dark pixel (luma < 128). JPEG writes a decoded row.
void PutPixel(Encoding encoding, uint8_t* row, uint32_t column, uint32_t rgb);

}  // namespace stream
