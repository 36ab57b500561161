// What raw pixel bytes are: given frames of one length, which encoding and
// which row length lay them out as a picture. A camera picture is smooth: a
// pixel is like the one below it and the one beside it, much more than like
// one far away. Every layout that fits the length is read back through
// PixelEncoding and measured that way; the smoothest wins, and only clearly
// (a flat picture, a repeating one, two readings alike are doubts, never a
// guess passed off as sure).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "stream/PixelEncoding.h"

namespace stream {

// One frame's payload bytes.
struct PixelSpan {
    const uint8_t* data = nullptr;
    size_t size = 0;
};

// One way to lay a payload out.
struct PixelLayout {
    Encoding encoding = Encoding::Gray8;
    uint32_t width = 0;
    uint32_t height = 0;
    // Differences between neighbours (below and beside) against those between
    // far pixels: near 0 for a camera picture read right, near 1 for noise.
    double roughness = 1;
    // The same for rows alone (over a few pixels, against sensor noise):
    // what tells widths apart.
    double vertical = 1;
    bool plausible = true;  // a camera's proportions (sides at most 4:1 apart)
};

struct PixelClassification {
    std::vector<PixelLayout> layouts;  // best first; empty when no layout fits the length
    bool confident = false;            // the first clearly wins
    std::vector<std::string> doubts;   // why not, in the chosen language
    std::string evidence;              // one Chinese line: what decided
};

struct PixelHints {
    // The geometry when the line carries it (0: find it).
    uint32_t width = 0;
    uint32_t height = 0;
    // The encodings to consider; empty: every encoding of raw pixels (not
    // Page, not JPEG).
    std::vector<Encoding> encodings;
    // The page's rows and columns: between two layouts equally smooth (a
    // picture that repeats) the one the page is set to, never more.
    uint32_t pageRows = 0;
    uint32_t pageColumns = 0;
};

// The layouts of frames all `frames[0].size` bytes long (longer ones are cut,
// shorter ones left out); up to the first four frames are measured.
PixelClassification ClassifyPixels(const std::vector<PixelSpan>& frames, const PixelHints& hints);

// Whether a payload's bytes look like packed 1-bit pixels (runs of equal
// bits, some bytes neither 00 nor FF) rather than gray bytes; a payload of
// nothing but 00 and FF is 0/255 gray, never bits.
bool LooksLikeBits(const uint8_t* data, size_t size);

}  // namespace stream
