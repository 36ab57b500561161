#include "stream/ColourConversion.h"

#include <algorithm>
#include <cmath>

namespace stream {

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

}  // namespace stream
