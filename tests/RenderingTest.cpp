// Drawing passes on prepared frames: geometry, colours, listing, rolling.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

#include "FakePage.h"
#include "capture/PixelFormat.h"

namespace {

using Bytes = std::vector<uint8_t>;
constexpr uint32_t kBackground = 0xF0F0F0;

class RenderingTest : public ::testing::Test {
protected:
    // A received frame of rows x columns (format 0 gray, 1 colour) in an area.
    void Load(uint32_t rows, uint32_t columns, uint8_t format, const Bytes& data, int areaWidth,
              int areaHeight, int scale) {
        page.Configure(rows, columns, 0, format, areaWidth, areaHeight);
        page.m_bScaleToArea = scale;
        page.ResetState();
        ASSERT_TRUE(page.AllocateBuffers());
        ASSERT_LE(data.size(), page.m_nFrameSize);
        if (!data.empty())
            std::memcpy(page.m_pFrame.get(), data.data(), data.size());
        page.m_nReceived = static_cast<uint32_t>(data.size());
        page.m_bHeaderFound = 1;
    }
    static Bytes Ramp(size_t n) {
        Bytes b(n);
        for (size_t i = 0; i < n; ++i)
            b[i] = static_cast<uint8_t>(i * 3 + 1);
        return b;
    }
    static uint32_t Gray(uint8_t v) { return (uint32_t{v} << 16) | (uint32_t{v} << 8) | v; }
    uint32_t At(int x, int y) { return page.m_wndPicture.PixelAt(x, y); }

