#include "capture/PngEncoder.h"

#include <zlib.h>

#include <cstdlib>
#include <cstring>

namespace {

void Put32(std::vector<uint8_t>& out, uint32_t v) {
    out.push_back(uint8_t(v >> 24));
    out.push_back(uint8_t(v >> 16));
    out.push_back(uint8_t(v >> 8));
    out.push_back(uint8_t(v));
}

void Chunk(std::vector<uint8_t>& out, const char type[4], const uint8_t* data, size_t n) {
    Put32(out, uint32_t(n));
    const size_t at = out.size();
    out.insert(out.end(), type, type + 4);
    if (n > 0)
        out.insert(out.end(), data, data + n);
    Put32(out, uint32_t(crc32(0, out.data() + at, uInt(n + 4))));
}

uint8_t Paeth(int a, int b, int c) {
    const int p = a + b - c, pa = std::abs(p - a), pb = std::abs(p - b), pc = std::abs(p - c);
    return uint8_t(pa <= pb && pa <= pc ? a : pb <= pc ? b : c);
}

// Each row with the filter whose output bytes, read as signed, add up to the
// least (the usual heuristic): smooth pictures compress well.
std::vector<uint8_t> Filtered(const uint8_t* pixels, uint32_t width, uint32_t height, int bpp) {
    const size_t stride = size_t(width) * bpp;
    std::vector<uint8_t> out;
    out.reserve((stride + 1) * height);
    std::vector<uint8_t> trial[5];
    for (auto& t : trial)
        t.resize(stride);
    const std::vector<uint8_t> zero(stride, 0);
    for (uint32_t y = 0; y < height; ++y) {
        const uint8_t* row = pixels + stride * y;
        const uint8_t* up = y > 0 ? row - stride : zero.data();
        for (size_t i = 0; i < stride; ++i) {
            const int a = i >= size_t(bpp) ? row[i - bpp] : 0;
            const int c = i >= size_t(bpp) ? up[i - bpp] : 0;
            const int b = up[i];
            trial[0][i] = row[i];
            trial[1][i] = uint8_t(row[i] - a);
            trial[2][i] = uint8_t(row[i] - b);
            trial[3][i] = uint8_t(row[i] - ((a + b) >> 1));
            trial[4][i] = uint8_t(row[i] - Paeth(a, b, c));
        }
        int best = 0;
        uint64_t bestSum = UINT64_MAX;
        for (int f = 0; f < 5; ++f) {
            uint64_t sum = 0;
            for (uint8_t v : trial[f])
                sum += v < 128 ? v : 256 - v;
            if (sum < bestSum) {
                bestSum = sum;
                best = f;
            }
        }
        out.push_back(uint8_t(best));
        out.insert(out.end(), trial[best].begin(), trial[best].end());
    }
    return out;
}

}  // namespace

std::vector<uint8_t> EncodePng(const uint8_t* pixels, uint32_t width, uint32_t height,
                               int channels) {
    if (width == 0 || height == 0 || width > 0x7FFFFFFFu || height > 0x7FFFFFFFu ||
        (channels != 1 && channels != 3))
        return {};
    const std::vector<uint8_t> raw = Filtered(pixels, width, height, channels);
    uLongf packedSize = compressBound(uLong(raw.size()));
    std::vector<uint8_t> packed(packedSize);
    if (compress2(packed.data(), &packedSize, raw.data(), uLong(raw.size()), 6) != Z_OK)
        return {};
    packed.resize(packedSize);

    static const uint8_t kSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    std::vector<uint8_t> out(kSignature, kSignature + 8);
    std::vector<uint8_t> ihdr;
    Put32(ihdr, width);
    Put32(ihdr, height);
    ihdr.push_back(8);                      // bits per sample
    ihdr.push_back(channels == 1 ? 0 : 2);  // grayscale or truecolour
    ihdr.insert(ihdr.end(), {0, 0, 0});     // deflate, adaptive filters, no interlace
    Chunk(out, "IHDR", ihdr.data(), ihdr.size());
    Chunk(out, "IDAT", packed.data(), packed.size());
    Chunk(out, "IEND", nullptr, 0);
    return out;
}
