// The colour conversions every encoding shares: gray and U, Y, V to screen
// colours and back. capture/PixelFormat's pixel:: functions are these.
#pragma once

#include <cstdint>

namespace stream {

// 0xRRGGBB of a grayscale byte.
uint32_t GrayToRgb(uint8_t value);

// 0xRRGGBB of a U, Y, V triplet:
// yc = (Y - 16) * 1.164, red = yc + (V - 128) * 1.596,
// green = yc - (V - 128) * 0.813 - (U - 128) * 0.391, blue = yc + (U - 128) * 2.018,
// each channel truncated toward zero and kept inside 0..255.
uint32_t UyvToRgb(uint8_t u, uint8_t y, uint8_t v);

// The U, Y, V triplet of an RGB colour (studio-swing BT.601, rounded, kept in
// 0..255).
void RgbToUyv(uint8_t r, uint8_t g, uint8_t b, uint8_t& u, uint8_t& y, uint8_t& v);

}  // namespace stream