    FakePage page;
};

TEST_F(RenderingTest, EnlargedFrameFillsTheArea) {
    const Bytes data = Ramp(60 * 80);
    Load(60, 80, 0, data, 400, 300, 1);
    EXPECT_EQ(page.DrawImage(0, 0), 1);
    // Block 5: pixel (r, k) covers x 5k..5k+4, y 5r..5r+4.
    for (int r : {0, 1, 30, 59})
        for (int k : {0, 1, 40, 79})
            for (int d : {0, 4}) {
                ASSERT_EQ(At(5 * k + d, 5 * r + d), Gray(data[r * 80 + k])) << r << "," << k;
            }
    EXPECT_EQ(At(399, 299), Gray(data.back()));
    // The whole frame was there: the frame ended and reception starts over.
    EXPECT_EQ(page.m_nReceived, 0u);
    EXPECT_EQ(page.m_bHeaderFound, 0);
    EXPECT_EQ(page.m_bFrameDone, 1);
    EXPECT_EQ(page.m_bDrawing, 0);
}

TEST_F(RenderingTest, OneToOneIgnoresTheArea) {
    const Bytes data = Ramp(60 * 80);
    Load(60, 80, 0, data, 400, 300, 0);
    page.DrawImage(0, 0);
    EXPECT_EQ(At(0, 0), Gray(data[0]));
    EXPECT_EQ(At(79, 59), Gray(data.back()));
    EXPECT_EQ(At(80, 0), kBackground);
    EXPECT_EQ(At(0, 60), kBackground);
}

TEST_F(RenderingTest, GapsSkipRowsAndColumns) {
    const Bytes data = Ramp(60 * 80);
    Load(60, 80, 0, data, 400, 300, 1);
    page.DrawImage(1, 1);  // 40 x 30 displayed: block min(400/40, 300/30) = 10
    EXPECT_EQ(At(0, 0), Gray(data[0]));
    EXPECT_EQ(At(10, 0), Gray(data[2]));       // column 2 at display column 1
    EXPECT_EQ(At(0, 10), Gray(data[2 * 80]));  // row 2 at display row 1
    EXPECT_EQ(At(395, 295), Gray(data[58 * 80 + 78]));
}

TEST_F(RenderingTest, OddRowCountWithGapListsCeilingRows) {
    Load(61, 4, 0, Bytes(61 * 4, 200), 400, 300, 0);
    page.m_bShowValues = 1;
    EXPECT_EQ(page.ListValues(1, 0), 1);
    const std::string listing = page.log->Listing();
    EXPECT_EQ(std::count(listing.begin(), listing.end(), '\n'), 31);  // rows 0, 2, ..., 60
    EXPECT_EQ(listing.substr(0, 5), "1111\n");
}

TEST_F(RenderingTest, OnlyCompleteRowsAreDrawn) {
    Load(60, 20, 0, Bytes(50, 77), 400, 300, 0);  // 2.5 rows of 20
    page.DrawImage(0, 0);
    EXPECT_EQ(At(19, 1), Gray(77));
    EXPECT_EQ(At(0, 2), kBackground);
    // An incomplete frame neither ends the frame nor resets reception.
    EXPECT_EQ(page.m_nReceived, 50u);
    EXPECT_EQ(page.m_bFrameDone, 0);
    EXPECT_EQ(page.m_nDrawn, 50u);
}

TEST_F(RenderingTest, ColourTripletsAreClampedNotWrapped) {
    // U, Y, V per pixel.
    const Bytes data = {128, 16, 128, 128, 235, 128, 128, 0, 128, 0, 255, 255};
    Load(1, 4, 1, data, 400, 300, 0);
    page.DrawImage(0, 0);
    EXPECT_EQ(At(0, 0), 0x000000u);  // black
    EXPECT_EQ(At(1, 0), 0xFEFEFEu);  // 254.916 truncated
    EXPECT_EQ(At(2, 0), 0x000000u);  // -18.6 clamps to 0 (not 238)
    EXPECT_EQ(At(3, 0), 0xFFE013u);  // red 480 clamps to 255, green 224, blue 19
}

TEST_F(RenderingTest, BlockSidesClampTo255) {
    // Two displayed columns in a 600-wide area: w = 300 clamps to 255 (not 44).
    Load(1, 2, 0, {10, 20}, 600, 1000, 1);
    page.DrawImage(0, 0);
    EXPECT_EQ(At(254, 254), Gray(10));
    EXPECT_EQ(At(255, 0), Gray(20));
    EXPECT_EQ(At(509, 254), Gray(20));
    EXPECT_EQ(At(510, 0), kBackground);
    // 256 would wrap to 0 and draw nothing.
    Load(1, 1, 0, {90}, 256, 256, 1);
    page.DrawImage(0, 0);
    EXPECT_EQ(At(254, 254), Gray(90));
    EXPECT_EQ(At(255, 255), kBackground);
}

TEST_F(RenderingTest, ZeroBlockDrawsNothingButEndsTheFrame) {
    Load(2, 80, 0, Ramp(160), 40, 300, 1);  // narrower than the columns
    EXPECT_EQ(page.DrawImage(0, 0), 1);
    EXPECT_EQ(At(0, 0), kBackground);
    EXPECT_EQ(page.m_bFrameDone, 1);
    EXPECT_EQ(page.m_nReceived, 0u);
}

TEST_F(RenderingTest, ListingOfASmallFrame) {
    Load(2, 3, 0, {50, 150, 200, 10, 120, 90}, 400, 300, 0);
    page.m_bShowValues = 1;
    EXPECT_EQ(page.DrawGrayWithValues(0, 0), 1);
    EXPECT_EQ(page.log->Listing(), "011\n010\n");
    EXPECT_EQ(At(1, 0), Gray(150));
    EXPECT_EQ(page.m_bFrameDone, 1);
}

TEST_F(RenderingTest, GrayWithValuesRefusesColour) {
    Load(1, 1, 1, {128, 100, 128}, 400, 300, 0);
    EXPECT_EQ(page.DrawGrayWithValues(0, 0), 0);
    EXPECT_EQ(page.m_bDrawing, 0);
    EXPECT_EQ(At(0, 0), kBackground);
    EXPECT_EQ(page.m_nReceived, 3u);
}

TEST_F(RenderingTest, NothingToDrawReturnsZero) {
    Load(2, 2, 0, {}, 400, 300, 0);
    EXPECT_EQ(page.DrawImage(0, 0), 0);
    EXPECT_EQ(page.DrawRolling(0, 0), 0);
    EXPECT_EQ(page.ListValues(0, 0), 0);
    EXPECT_EQ(page.m_bDrawing, 0);
}

TEST_F(RenderingTest, StopAbortsWithoutEndingTheFrame) {
    Load(2, 2, 0, {1, 2, 3, 4}, 400, 300, 0);
    page.m_bStopped = 1;
    EXPECT_EQ(page.DrawImage(0, 0), 1);
    EXPECT_EQ(At(0, 0), kBackground);
    EXPECT_EQ(page.m_nReceived, 4u);
    EXPECT_EQ(page.m_bDrawing, 0);
    // The rolling pass marks the frame done and asks for the stop itself.
    page.m_nMode = 1;
    EXPECT_EQ(page.DrawRolling(0, 0), 1);
    EXPECT_EQ(page.m_bFrameDone, 1);
    EXPECT_TRUE(page.m_hStopEvent.TryWait());
}

TEST_F(RenderingTest, RollingContinuesAtTheNextDisplayRow) {
    const Bytes data = Ramp(6 * 4);
    Load(6, 4, 0, Bytes(data.begin(), data.begin() + 9), 400, 300, 1);  // 2 rows + 1 byte
    page.m_nMode = 1;
    page.m_bShowValues = 1;
    std::memcpy(page.m_pFrame.get(), data.data(), data.size());
    page.DrawRolling(1, 0);  // rows 0 and 2 of 6 are displayed... row 0 only so far
    EXPECT_EQ(page.m_nNextRow, 2u);
    EXPECT_EQ(page.m_nNextDisplayRow, 1u);
    EXPECT_EQ(page.log->Listing(), "0000\n");  // values 1, 4, 7, 10
    // Block: min(400 / 4, 300 / 3) = 100. Row 2 goes to display row 1.
    EXPECT_EQ(At(0, 0), Gray(data[0]));
    EXPECT_EQ(At(0, 100), kBackground);
    page.m_nReceived = 20;  // five rows now
    page.DrawRolling(1, 0);
    EXPECT_EQ(At(0, 100), Gray(data[8]));
    EXPECT_EQ(At(0, 200), Gray(data[16]));
    EXPECT_EQ(page.m_nNextRow, 6u);
    EXPECT_EQ(page.log->Listing().size(), 15u);  // appended, not cleared
    EXPECT_EQ(page.m_bFrameDone, 0);
    page.m_nReceived = 24;
    page.DrawRolling(1, 0);  // nothing new to draw, but now the frame is whole
    EXPECT_EQ(page.m_bFrameDone, 1);
    EXPECT_EQ(page.m_nNextRow, 0u);
    EXPECT_EQ(page.m_nNextDisplayRow, 0u);
}

TEST_F(RenderingTest, ViewerHearsOncePerDrawnRow) {
    std::vector<CPictureSurface::Rect> changes;
    Load(60, 80, 1, Bytes(60 * 80 * 3, 128), 400, 300, 1);
    page.m_wndPicture.SetListener([&](const CPictureSurface::Rect& r) { changes.push_back(r); });
    page.DrawImage(0, 0);
    ASSERT_EQ(changes.size(), 60u);
    EXPECT_EQ(changes[0].top, 0);
    EXPECT_EQ(changes[0].bottom, 5);
    EXPECT_EQ(changes[0].right, 400);
    EXPECT_EQ(changes[59].bottom, 300);
}

TEST_F(RenderingTest, HugeGapsAndSizesStayInsideTheBuffers) {
    // A gap of 4294967295 is a step past every row and column, not a step of 0.
    Load(3, 3, 0, Ramp(9), 400, 300, 1);
    EXPECT_EQ(page.DrawImage(0xFFFFFFFFu, 0xFFFFFFFFu), 1);
    EXPECT_EQ(At(0, 0), Gray(1));
    EXPECT_EQ(At(255, 255), kBackground);  // block clamped to 255 at most
    EXPECT_EQ(page.m_bFrameDone, 1);
    // A negative area counts as none.
    Load(3, 3, 0, Ramp(9), -5, -5, 1);
    EXPECT_EQ(page.DrawImage(0, 0), 1);
    EXPECT_EQ(page.m_bFrameDone, 1);
}

// The rolling pass draws a row at a time: it must put on the screen exactly
// what the pixel-by-pixel pass does, for every encoding either page shows, a
// threshold, a channel, gaps, enlarged blocks and an area that clips.
TEST_F(RenderingTest, RollingRowsMatchThePixelPass) {
    struct Case {
        stream::Encoding encoding;
        uint8_t format;
        int threshold, channel;
        uint32_t rowGap, columnGap;
        int areaWidth, areaHeight, scale;
    };
    const Case cases[] = {
        {stream::Encoding::Gray8, 0, -1, -1, 0, 0, 400, 300, 1},
        {stream::Encoding::Gray8, 0, 100, -1, 1, 2, 400, 300, 1},
        {stream::Encoding::Bits1, 0, -1, -1, 0, 0, 130, 90, 0},
        {stream::Encoding::Yuyv, 0, -1, -1, 0, 1, 400, 300, 1},
        {stream::Encoding::Uyv, 1, -1, -1, 0, 0, 400, 300, 1},
        {stream::Encoding::Uyv, 1, -1, 2, 2, 0, 400, 300, 1},
        {stream::Encoding::Rgb565Be, 1, -1, -1, 0, 0, 95, 70, 0},
        {stream::Encoding::Rgb565Le, 1, -1, 1, 0, 3, 400, 300, 1},
        {stream::Encoding::Rgb888, 1, -1, -1, 0, 0, 400, 300, 1},
        {stream::Encoding::Uyvy, 1, -1, -1, 1, 1, 400, 300, 1},
    };
    const uint32_t rows = 37, columns = 53;
    for (const Case& c : cases) {
        const size_t size = stream::FrameBytes(c.encoding, columns, rows);
        Bytes data(size);
        uint32_t seed = 99;
        for (uint8_t& b : data) {
            seed = seed * 1103515245u + 12345u;
            b = static_cast<uint8_t>(seed >> 16);
        }
        std::vector<uint32_t> screens[2];
        for (int rolling = 0; rolling < 2; ++rolling) {
            page.m_streamFormat = stream::CStreamFormat();
            page.m_streamFormat.encoding = c.encoding;
            Load(rows, columns, c.format, {}, c.areaWidth, c.areaHeight, c.scale);
            ASSERT_EQ(page.m_nFrameSize, size);
            std::memcpy(page.m_pFrame.get(), data.data(), size);
            page.m_nReceived = static_cast<uint32_t>(size);
            page.m_nPreviewThreshold = c.threshold;
            page.m_nChannel = c.channel;
            page.m_nMode = rolling;
            if (rolling)
                page.DrawRolling(c.rowGap, c.columnGap);
            else
                page.DrawImage(c.rowGap, c.columnGap);
            for (int y = 0; y < c.areaHeight; ++y)
                for (int x = 0; x < c.areaWidth; ++x)
                    screens[rolling].push_back(At(x, y));
        }
        EXPECT_EQ(page.m_bFrameDone, 1);
        EXPECT_TRUE(screens[0] == screens[1]) << stream::Info(c.encoding).id;
        EXPECT_NE(std::count(screens[1].begin(), screens[1].end(), kBackground),
                  static_cast<long>(screens[1].size()));
    }
}

}  // namespace

// The screen's colours for every U, Y, V triplet, against the formula
// evaluated directly: what saves or inspects a pixel relies on this.
TEST(PixelFormat, EveryTripletConvertsAsTheFormulaSays) {
    auto channel = [](double v) { return static_cast<uint32_t>(std::clamp(int(v), 0, 255)); };
    uint64_t mismatches = 0;
    for (int u = 0; u < 256; ++u)
        for (int y = 0; y < 256; ++y)
            for (int v = 0; v < 256; ++v) {
                const double yc = (y - 16) * 1.164;
                const uint32_t want = channel(yc + (v - 128) * 1.596) << 16 |
                                      channel(yc - (v - 128) * 0.813 - (u - 128) * 0.391) << 8 |
                                      channel(yc + (u - 128) * 2.018);
                mismatches += pixel::UyvToRgb(uint8_t(u), uint8_t(y), uint8_t(v)) != want;
            }
    EXPECT_EQ(mismatches, 0u);
    EXPECT_EQ(pixel::UyvToRgb(0, 255, 255), 0xFFE013u);
    EXPECT_EQ(pixel::GrayToRgb(0x7F), 0x7F7F7Fu);
}
