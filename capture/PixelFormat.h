// Pixel formats and picture geometry as pure functions: how a frame's bytes
// become screen colours, and which rows and columns a drawing pass shows at
// which size. The renderer draws with them; anything that must show a pixel
// exactly as the screen does uses them too.
#pragma once

#include <cstdint>

namespace pixel {

// The engine's m_byFormat values.
constexpr uint8_t kGray = 0;  // one byte per pixel
constexpr uint8_t kUyv = 1;   // U, Y, V: three bytes per pixel

// 0xRRGGBB of a grayscale byte.
uint32_t GrayToRgb(uint8_t value);

// 0xRRGGBB of a U, Y, V triplet:
// yc = (Y - 16) * 1.164, red = yc + (V - 128) * 1.596,
// green = yc - (V - 128) * 0.813 - (U - 128) * 0.391, blue = yc + (U - 128) * 2.018,
// each channel truncated toward zero and kept inside 0..255.
uint32_t UyvToRgb(uint8_t u, uint8_t y, uint8_t v);

// The U, Y, V triplet of an RGB colour (studio-swing BT.601, rounded, kept in
// 0..255), for a picture file shown as a colour frame.
void RgbToUyv(uint8_t r, uint8_t g, uint8_t b, uint8_t& u, uint8_t& y, uint8_t& v);

// Which rows and columns a pass shows, and how big.
struct Geometry {
    uint64_t rowStep, columnStep;          // a gap of g shows every (g + 1)th
    uint64_t displayRows, displayColumns;  // rows and columns shown
    uint8_t block;                         // screen pixels per shown pixel, each way
};

// Without scaling a shown pixel is one screen pixel; with it, the largest
// square that fits the area's width and height for every shown column and
// row (at most 255, 0 when nothing is shown). Steps are 64-bit: a gap of
// 4294967295 is a step past every row, not 0.
Geometry PassGeometry(uint32_t rows, uint32_t columns, uint32_t rowGap, uint32_t columnGap,
                      bool scaleToArea, int areaWidth, int areaHeight);

// The frame's complete rows among `received` bytes, at most `rows`: colour
// rows take three bytes per pixel, except for a listing of the raw bytes.
uint32_t CompleteRows(uint32_t received, uint32_t rows, uint32_t columns, uint8_t format,
                      bool listingOnly);

}  // namespace pixel
