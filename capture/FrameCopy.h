// A copy of one complete frame exactly as the board sent it (header byte
// excluded), with the shape it was drawn in.
#pragma once

#include <cstdint>
#include <vector>

#include "stream/PixelEncoding.h"

struct CFrameCopy {
    uint32_t rows = 0;
    uint32_t columns = 0;
    uint8_t format = 0;  // the page it came from: pixel::kGray or pixel::kUyv
    // How `bytes` encode the pixels; Page: the design's, Gray8 or Uyv by
    // `format` (a frame drawn by the engine always names its own).
    stream::Encoding encoding = stream::Encoding::Page;
    uint32_t rowGap = 0;
    uint32_t columnGap = 0;
    uint64_t number = 0;         // frames drawn whole since the capture started, from 1
    std::vector<uint8_t> bytes;  // the payload as received (a JPEG frame: the JPEG file)
    // A compressed frame's pixels as drawn: R, G, B a pixel (Jpeg) or one
    // gray byte (JpegGray), row after row; empty for the other encodings.
    std::vector<uint8_t> decoded;

    bool Empty() const { return bytes.empty(); }
    // The bytes of the shown pixels (every (gap + 1)th row and column), row
    // by row: for gray the pixel values, for colour the Y of each pixel.
    std::vector<uint8_t> ShownValues(uint32_t& shownRows, uint32_t& shownColumns) const;
};
