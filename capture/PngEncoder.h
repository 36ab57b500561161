// PNG files of 8-bit pictures without Qt, on zlib: what both the window and
// the command line save, so a frame saved by either is the same file byte for
// byte. Deterministic: the same pixels always give the same bytes.
#pragma once

#include <cstdint>
#include <vector>

// A PNG file of `height` rows of `width` pixels, `channels` bytes each (1:
// grayscale, 3: R, G, B), rows back to back. Empty when the sizes are 0 or
// larger than PNG allows.
std::vector<uint8_t> EncodePng(const uint8_t* pixels, uint32_t width, uint32_t height,
                               int channels);
