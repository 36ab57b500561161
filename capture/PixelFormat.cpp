#include "capture/PixelFormat.h"

#include <algorithm>

#include "stream/ColourConversion.h"

namespace pixel {

uint32_t GrayToRgb(uint8_t value) {
    return stream::GrayToRgb(value);
}

uint32_t UyvToRgb(uint8_t u, uint8_t y, uint8_t v) {
    return stream::UyvToRgb(u, y, v);
}

void RgbToUyv(uint8_t r, uint8_t g, uint8_t b, uint8_t& u, uint8_t& y, uint8_t& v) {
    stream::RgbToUyv(r, g, b, u, y, v);
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
