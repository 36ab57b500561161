// JPEG frames from FF D8 to FF D9, byte-exact, whatever lies between them
// skipped: the end is found by the file's structure, not by the first FF D9.
#include <gtest/gtest.h>

#include <random>

#include "FramerHarness.h"
#include "stream/JpegDecoder.h"
#include "stream/JpegFramer.h"

namespace {

using namespace framertest;
using stream::CJpegFramer;

Bytes Segment(uint8_t marker, const Bytes& body) {
    const size_t length = body.size() + 2;
    Bytes segment = {0xFF, marker, static_cast<uint8_t>(length >> 8), static_cast<uint8_t>(length)};
    Append(segment, body);
    return segment;
}

// Entropy-coded data: random bytes, each FF stuffed, a restart marker and
// fill bytes among them.
Bytes Entropy(std::mt19937& random, size_t count) {
    Bytes data;
    for (size_t i = 0; i < count; ++i) {
        const auto b = static_cast<uint8_t>(random() % 3 == 0 ? 0xFF : random());
        data.push_back(b);
        if (b == 0xFF)
            data.push_back(0x00);
        if (i == count / 2)
            Append(data, {0xFF, 0xFF, 0xD3});
    }
    return data;
}

// The structure of a camera's JPEG: an Exif thumbnail with its own SOI and
// EOI, tables holding FF D9, two scans with a table between them, fill bytes
// before the EOI.
Bytes SyntheticJpeg(std::mt19937& random) {
    Bytes jpeg = {0xFF, 0xD8};
    Append(jpeg, Segment(0xE0, {'J', 'F', 'I', 'F', 0, 1, 1, 0, 0, 1, 0, 1, 0, 0}));
    Bytes exif = {'E', 'x', 'i', 'f', 0, 0, 0xFF, 0xD8, 0xFF, 0xDB, 0x00, 0x04, 0xFF, 0xD9};
    Append(jpeg, Segment(0xE1, exif));
    Append(jpeg, Segment(0xDB, {0x00, 0xFF, 0xD9, 0xFF, 0xD8, 0x10}));
    Append(jpeg, Segment(0xDA, {0x01, 0x01, 0x00, 0x00, 0x3F, 0x00}));
    Append(jpeg, Entropy(random, 200));
    Append(jpeg, Segment(0xC4, {0x10, 0xFF, 0xD9}));
    Append(jpeg, Segment(0xDA, {0x01, 0x01, 0x00, 0x00, 0x3F, 0x00}));
    Append(jpeg, Entropy(random, 150));
    Append(jpeg, {0xFF, 0xFF, 0xD9});
    return jpeg;
}

// A picture from the JPEG encoder the tool itself uses.
Bytes RealJpeg(std::mt19937& random) {
    const uint32_t width = 40, height = 24;
    Bytes pixels(width * height * 3);
    for (uint8_t& b : pixels)
        b = static_cast<uint8_t>(random());
    return stream::CJpegDecoder::Encode(pixels.data(), width, height, false, 95);
}

struct Sent {
    Bytes stream;
    std::vector<Bytes> frames;
};

// JPEGs with what boards send between them: ACK lines, a decimal length, an
// ad-hoc size header, an SOI not followed by a marker.
Sent Frames() {
    std::mt19937 random(1);
    Sent sent;
    const std::string text[] = {"ACK IMG END\r\n", "5120\r\n"};
    const Bytes between[] = {Bytes(text[0].begin(), text[0].end()),
                             Bytes(text[1].begin(), text[1].end()),
                             {0xFF, 0xAA, 0x14, 0x00},
                             {0xFF, 0xD8, 0x00, 0x01},
                             {}};
    for (int i = 0; i < 5; ++i) {
        Append(sent.stream, between[i]);
        sent.frames.push_back(i % 2 == 0 ? SyntheticJpeg(random) : RealJpeg(random));
        Append(sent.stream, sent.frames.back());
    }
    Append(sent.stream, {0xFF, 0xD8});  // the next one has begun
    return sent;
}

stream::FramerSetup JpegSetup() {
    stream::FramerSetup setup;
    setup.format.framing = stream::Framing::Jpeg;
    setup.encoding = stream::Encoding::Jpeg;
    return setup;
}

TEST(JpegFramerTest, FramesComeOutByteExactThroughThumbnailsStuffingAndFill) {
    const Sent sent = Frames();
    ASSERT_GT(sent.frames[1].size(), 600u);
    for (const std::vector<size_t>& chunks : {std::vector<size_t>{}, {1}, {2, 3, 1, 100}}) {
        CJpegFramer framer(JpegSetup());
        const PlayResult played = Play(framer, sent.stream, Chunked(chunks));
        ASSERT_TRUE(played.faults.empty()) << played.faults[0];
        EXPECT_EQ(GoodPayloads(played), sent.frames);
        EXPECT_EQ(played.frames.size(), sent.frames.size());
    }
    // The encoder's pictures, as framed, decode cleanly.
    stream::CJpegDecoder decoder;
    for (size_t i : {1, 3}) {
        std::vector<uint8_t> pixels;
        uint32_t width = 0, height = 0;
        EXPECT_EQ(decoder.Decode(sent.frames[i].data(), sent.frames[i].size(), false, pixels, width,
                                 height),
                  stream::CJpegDecoder::Result::Ok);
        EXPECT_EQ(width, 40u);
    }
    // Newest first: WholeFrameLength finds each frame's own EOI.
    CJpegFramer framer(JpegSetup());
    PlayOptions options;
    options.newestFirst = true;
    Bytes backToBack;
    for (const Bytes& frame : sent.frames)
        Append(backToBack, frame);
    Append(backToBack, {0xFF, 0xD8});
    const PlayResult played = Play(framer, backToBack, options);
    EXPECT_EQ(played.skipped, 4u);
    EXPECT_EQ(GoodPayloads(played), std::vector<Bytes>{sent.frames[4]});
}

TEST(JpegFramerTest, AFrameWithoutItsEndIsCutShortByTheNextOne) {
    std::mt19937 random(2);
    const Bytes first = SyntheticJpeg(random), second = RealJpeg(random);
    for (size_t cut :
         {size_t{20}, size_t{60}, first.size() - 3}) {  // after a segment, in the scans
        Bytes stream(first.begin(), first.begin() + static_cast<std::ptrdiff_t>(cut));
        Append(stream, second);
        for (const std::vector<size_t>& chunks : {std::vector<size_t>{}, {1}}) {
            CJpegFramer framer(JpegSetup());
            const PlayResult played = Play(framer, stream, Chunked(chunks));
            ASSERT_TRUE(played.faults.empty()) << played.faults[0];
            const std::vector<Bytes> good = GoodPayloads(played);
            EXPECT_EQ(good.back(), second) << cut;
            ASSERT_EQ(played.frames.size(), 2u);
            EXPECT_TRUE(played.frames[0].damaged) << cut;
            EXPECT_EQ(played.frames[0].payload, Bytes(first.begin(), first.begin() + cut));
        }
    }
}

TEST(JpegFramerTest, BrokenOrEndlessFramesNeitherHangNorGrowBeyondTheRoom) {
    std::mt19937 random(4);
    const Bytes good = RealJpeg(random);
    // A segment length below 2: damaged, and the frame ends at its EOI.
    Bytes stream = {0xFF, 0xD8, 0xFF, 0xE0, 0x00, 0x01, 0x55, 0xFF, 0xD9};
    Append(stream, good);
    // SOI, a segment claiming 65535 bytes, then nothing but data.
    Append(stream, {0xFF, 0xD8, 0xFF, 0xE1, 0xFF, 0xFF});
    stream.resize(stream.size() + 5000, 0x42);
    for (const std::vector<size_t>& chunks : {std::vector<size_t>{}, {1}, {7, 300}}) {
        CJpegFramer framer(JpegSetup());
        PlayOptions options = Chunked(chunks);
        options.untilEndRoom = 4096;
        const PlayResult played = Play(framer, stream, options);
        ASSERT_TRUE(played.faults.empty()) << played.faults[0];
        ASSERT_EQ(played.frames.size(), 2u);
        EXPECT_TRUE(played.frames[0].damaged);
        EXPECT_EQ(played.frames[0].payload.size(), 9u);
        EXPECT_EQ(played.frames[1].payload, good);
        EXPECT_EQ(played.overlong, 1u);
    }
}

}  // namespace
