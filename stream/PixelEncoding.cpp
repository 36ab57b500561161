#include "stream/PixelEncoding.h"

#include <algorithm>
#include <cstdio>

#include "settings/Translation.h"
#include "stream/ColourConversion.h"

namespace stream {

namespace {

const EncodingInfo kInfo[kEncodingCount] = {
    {Encoding::Page, "page", TX_NOOP("PixelEncoding", "随页面（灰度页 8 位灰度，彩色页 U,Y,V）"),
     false, false},
    {Encoding::Gray8, "gray8", TX_NOOP("PixelEncoding", "8 位灰度"), true, false},
    {Encoding::Uyv, "uyv", TX_NOOP("PixelEncoding", "U,Y,V（每像素 3 字节）"), false, false},
    {Encoding::Rgb565Be, "rgb565be", TX_NOOP("PixelEncoding", "RGB565 高字节在前"), false, false},
    {Encoding::Rgb565Le, "rgb565le", TX_NOOP("PixelEncoding", "RGB565 低字节在前"), false, false},
    {Encoding::Rgb888, "rgb888", "RGB888", false, false},
    {Encoding::Yuyv, "yuyv", TX_NOOP("PixelEncoding", "YUV 4:2:2（YUYV）"), false, false},
    {Encoding::Uyvy, "uyvy", TX_NOOP("PixelEncoding", "YUV 4:2:2（UYVY）"), false, false},
    {Encoding::Yvyu, "yvyu", TX_NOOP("PixelEncoding", "YUV 4:2:2（YVYU）"), false, false},
    {Encoding::YuyvLuma, "yuyv-y", TX_NOOP("PixelEncoding", "YUYV/YVYU 的 Y（灰度）"), true, false},
    {Encoding::UyvyLuma, "uyvy-y", TX_NOOP("PixelEncoding", "UYVY 的 Y（灰度）"), true, false},
    {Encoding::Bits1, "bits1", TX_NOOP("PixelEncoding", "1 位二值图（高位在左，1 为黑）"), true,
     false},
    {Encoding::Jpeg, "jpeg", "JPEG", false, true},
    {Encoding::JpegGray, "jpeg-gray", TX_NOOP("PixelEncoding", "JPEG（灰度显示）"), true, true},
};

// Where one pixel of a 4:2:2 row lies: its Y and its pair's U and V.
struct Yuv422 {
    uint8_t y, u, v;
};

inline Yuv422 Read422(Encoding encoding, const uint8_t* row, uint32_t column) {
    const uint8_t* b = row + static_cast<size_t>(column / 2) * 4;
    const bool odd = (column & 1) != 0;
    switch (encoding) {
        case Encoding::Uyvy:
        case Encoding::UyvyLuma:
            return {odd ? b[3] : b[1], b[0], b[2]};
        case Encoding::Yvyu:
            return {odd ? b[2] : b[0], b[3], b[1]};
        default:  // Yuyv, YuyvLuma
            return {odd ? b[2] : b[0], b[1], b[3]};
    }
}

inline uint16_t Read565(Encoding encoding, const uint8_t* row, uint32_t column) {
    const uint8_t* b = row + static_cast<size_t>(column) * 2;
    return encoding == Encoding::Rgb565Be ? static_cast<uint16_t>(b[0] << 8 | b[1])
                                          : static_cast<uint16_t>(b[1] << 8 | b[0]);
}

// 5/6/5 bits expanded to 8 by bit replication, so 0 stays 0 and full stays 255.
inline uint32_t Expand565(uint16_t value) {
    const uint32_t r5 = value >> 11, g6 = (value >> 5) & 0x3F, b5 = value & 0x1F;
    return (r5 << 3 | r5 >> 2) << 16 | (g6 << 2 | g6 >> 4) << 8 | (b5 << 3 | b5 >> 2);
}

inline bool Bit(const uint8_t* row, uint32_t column) {
    return (row[column / 8] >> (7 - column % 8) & 1) != 0;
}

// BT.601 luma of an RGB colour, rounded.
inline uint8_t Luma(uint32_t rgb) {
    const uint32_t r = rgb >> 16 & 0xFF, g = rgb >> 8 & 0xFF, b = rgb & 0xFF;
    return static_cast<uint8_t>((299 * r + 587 * g + 114 * b + 500) / 1000);
}

// The nearest of `levels` + 1 steps to an 8-bit channel.
inline uint32_t Quantize(uint32_t channel, uint32_t levels) {
    return (channel * levels + 127) / 255;
}

std::string Number(const char* format, unsigned a, unsigned b = 0, unsigned c = 0, unsigned d = 0) {
    char text[96];
    std::snprintf(text, sizeof text, format, a, b, c, d);
    return text;
}

}  // namespace

const EncodingInfo& Info(Encoding encoding) {
    const auto i = static_cast<size_t>(encoding);
    return kInfo[i < static_cast<size_t>(kEncodingCount) ? i : 0];
}

const char* EncodingLabel(Encoding encoding) {
    return tx::Tr("PixelEncoding", Info(encoding).label);
}

bool EncodingFromId(const std::string& id, Encoding& encoding) {
    for (const EncodingInfo& info : kInfo) {
        if (id == info.id) {
            encoding = info.encoding;
            return true;
        }
    }
    return false;
}

uint64_t RowBytes(Encoding encoding, uint32_t width) {
    const uint64_t w = width;
    switch (encoding) {
        case Encoding::Page:
        case Encoding::Gray8:
            return w;
        case Encoding::Uyv:
        case Encoding::Rgb888:
            return w * 3;
        case Encoding::Rgb565Be:
        case Encoding::Rgb565Le:
            return w * 2;
        case Encoding::Yuyv:
        case Encoding::Uyvy:
        case Encoding::Yvyu:
        case Encoding::YuyvLuma:
        case Encoding::UyvyLuma:
            return (w + 1) / 2 * 4;
        case Encoding::Bits1:
            return (w + 7) / 8;
        case Encoding::Jpeg:
        case Encoding::JpegGray:
            return 0;
    }
    return 0;
}

uint64_t FrameBytes(Encoding encoding, uint32_t width, uint32_t height) {
    const uint64_t row = RowBytes(encoding, width);
    // Saturates rather than wrapping to a small size that a buffer would get.
    if (height != 0 && row > UINT64_MAX / height)
        return UINT64_MAX;
    return row * height;
}

uint32_t CompleteRows(Encoding encoding, uint64_t received, uint32_t width, uint32_t height) {
    if (Info(encoding).compressed)
        return received > 0 ? height : 0;
    const uint64_t row = RowBytes(encoding, width);
    if (row == 0)
        return 0;
    return static_cast<uint32_t>(std::min<uint64_t>(received / row, height));
}

uint32_t PixelRgb(Encoding encoding, const uint8_t* row, uint32_t column) {
    switch (encoding) {
        case Encoding::Page:
        case Encoding::Gray8:
        case Encoding::JpegGray:
            return GrayToRgb(row[column]);
        case Encoding::Uyv: {
            const uint8_t* p = row + static_cast<size_t>(column) * 3;
            return UyvToRgb(p[0], p[1], p[2]);
        }
        case Encoding::Rgb565Be:
        case Encoding::Rgb565Le:
            return Expand565(Read565(encoding, row, column));
        case Encoding::Rgb888:
        case Encoding::Jpeg: {
            const uint8_t* p = row + static_cast<size_t>(column) * 3;
            return uint32_t{p[0]} << 16 | uint32_t{p[1]} << 8 | p[2];
        }
        case Encoding::Yuyv:
        case Encoding::Uyvy:
        case Encoding::Yvyu: {
            const Yuv422 p = Read422(encoding, row, column);
            return UyvToRgb(p.u, p.y, p.v);
        }
        case Encoding::YuyvLuma:
        case Encoding::UyvyLuma:
            return GrayToRgb(Read422(encoding, row, column).y);
        case Encoding::Bits1:
            return Bit(row, column) ? 0x000000u : 0xFFFFFFu;
    }
    return 0;
}

uint8_t PixelLuma(Encoding encoding, const uint8_t* row, uint32_t column) {
    switch (encoding) {
        case Encoding::Page:
        case Encoding::Gray8:
        case Encoding::JpegGray:
            return row[column];
        case Encoding::Uyv:
            return row[static_cast<size_t>(column) * 3 + 1];
        case Encoding::Yuyv:
        case Encoding::Uyvy:
        case Encoding::Yvyu:
        case Encoding::YuyvLuma:
        case Encoding::UyvyLuma:
            return Read422(encoding, row, column).y;
        case Encoding::Bits1:
            return Bit(row, column) ? 0 : 255;
        case Encoding::Rgb565Be:
        case Encoding::Rgb565Le:
        case Encoding::Rgb888:
        case Encoding::Jpeg:
            return Luma(PixelRgb(encoding, row, column));
    }
    return 0;
}

void RowRgb(Encoding encoding, const uint8_t* row, uint32_t first, uint32_t step, uint32_t count,
            uint32_t* out) {
    // The common encodings convert in a loop of their own; the rest pixel by
    // pixel.
    uint32_t column = first;
    switch (encoding) {
        case Encoding::Page:
        case Encoding::Gray8:
        case Encoding::JpegGray:
            for (uint32_t i = 0; i < count; ++i, column += step)
                out[i] = GrayToRgb(row[column]);
            return;
        case Encoding::Rgb888:
        case Encoding::Jpeg:
            for (uint32_t i = 0; i < count; ++i, column += step) {
                const uint8_t* p = row + static_cast<size_t>(column) * 3;
                out[i] = uint32_t{p[0]} << 16 | uint32_t{p[1]} << 8 | p[2];
            }
            return;
        case Encoding::Rgb565Be:
        case Encoding::Rgb565Le:
            for (uint32_t i = 0; i < count; ++i, column += step)
                out[i] = Expand565(Read565(encoding, row, column));
            return;
        default:
            for (uint32_t i = 0; i < count; ++i, column += step)
                out[i] = PixelRgb(encoding, row, column);
            return;
    }
}

void RowLuma(Encoding encoding, const uint8_t* row, uint32_t first, uint32_t step, uint32_t count,
             uint8_t* out) {
    uint32_t column = first;
    if (encoding == Encoding::Page || encoding == Encoding::Gray8 ||
        encoding == Encoding::JpegGray) {
        for (uint32_t i = 0; i < count; ++i, column += step)
            out[i] = row[column];
        return;
    }
    for (uint32_t i = 0; i < count; ++i, column += step)
        out[i] = PixelLuma(encoding, row, column);
}

uint8_t ListingValue(Encoding encoding, const uint8_t* row, uint32_t column) {
    if (encoding == Encoding::Bits1)
        return Bit(row, column) ? 255 : 0;
    return PixelLuma(encoding, row, column);
}

uint8_t PixelChannel(Encoding encoding, const uint8_t* row, uint32_t column, int channel) {
    switch (encoding) {
        case Encoding::Uyv:
            return row[static_cast<size_t>(column) * 3 + std::clamp(channel, 0, 2)];
        case Encoding::Yuyv:
        case Encoding::Uyvy:
        case Encoding::Yvyu: {
            const Yuv422 p = Read422(encoding, row, column);
            return channel == 0 ? p.u : channel == 2 ? p.v : p.y;
        }
        case Encoding::Rgb565Be:
        case Encoding::Rgb565Le:
        case Encoding::Rgb888:
        case Encoding::Jpeg: {
            const uint32_t rgb = PixelRgb(encoding, row, column);
            uint8_t u, y, v;
            RgbToUyv(static_cast<uint8_t>(rgb >> 16), static_cast<uint8_t>(rgb >> 8),
                     static_cast<uint8_t>(rgb), u, y, v);
            return channel == 0 ? u : channel == 2 ? v : y;
        }
        default:  // gray
            return channel == 1 ? PixelLuma(encoding, row, column) : 128;
    }
}

std::string PixelText(Encoding encoding, const uint8_t* row, uint32_t column) {
    const uint32_t rgb = PixelRgb(encoding, row, column);
    const unsigned r = rgb >> 16 & 0xFF, g = rgb >> 8 & 0xFF, b = rgb & 0xFF;
    const std::string colour = Number(" = R %u G %u B %u", r, g, b);
    switch (encoding) {
        case Encoding::Rgb565Be:
        case Encoding::Rgb565Le:
            return Number("RGB565 0x%04X", Read565(encoding, row, column)) + colour;
        case Encoding::Rgb888:
        case Encoding::Jpeg:
            return Number("R %u G %u B %u", r, g, b);
        case Encoding::Uyv:
        case Encoding::Yuyv:
        case Encoding::Uyvy:
        case Encoding::Yvyu:
            return Number("Y %u U %u V %u", PixelChannel(encoding, row, column, 1),
                          PixelChannel(encoding, row, column, 0),
                          PixelChannel(encoding, row, column, 2)) +
                   colour;
        case Encoding::Bits1:
            return Bit(row, column) ? tx::Tr("PixelEncoding", "位 1（黑）")
                                    : tx::Tr("PixelEncoding", "位 0（白）");
        default:
            return tx::Format(tx::Tr("PixelEncoding", "灰度 %1"), PixelLuma(encoding, row, column));
    }
}

void PutPixel(Encoding encoding, uint8_t* row, uint32_t column, uint32_t rgb) {
    const uint8_t r = static_cast<uint8_t>(rgb >> 16), g = static_cast<uint8_t>(rgb >> 8),
                  b = static_cast<uint8_t>(rgb);
    switch (encoding) {
        case Encoding::Page:
        case Encoding::Gray8:
        case Encoding::JpegGray:
            row[column] = Luma(rgb);
            return;
        case Encoding::Uyv: {
            uint8_t* p = row + static_cast<size_t>(column) * 3;
            RgbToUyv(r, g, b, p[0], p[1], p[2]);
            return;
        }
        case Encoding::Rgb565Be:
        case Encoding::Rgb565Le: {
            const uint32_t value = Quantize(r, 31) << 11 | Quantize(g, 63) << 5 | Quantize(b, 31);
            uint8_t* p = row + static_cast<size_t>(column) * 2;
            const uint8_t high = static_cast<uint8_t>(value >> 8),
                          low = static_cast<uint8_t>(value);
            p[0] = encoding == Encoding::Rgb565Be ? high : low;
            p[1] = encoding == Encoding::Rgb565Be ? low : high;
            return;
        }
        case Encoding::Rgb888:
        case Encoding::Jpeg: {
            uint8_t* p = row + static_cast<size_t>(column) * 3;
            p[0] = r;
            p[1] = g;
            p[2] = b;
            return;
        }
        case Encoding::Yuyv:
        case Encoding::Uyvy:
        case Encoding::Yvyu:
        case Encoding::YuyvLuma:
        case Encoding::UyvyLuma: {
            uint8_t u = 128, y = Luma(rgb), v = 128;
            if (!Info(encoding).gray)
                RgbToUyv(r, g, b, u, y, v);
            uint8_t* q = row + static_cast<size_t>(column / 2) * 4;
            const bool odd = (column & 1) != 0;
            const bool uyvy = encoding == Encoding::Uyvy || encoding == Encoding::UyvyLuma;
            const int yAt = uyvy ? (odd ? 3 : 1) : (odd ? 2 : 0);
            q[yAt] = y;
            if (!odd) {
                const int uAt = uyvy ? 0 : encoding == Encoding::Yvyu ? 3 : 1;
                const int vAt = uyvy ? 2 : encoding == Encoding::Yvyu ? 1 : 3;
                q[uAt] = u;
                q[vAt] = v;
            }
            return;
        }
        case Encoding::Bits1: {
            const uint8_t mask = static_cast<uint8_t>(0x80 >> (column % 8));
            if (Luma(rgb) < 128)
                row[column / 8] |= mask;
            else
                row[column / 8] &= static_cast<uint8_t>(~mask);
            return;
        }
    }
}

}  // namespace stream
