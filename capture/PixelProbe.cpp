#include "capture/PixelProbe.h"

namespace pixel {

bool ProbeAt(const CFrameCopy& frame, const Geometry& g, int64_t x, int64_t y, Probe& probe) {
    if (g.block == 0 || x < 0 || y < 0 || !frame.Whole())
        return false;
    const uint64_t displayColumn = static_cast<uint64_t>(x) / g.block;
    const uint64_t displayRow = static_cast<uint64_t>(y) / g.block;
    if (displayColumn >= g.displayColumns || displayRow >= g.displayRows)
        return false;
    const uint64_t row = displayRow * g.rowStep;
    const uint64_t column = displayColumn * g.columnStep;
    if (row >= frame.rows || column >= frame.columns)
        return false;
    const auto r = static_cast<uint32_t>(row), c = static_cast<uint32_t>(column);
    probe = Probe{};
    probe.row = r;
    probe.column = c;
    probe.format = frame.format;
    probe.encoding = frame.Encoding();
    probe.rgb = frame.PixelRgb(r, c);
    probe.text = frame.PixelText(r, c);
    if (stream::Info(probe.encoding).gray || probe.encoding == stream::Encoding::Gray8) {
        probe.value = frame.ListingValue(r, c);
    } else {
        probe.u = frame.PixelChannel(r, c, 0);
        probe.value = frame.PixelChannel(r, c, 1);
        probe.v = frame.PixelChannel(r, c, 2);
    }
    return true;
}

Histogram ValueHistogram(const CFrameCopy& frame) {
    Histogram counts{};
    if (!frame.Whole())
        return counts;
    // The design's encodings by their bytes: a frame per drawn frame.
    const stream::Encoding encoding = frame.Encoding();
    if (encoding == stream::Encoding::Gray8 || encoding == stream::Encoding::Uyv) {
        const uint64_t size = encoding == stream::Encoding::Uyv ? 3 : 1;
        const uint64_t pixels = uint64_t{frame.rows} * frame.columns;
        // The value is the byte of a grayscale pixel, the second (Y) of U, Y, V.
        const uint8_t* bytes = frame.bytes.data() + (size == 3 ? 1 : 0);
        for (uint64_t i = 0; i < pixels; ++i)
            ++counts[bytes[i * size]];
        return counts;
    }
    for (uint32_t r = 0; r < frame.rows; ++r)
        for (uint32_t c = 0; c < frame.columns; ++c)
            ++counts[frame.PixelLuma(r, c)];
    return counts;
}

}  // namespace pixel
