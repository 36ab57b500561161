// Every pixel encoding read from known bytes, written and read back over a
// textured picture, and sized for odd widths.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "capture/PixelFormat.h"
#include "stream/PixelEncoding.h"

using stream::Encoding;

namespace {

uint32_t Rgb(const std::vector<uint8_t>& bytes, Encoding e, uint32_t column = 0) {
    return stream::PixelRgb(e, bytes.data(), column);
}

int Red(uint32_t rgb) {
    return rgb >> 16 & 0xFF;
}
int Green(uint32_t rgb) {
    return rgb >> 8 & 0xFF;
}
int Blue(uint32_t rgb) {
    return rgb & 0xFF;
}

// A picture that is neither smooth nor regular: noise over a texture, with
// blocks of saturated primaries, black and white.
std::vector<uint32_t> TexturedPicture(uint32_t width, uint32_t height) {
    const uint32_t saturated[] = {0xFF0000, 0x00FF00, 0x0000FF, 0xFFFFFF,
                                  0x000000, 0xFFFF00, 0x00FFFF, 0xFF00FF};
    std::vector<uint32_t> picture(size_t{width} * height);
    uint32_t seed = 12345;
    for (uint32_t y = 0; y < height; ++y) {
        for (uint32_t x = 0; x < width; ++x) {
            seed = seed * 1103515245u + 12345u;
            uint32_t rgb;
            if ((x / 5 + y / 4) % 3 == 0) {
                rgb = saturated[(x / 5 * 7 + y / 4) % 8];
            } else {
                const uint32_t noise = seed >> 8;
                rgb = ((x * 37 + (noise & 0x3F)) & 0xFF) << 16 |
                      ((y * 53 + (noise >> 6 & 0x7F)) & 0xFF) << 8 |
                      ((x * y + (noise >> 13)) & 0xFF);
            }
            picture[size_t{y} * width + x] = rgb;
        }
    }
    return picture;
}

int Bt601(uint32_t rgb) {
    return (299 * Red(rgb) + 587 * Green(rgb) + 114 * Blue(rgb) + 500) / 1000;
}

}  // namespace

// RGB565 decodes by bit replication, and the byte order matters: the same
// green read in the other order is a strong pink.
TEST(PixelEncoding, Rgb565ColoursAndByteOrder) {
    struct Case {
        uint8_t high, low;
        uint32_t rgb;
    } cases[] = {{0xF8, 0x00, 0xFF0000}, {0x07, 0xE0, 0x00FF00}, {0x00, 0x1F, 0x0000FF},
                 {0xFF, 0xFF, 0xFFFFFF}, {0x00, 0x00, 0x000000}, {0x84, 0x10, 0x848284}};
    for (const Case& c : cases) {
        EXPECT_EQ(Rgb({c.high, c.low}, Encoding::Rgb565Be), c.rgb) << std::hex << c.rgb;
        EXPECT_EQ(Rgb({c.low, c.high}, Encoding::Rgb565Le), c.rgb) << std::hex << c.rgb;
    }
    // Second pixel of a row: two bytes further.
    EXPECT_EQ(Rgb({0x00, 0x00, 0xF8, 0x00}, Encoding::Rgb565Be, 1), 0xFF0000u);

    const uint32_t greenAsLe = Rgb({0x07, 0xE0}, Encoding::Rgb565Le);
    EXPECT_GT(Red(greenAsLe), 200);
    EXPECT_LT(Green(greenAsLe), 30);
    const uint32_t redAsLe = Rgb({0xF8, 0x00}, Encoding::Rgb565Le);
    EXPECT_LT(Red(redAsLe), 30);

    EXPECT_EQ(stream::PixelText(Encoding::Rgb565Be, std::vector<uint8_t>{0xF8, 0x00}.data(), 0),
              "RGB565 0xF800 = R 255 G 0 B 0");
    EXPECT_EQ(stream::PixelLuma(Encoding::Rgb565Be, std::vector<uint8_t>{0xFF, 0xFF}.data(), 0),
              255);
}

