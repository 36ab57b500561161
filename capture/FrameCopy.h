// A copy of one complete frame exactly as the board sent it (header byte
// excluded), with the shape it was drawn in.
#pragma once

#include <cstdint>
#include <vector>

struct CFrameCopy {
    uint32_t rows = 0;
    uint32_t columns = 0;
    uint8_t format = 0;  // pixel::kGray or pixel::kUyv
    uint32_t rowGap = 0;
    uint32_t columnGap = 0;
    uint64_t number = 0;         // frames drawn whole since the capture started, from 1
    std::vector<uint8_t> bytes;  // rows x columns bytes, or x 3 for colour

    bool Empty() const { return bytes.empty(); }
    // The bytes of the shown pixels (every (gap + 1)th row and column), row
    // by row: for gray the pixel values, for colour the Y of each pixel.
    std::vector<uint8_t> ShownValues(uint32_t& shownRows, uint32_t& shownColumns) const;
};
