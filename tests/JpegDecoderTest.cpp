// JPEG frames through the reused decoder: a faithful picture, gray, and bytes
// that are cut short, random or claim a giant size.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "stream/JpegDecoder.h"

using stream::CJpegDecoder;

namespace {

// A picture with texture and a little noise, as a camera sees it: waves
// whose colour drifts slowly, and a checker of black and white blocks that
// the noise clips.
std::vector<uint8_t> Picture(uint32_t width, uint32_t height, int channels) {
    std::vector<uint8_t> pixels(size_t{width} * height * channels);
    std::mt19937 random(3);
    for (uint32_t y = 0; y < height; ++y)
        for (uint32_t x = 0; x < width; ++x)
            for (int c = 0; c < channels; ++c) {
                int v;
                if ((x / 32 + y / 32) % 4 == 0)
                    v = (x / 32) % 2 ? 255 : 0;
                else
                    v = static_cast<int>(100 + 30 * c +
                                         (90 - 25 * c) * std::sin(x / 7.0) * std::cos(y / 9.0));
                v += static_cast<int>(random() % 5) - 2;
                pixels[(size_t{y} * width + x) * channels + c] =
                    static_cast<uint8_t>(std::clamp(v, 0, 255));
            }
    return pixels;
}

double MeanAbsError(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b) {
    double sum = 0;
    for (size_t i = 0; i < a.size(); ++i)
        sum += std::abs(int(a[i]) - int(b[i]));
    return sum / static_cast<double>(a.size());
}

}  // namespace

TEST(JpegDecoder, DecodesColourAndGrayFaithfully) {
    CJpegDecoder decoder;
    for (const bool gray : {false, true}) {
        const std::vector<uint8_t> picture = Picture(320, 240, gray ? 1 : 3);
        const std::vector<uint8_t> jpeg = CJpegDecoder::Encode(picture.data(), 320, 240, gray, 80);
        ASSERT_GT(jpeg.size(), 1000u);
        ASSERT_EQ(jpeg[0], 0xFF);
        ASSERT_EQ(jpeg[1], 0xD8);
        uint32_t w = 0, h = 0;
        ASSERT_TRUE(decoder.Header(jpeg.data(), jpeg.size(), w, h));
        EXPECT_EQ(w, 320u);
        EXPECT_EQ(h, 240u);
        // Decoded twice with the same decoder: the handle is reused.
        for (int round = 0; round < 2; ++round) {
            std::vector<uint8_t> pixels;
            std::string message = "stale";
            w = h = 0;
            ASSERT_EQ(decoder.Decode(jpeg.data(), jpeg.size(), gray, pixels, w, h, &message),
                      CJpegDecoder::Result::Ok)
                << message;
            EXPECT_TRUE(message.empty());
            EXPECT_EQ(w * 1000 + h, 320240u);
            ASSERT_EQ(pixels.size(), picture.size());
            EXPECT_LT(MeanAbsError(pixels, picture), 3.0) << (gray ? "gray" : "colour");
        }
    }
    // A colour JPEG shown as gray: one byte per pixel, its brightness.
    const std::vector<uint8_t> colour = Picture(320, 240, 3);
    const std::vector<uint8_t> jpeg = CJpegDecoder::Encode(colour.data(), 320, 240, false, 80);
    std::vector<uint8_t> gray;
    uint32_t w = 0, h = 0;
    ASSERT_EQ(decoder.Decode(jpeg.data(), jpeg.size(), true, gray, w, h), CJpegDecoder::Result::Ok);
    ASSERT_EQ(gray.size(), 320u * 240u);
    const size_t at = 100 * 320 + 70;
    const int luma =
        (299 * colour[at * 3] + 587 * colour[at * 3 + 1] + 114 * colour[at * 3 + 2]) / 1000;
    EXPECT_NEAR(gray[at], luma, 12);
}

