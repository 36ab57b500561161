#include "capture/FrameCopy.h"

#include "capture/PixelFormat.h"

std::vector<uint8_t> CFrameCopy::ShownValues(uint32_t& shownRows, uint32_t& shownColumns) const {
    const pixel::Geometry g = pixel::PassGeometry(rows, columns, rowGap, columnGap, false, 0, 0);
    shownRows = static_cast<uint32_t>(g.displayRows);
    shownColumns = static_cast<uint32_t>(g.displayColumns);
    const uint64_t bytesPerPixel = format == pixel::kUyv ? 3 : 1;
    if (bytes.size() < uint64_t{rows} * columns * bytesPerPixel) {
        shownRows = shownColumns = 0;
        return {};
    }
    std::vector<uint8_t> values;
    values.reserve(uint64_t{shownRows} * shownColumns);
    for (uint64_t r = 0; r < rows; r += g.rowStep)
        for (uint64_t c = 0; c < columns; c += g.columnStep) {
            const uint64_t index = (r * columns + c) * bytesPerPixel;
            values.push_back(bytes[format == pixel::kUyv ? index + 1 : index]);
        }
    return values;
}
