#include "capture/FrameCopy.h"

#include "capture/PixelFormat.h"

stream::Encoding CFrameCopy::Encoding() const {
    if (encoding != stream::Encoding::Page)
        return encoding;
    return format == pixel::kUyv ? stream::Encoding::Uyv : stream::Encoding::Gray8;
}

stream::Encoding CFrameCopy::PixelEncoding() const {
    switch (Encoding()) {
        case stream::Encoding::Jpeg:
            return stream::Encoding::Rgb888;
        case stream::Encoding::JpegGray:
            return stream::Encoding::Gray8;
        default:
            return Encoding();
    }
}

bool CFrameCopy::Whole() const {
    if (rows == 0 || columns == 0)
        return false;
    const bool compressed = stream::Info(Encoding()).compressed;
    const std::vector<uint8_t>& pixels = compressed ? decoded : bytes;
    return pixels.size() >= stream::FrameBytes(PixelEncoding(), columns, rows);
}

const uint8_t* CFrameCopy::Row(uint32_t row) const {
    const bool compressed = stream::Info(Encoding()).compressed;
    const std::vector<uint8_t>& pixels = compressed ? decoded : bytes;
    return pixels.data() + stream::RowBytes(PixelEncoding(), columns) * row;
}

uint32_t CFrameCopy::PixelRgb(uint32_t row, uint32_t column) const {
    return stream::PixelRgb(PixelEncoding(), Row(row), column);
}

uint8_t CFrameCopy::PixelLuma(uint32_t row, uint32_t column) const {
    return stream::PixelLuma(PixelEncoding(), Row(row), column);
}

uint8_t CFrameCopy::ListingValue(uint32_t row, uint32_t column) const {
    return stream::ListingValue(PixelEncoding(), Row(row), column);
}

uint8_t CFrameCopy::PixelChannel(uint32_t row, uint32_t column, int channel) const {
    return stream::PixelChannel(PixelEncoding(), Row(row), column, channel);
}

std::string CFrameCopy::PixelText(uint32_t row, uint32_t column) const {
    return stream::PixelText(PixelEncoding(), Row(row), column);
}

std::vector<uint8_t> CFrameCopy::ShownValues(uint32_t& shownRows, uint32_t& shownColumns) const {
    const pixel::Geometry g = pixel::PassGeometry(rows, columns, rowGap, columnGap, false, 0, 0);
    shownRows = static_cast<uint32_t>(g.displayRows);
    shownColumns = static_cast<uint32_t>(g.displayColumns);
    if (!Whole()) {
        shownRows = shownColumns = 0;
        return {};
    }
    std::vector<uint8_t> values;
    values.reserve(uint64_t{shownRows} * shownColumns);
    for (uint64_t r = 0; r < rows; r += g.rowStep)
        for (uint64_t c = 0; c < columns; c += g.columnStep)
            values.push_back(ListingValue(static_cast<uint32_t>(r), static_cast<uint32_t>(c)));
    return values;
}
