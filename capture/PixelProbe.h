// What lies under a point of the picture: the frame pixel a drawing pass put
// there, with its bytes and the colour it was drawn in; and the frame's
// value histogram. Pure functions over a kept frame and the geometry it was
// drawn with, for inspecting the picture without touching the surface.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "capture/FrameCopy.h"
#include "capture/PixelFormat.h"

namespace pixel {

// A frame pixel as found under a surface point.
struct Probe {
    uint32_t row = 0, column = 0;  // in the frame, from 0
    uint8_t format = kGray;
    stream::Encoding encoding = stream::Encoding::Gray8;  // the frame's, resolved
    uint8_t value = 0;                                    // grayscale: the listing value; colour: Y
    uint8_t u = 0, v = 0;                                 // colour only
    uint32_t rgb = 0;                                     // 0xRRGGBB as drawn in colour
    std::string text;  // the pixel as its encoding tells it (stream::PixelText)
};

// The frame pixel drawn at surface point (x, y) when the frame was drawn
// with geometry `g`: a shown pixel (display row r, display column c) covers
// the block x block square at (c * block, r * block) and is frame pixel
// (r * rowStep, c * columnStep). False where no pixel is drawn: outside the
// shown rows and columns, with a block of 0, or a frame shorter than its
// size says.
bool ProbeAt(const CFrameCopy& frame, const Geometry& g, int64_t x, int64_t y, Probe& probe);

// How many of the frame's pixels have each value: the byte of a grayscale
// pixel, the Y of a colour one (the brightness of any other encoding);
// every pixel of the frame, gaps included.
// All zero for a frame shorter than its size says.
using Histogram = std::array<uint64_t, 256>;
Histogram ValueHistogram(const CFrameCopy& frame);

}  // namespace pixel
