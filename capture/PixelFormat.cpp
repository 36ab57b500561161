#include "capture/PixelFormat.h"

#include <algorithm>
#include <cmath>

namespace pixel {

namespace {

// The conversion's terms per byte value, computed as the formula does, so
// sums of them give exactly the formula's results.
struct YuvTables {
    double y[256], vRed[256], vGreen[256], uGreen[256], uBlue[256];
    YuvTables() {
        for (int i = 0; i < 256; ++i) {
            const double d = i;
            y[i] = (d - 16) * 1.164;
            vRed[i] = (d - 128) * 1.596;
            vGreen[i] = (d - 128) * 0.813;
            uGreen[i] = (d - 128) * 0.391;
            uBlue[i] = (d - 128) * 2.018;
        }
    }
};

const YuvTables& Yuv() {
    static const YuvTables tables;
    return tables;
}

// Truncates toward zero, then keeps the channel inside 0..255.
uint32_t Channel(double value) {
    return static_cast<uint32_t>(std::clamp(static_cast<int>(value), 0, 255));
}

}  // namespace

uint32_t GrayToRgb(uint8_t value) {
    const uint32_t v = value;
    return (v << 16) | (v << 8) | v;
}

uint32_t UyvToRgb(uint8_t u, uint8_t y, uint8_t v) {
    const YuvTables& k = Yuv();
    const double yc = k.y[y];
    return (Channel(yc + k.vRed[v]) << 16) | (Channel(yc - k.vGreen[v] - k.uGreen[u]) << 8) |
           Channel(yc + k.uBlue[u]);
}

void RgbToUyv(uint8_t r, uint8_t g, uint8_t b, uint8_t& u, uint8_t& y, uint8_t& v) {
    const auto byte = [](double value) {
        return static_cast<uint8_t>(std::clamp(std::lround(value), 0L, 255L));
    };
    y = byte(16 + 0.257 * r + 0.504 * g + 0.098 * b);
    u = byte(128 - 0.148 * r - 0.291 * g + 0.439 * b);
    v = byte(128 + 0.439 * r - 0.368 * g - 0.071 * b);
}

Geometry PassGeometry(uint32_t rows, uint32_t columns, uint32_t rowGap, uint32_t columnGap,
                      bool scaleToArea, int areaWidth, int areaHeight) {
    Geometry g{};
    g.rowStep = uint64_t{rowGap} + 1;
    g.columnStep = uint64_t{columnGap} + 1;
    g.displayRows = (uint64_t{rows} + rowGap) / g.rowStep;
    g.displayColumns = (uint64_t{columns} + columnGap) / g.columnStep;
    if (!scaleToArea) {
        g.block = 1;
    } else if (g.displayRows == 0 || g.displayColumns == 0) {
        g.block = 0;
    } else {
        // Each side is kept within 0..255 rather than cut to its low 8 bits.
        const int64_t w = std::clamp<int64_t>(
            std::max(areaWidth, 0) / static_cast<int64_t>(g.displayColumns), 0, 255);
        const int64_t h = std::clamp<int64_t>(
            std::max(areaHeight, 0) / static_cast<int64_t>(g.displayRows), 0, 255);
        g.block = static_cast<uint8_t>(std::min(w, h));
    }
    return g;
}

uint32_t CompleteRows(uint32_t received, uint32_t rows, uint32_t columns, uint8_t format,
                      bool listingOnly) {
    if (columns == 0)
        return 0;
    const uint32_t complete =
        (format == kUyv && !listingOnly) ? (received / 3) / columns : received / columns;
    return std::min(complete, rows);
}

}  // namespace pixel
