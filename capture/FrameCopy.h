// A copy of one complete frame exactly as the board sent it (header byte
// excluded), with the shape it was drawn in.
#pragma once

#include <cstdint>
#include <string>
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
    uint64_t number = 0;  // frames drawn whole since the capture started, from 1
    // From the read that brought its last byte to its last row drawn.
    uint64_t latencyMicroseconds = 0;
    std::vector<uint8_t> bytes;  // the payload as received (a JPEG frame: the JPEG file)
    // A compressed frame's pixels as drawn: R, G, B a pixel (Jpeg) or one
    // gray byte (JpegGray), row after row; empty for the other encodings.
    std::vector<uint8_t> decoded;

    bool Empty() const { return bytes.empty(); }
    // The encoding with Page resolved by `format`.
    stream::Encoding Encoding() const;
    // Every pixel is there: the bytes (a compressed frame: the decoded
    // pixels) cover rows x columns.
    bool Whole() const;
    // The pixel at (row, column), which must lie inside a whole frame: its
    // colour 0xRRGGBB, brightness, listing value, U (0) / Y (1) / V (2)
    // byte and the inspector's text, by the frame's encoding (a JPEG
    // frame's from its decoded pixels).
    uint32_t PixelRgb(uint32_t row, uint32_t column) const;
    uint8_t PixelLuma(uint32_t row, uint32_t column) const;
    uint8_t ListingValue(uint32_t row, uint32_t column) const;
    uint8_t PixelChannel(uint32_t row, uint32_t column, int channel) const;
    std::string PixelText(uint32_t row, uint32_t column) const;
    // The listing values of the shown pixels (every (gap + 1)th row and
    // column), row by row: for gray the pixel values, for colour the Y of
    // each pixel, for 1-bit the bits as sent (0 or 255).
    std::vector<uint8_t> ShownValues(uint32_t& shownRows, uint32_t& shownColumns) const;

private:
    // How the pixels the functions above read are encoded (a JPEG frame's
    // decoded pixels: RGB888 or Gray8), and where a row of them starts.
    stream::Encoding PixelEncoding() const;
    const uint8_t* Row(uint32_t row) const;
};