// U,Y,V and every 4:2:2 order convert through the design's U,Y,V conversion
// with the right bytes; the same four bytes give different pictures per order.
TEST(PixelEncoding, YuvOrdersUseTheDesignsConversion) {
    uint64_t mismatches = 0;
    for (int u = 0; u < 256; u += 3)
        for (int y = 1; y < 256; y += 5)
            for (int v = 2; v < 256; v += 7) {
                const std::vector<uint8_t> uyv = {uint8_t(u), uint8_t(y), uint8_t(v)};
                mismatches +=
                    Rgb(uyv, Encoding::Uyv) != pixel::UyvToRgb(uint8_t(u), uint8_t(y), uint8_t(v));
            }
    EXPECT_EQ(mismatches, 0u);

    const std::vector<uint8_t> bytes = {0x50, 0x5A, 0xA0, 0xF0};
    const auto& uyv = pixel::UyvToRgb;
    EXPECT_EQ(Rgb(bytes, Encoding::Yuyv, 0), uyv(0x5A, 0x50, 0xF0));
    EXPECT_EQ(Rgb(bytes, Encoding::Yuyv, 1), uyv(0x5A, 0xA0, 0xF0));
    EXPECT_EQ(Rgb(bytes, Encoding::Uyvy, 0), uyv(0x50, 0x5A, 0xA0));
    EXPECT_EQ(Rgb(bytes, Encoding::Uyvy, 1), uyv(0x50, 0xF0, 0xA0));
    EXPECT_EQ(Rgb(bytes, Encoding::Yvyu, 0), uyv(0xF0, 0x50, 0x5A));
    EXPECT_EQ(Rgb(bytes, Encoding::Yvyu, 1), uyv(0xF0, 0xA0, 0x5A));
    EXPECT_NE(Rgb(bytes, Encoding::Yuyv, 0), Rgb(bytes, Encoding::Uyvy, 0));
    EXPECT_EQ(Rgb(bytes, Encoding::YuyvLuma, 1), pixel::GrayToRgb(0xA0));
    EXPECT_EQ(Rgb(bytes, Encoding::UyvyLuma, 1), pixel::GrayToRgb(0xF0));
    // The second pair of a row starts four bytes further.
    const std::vector<uint8_t> two = {0, 0, 0, 0, 0x50, 0x5A, 0xA0, 0xF0};
    EXPECT_EQ(Rgb(two, Encoding::Uyvy, 3), uyv(0x50, 0xF0, 0xA0));

    EXPECT_EQ(stream::PixelChannel(Encoding::Yvyu, bytes.data(), 1, 0), 0xF0);
    EXPECT_EQ(stream::PixelChannel(Encoding::Yvyu, bytes.data(), 1, 1), 0xA0);
    EXPECT_EQ(stream::PixelChannel(Encoding::Yvyu, bytes.data(), 1, 2), 0x5A);
    EXPECT_EQ(stream::PixelLuma(Encoding::Uyvy, bytes.data(), 0), 0x5A);
    EXPECT_EQ(stream::PixelText(Encoding::Uyv, std::vector<uint8_t>{128, 16, 128}.data(), 0),
              "Y 16 U 128 V 128 = R 0 G 0 B 0");
    // Gray has neutral chroma; RGB's channels come from its colour.
    EXPECT_EQ(stream::PixelChannel(Encoding::Gray8, bytes.data(), 0, 0), 128);
    EXPECT_EQ(stream::PixelChannel(Encoding::Gray8, bytes.data(), 0, 1), 0x50);
    uint8_t u, y, v;
    pixel::RgbToUyv(255, 0, 0, u, y, v);
    EXPECT_EQ(stream::PixelChannel(Encoding::Rgb888, std::vector<uint8_t>{255, 0, 0}.data(), 0, 2),
              v);
}

// Packed 1-bit: most significant bit leftmost, 1 is black, listed as 255.
TEST(PixelEncoding, OneBitLayout) {
    std::vector<uint8_t> row = {0x80, 0x01};
    const auto at = [&](uint32_t x) { return stream::PixelRgb(Encoding::Bits1, row.data(), x); };
    EXPECT_EQ(at(0), 0x000000u);
    for (uint32_t x = 1; x < 15; ++x)
        EXPECT_EQ(at(x), 0xFFFFFFu) << x;
    EXPECT_EQ(at(15), 0x000000u);
    EXPECT_EQ(stream::ListingValue(Encoding::Bits1, row.data(), 0), 255);
    EXPECT_EQ(stream::ListingValue(Encoding::Bits1, row.data(), 1), 0);
    EXPECT_EQ(stream::PixelLuma(Encoding::Bits1, row.data(), 0), 0);
    EXPECT_EQ(stream::PixelLuma(Encoding::Bits1, row.data(), 1), 255);
    EXPECT_EQ(stream::PixelText(Encoding::Bits1, row.data(), 15), "位 1（黑）");

    // Writing a dark pixel sets only its bit; a light one clears only its bit.
    stream::PutPixel(Encoding::Bits1, row.data(), 9, 0x101010);
    EXPECT_EQ(row[1], 0x41);
    stream::PutPixel(Encoding::Bits1, row.data(), 0, 0xF0F0F0);
    EXPECT_EQ(row[0], 0x00);
    EXPECT_EQ(row[1], 0x41);
}