// Truncated frames draw with a warning or fail; random bytes fail; never a crash.
TEST(JpegDecoder, DamagedBytesNeverCrash) {
    CJpegDecoder decoder;
    const std::vector<uint8_t> picture = Picture(320, 240, 3);
    const std::vector<uint8_t> jpeg = CJpegDecoder::Encode(picture.data(), 320, 240, false, 80);
    int warnings = 0;
    for (size_t cut = 0; cut < jpeg.size(); cut += 97) {
        std::vector<uint8_t> part(jpeg.begin(), jpeg.begin() + cut);
        std::vector<uint8_t> pixels;
        std::string message;
        uint32_t w = 0, h = 0;
        const auto result = decoder.Decode(part.data(), part.size(), false, pixels, w, h, &message);
        EXPECT_NE(result, CJpegDecoder::Result::Ok) << cut;
        EXPECT_FALSE(message.empty()) << cut;
        if (result == CJpegDecoder::Result::Warning) {
            ++warnings;
            EXPECT_EQ(pixels.size(), 320u * 240u * 3u);
        }
    }
    // Cut after its headers, a frame still shows what arrived.
    EXPECT_GT(warnings, 0);

    std::mt19937 random(11);
    for (int i = 0; i < 200; ++i) {
        std::vector<uint8_t> noise(1 + random() % 3000);
        for (uint8_t& b : noise)
            b = static_cast<uint8_t>(random());
        if (i % 2)  // half of them look like a start of image
            noise.insert(noise.begin(), {0xFF, 0xD8, 0xFF});
        std::vector<uint8_t> pixels;
        uint32_t w = 0, h = 0;
        EXPECT_EQ(decoder.Decode(noise.data(), noise.size(), i % 3 == 0, pixels, w, h),
                  CJpegDecoder::Result::Failed)
            << i;
    }
    // Still decodes after all that.
    std::vector<uint8_t> pixels;
    uint32_t w = 0, h = 0;
    EXPECT_EQ(decoder.Decode(jpeg.data(), jpeg.size(), false, pixels, w, h),
              CJpegDecoder::Result::Ok);
    EXPECT_EQ(decoder.Decode(nullptr, 0, false, pixels, w, h), CJpegDecoder::Result::Failed);
}

// A header that claims 60000 x 60000 is refused before a buffer is made.
TEST(JpegDecoder, GiantHeaderIsRefusedUnallocated) {
    const std::vector<uint8_t> picture = Picture(16, 16, 3);
    std::vector<uint8_t> jpeg = CJpegDecoder::Encode(picture.data(), 16, 16, false, 80);
    // The frame header (SOF0): FF C0, length, precision, height, width.
    size_t sof = 0;
    for (size_t i = 2; i + 9 < jpeg.size(); ++i) {
        if (jpeg[i] == 0xFF && jpeg[i + 1] == 0xC0) {
            sof = i;
            break;
        }
    }
    ASSERT_GT(sof, 0u);
    for (size_t at : {sof + 5, sof + 7}) {
        jpeg[at] = 60000 >> 8;
        jpeg[at + 1] = 60000 & 0xFF;
    }
    CJpegDecoder decoder;
    uint32_t w = 0, h = 0;
    ASSERT_TRUE(decoder.Header(jpeg.data(), jpeg.size(), w, h));
    EXPECT_EQ(w, 60000u);
    EXPECT_EQ(h, 60000u);
    std::vector<uint8_t> pixels;
    std::string message;
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(decoder.Decode(jpeg.data(), jpeg.size(), false, pixels, w, h, &message),
              CJpegDecoder::Result::Failed);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(500));
    EXPECT_EQ(pixels.capacity(), 0u);
    EXPECT_NE(message.find("60000"), std::string::npos) << message;
    // A lower limit refuses a picture that the default accepts.
    const std::vector<uint8_t> small = CJpegDecoder::Encode(picture.data(), 16, 16, false, 80);
    EXPECT_EQ(decoder.Decode(small.data(), small.size(), false, pixels, w, h, nullptr, 255),
              CJpegDecoder::Result::Failed);
    EXPECT_EQ(decoder.Decode(small.data(), small.size(), false, pixels, w, h, nullptr, 256),
              CJpegDecoder::Result::Ok);
}
