#include "capture/PixelProbe.h"

namespace pixel {

namespace {

// Bytes per pixel of a format the passes draw, 0 for any other.
uint64_t BytesPerPixel(uint8_t format) {
    return format == kGray ? 1 : format == kUyv ? 3 : 0;
}

bool Whole(const CFrameCopy& frame) {
    const uint64_t size = BytesPerPixel(frame.format);
    return size != 0 && frame.bytes.size() >= uint64_t{frame.rows} * frame.columns * size;
}

}  // namespace

bool ProbeAt(const CFrameCopy& frame, const Geometry& g, int64_t x, int64_t y, Probe& probe) {
    if (g.block == 0 || x < 0 || y < 0 || !Whole(frame))
        return false;
    const uint64_t displayColumn = static_cast<uint64_t>(x) / g.block;
    const uint64_t displayRow = static_cast<uint64_t>(y) / g.block;
    if (displayColumn >= g.displayColumns || displayRow >= g.displayRows)
        return false;
    const uint64_t row = displayRow * g.rowStep;
    const uint64_t column = displayColumn * g.columnStep;
    if (row >= frame.rows || column >= frame.columns)
        return false;
    const uint64_t size = BytesPerPixel(frame.format);
    const uint8_t* p = frame.bytes.data() + (row * frame.columns + column) * size;
    probe = Probe{};
    probe.row = static_cast<uint32_t>(row);
    probe.column = static_cast<uint32_t>(column);
    probe.format = frame.format;
    if (frame.format == kGray) {
        probe.value = p[0];
        probe.rgb = GrayToRgb(p[0]);
    } else {
        probe.u = p[0];
        probe.value = p[1];
        probe.v = p[2];
        probe.rgb = UyvToRgb(p[0], p[1], p[2]);
    }
    return true;
}

Histogram ValueHistogram(const CFrameCopy& frame) {
    Histogram counts{};
    if (!Whole(frame))
        return counts;
    const uint64_t size = BytesPerPixel(frame.format);
    const uint64_t pixels = uint64_t{frame.rows} * frame.columns;
    // The value is the first byte of a grayscale pixel, the second (Y) of U, Y, V.
    const uint8_t* bytes = frame.bytes.data() + (size == 3 ? 1 : 0);
    for (uint64_t i = 0; i < pixels; ++i)
        ++counts[bytes[i * size]];
    return counts;
}

}  // namespace pixel