TEST(PixelEncoding, SizesForOddWidths) {
    EXPECT_EQ(stream::RowBytes(Encoding::Gray8, 187), 187u);
    EXPECT_EQ(stream::RowBytes(Encoding::Uyv, 5), 15u);
    EXPECT_EQ(stream::RowBytes(Encoding::Rgb565Le, 5), 10u);
    EXPECT_EQ(stream::RowBytes(Encoding::Rgb888, 5), 15u);
    EXPECT_EQ(stream::RowBytes(Encoding::Yuyv, 5), 12u);
    EXPECT_EQ(stream::RowBytes(Encoding::UyvyLuma, 1), 4u);
    EXPECT_EQ(stream::RowBytes(Encoding::Bits1, 9), 2u);
    EXPECT_EQ(stream::RowBytes(Encoding::Bits1, 8), 1u);
    EXPECT_EQ(stream::FrameBytes(Encoding::Bits1, 80, 60), 600u);
    EXPECT_EQ(stream::FrameBytes(Encoding::Bits1, 160, 120), 2400u);
    EXPECT_EQ(stream::FrameBytes(Encoding::Rgb565Be, 320, 240), 153600u);
    EXPECT_EQ(stream::FrameBytes(Encoding::Jpeg, 320, 240), 0u);
    // No overflow at the largest sizes: a size beyond 64 bits saturates.
    EXPECT_EQ(stream::FrameBytes(Encoding::Rgb888, UINT32_MAX, 2), uint64_t{UINT32_MAX} * 6);
    EXPECT_EQ(stream::FrameBytes(Encoding::Rgb888, UINT32_MAX, UINT32_MAX), UINT64_MAX);
    EXPECT_EQ(stream::CompleteRows(Encoding::Yuyv, 23, 5, 10), 1u);
    EXPECT_EQ(stream::CompleteRows(Encoding::Yuyv, 24, 5, 10), 2u);
    EXPECT_EQ(stream::CompleteRows(Encoding::Bits1, 1000, 9, 10), 10u);
    EXPECT_EQ(stream::CompleteRows(Encoding::Jpeg, 1, 320, 240), 240u);
    EXPECT_EQ(stream::CompleteRows(Encoding::Jpeg, 0, 320, 240), 0u);
}

// PutPixel then PixelRgb over a textured, odd-width picture, within each
// encoding's precision, every pixel written in turn into the same rows.
TEST(PixelEncoding, WriteAndReadBackEveryEncoding) {
    const uint32_t width = 37, height = 23;
    const std::vector<uint32_t> picture = TexturedPicture(width, height);
    for (int i = 1; i < stream::kEncodingCount; ++i) {
        const auto e = static_cast<Encoding>(i);
        if (stream::Info(e).compressed)
            continue;
        const size_t rowBytes = stream::RowBytes(e, width);
        std::vector<uint8_t> frame(rowBytes * height, 0x5A);
        for (uint32_t y = 0; y < height; ++y)
            for (uint32_t x = 0; x < width; ++x)
                stream::PutPixel(e, frame.data() + y * rowBytes, x, picture[y * width + x]);
        int worst = 0;
        uint32_t worstX = 0, worstY = 0;
        for (uint32_t y = 0; y < height; ++y) {
            for (uint32_t x = 0; x < width; ++x) {
                const uint8_t* row = frame.data() + y * rowBytes;
                const uint32_t want = picture[y * width + x];
                const uint32_t got = stream::PixelRgb(e, row, x);
                int error = 0;
                if (e == Encoding::Bits1) {
                    error = (Bt601(want) < 128) != (got == 0) ? 255 : 0;
                } else if (stream::Info(e).gray) {
                    error = std::abs(Bt601(want) - stream::PixelLuma(e, row, x));
                } else if ((e == Encoding::Yuyv || e == Encoding::Uyvy || e == Encoding::Yvyu) &&
                           x % 2 == 1) {
                    // The odd pixel shares its pair's colour: only its Y is its own.
                    uint8_t u, luma, v;
                    pixel::RgbToUyv(Red(want), Green(want), Blue(want), u, luma, v);
                    error = std::abs(luma - stream::PixelLuma(e, row, x));
                } else {
                    error = std::max({std::abs(Red(want) - Red(got)),
                                      std::abs(Green(want) - Green(got)),
                                      std::abs(Blue(want) - Blue(got))});
                }
                if (error > worst) {
                    worst = error;
                    worstX = x;
                    worstY = y;
                }
            }
        }
        const int tolerance = e == Encoding::Rgb888                                ? 0
                              : e == Encoding::Rgb565Be || e == Encoding::Rgb565Le ? 4
                              : stream::Info(e).gray                               ? 0
                                                                                   : 2;
        EXPECT_LE(worst, tolerance) << stream::Info(e).id << " at " << worstX << ", " << worstY;
    }
}
