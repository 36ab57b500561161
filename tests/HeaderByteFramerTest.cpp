// The design's framing: a header byte, then rows x columns of pixels, found
// and checked the way the engine always has.
#include <gtest/gtest.h>

#include <random>

#include "FramerHarness.h"
#include "stream/HeaderByteFramer.h"

namespace {

using namespace framertest;
using stream::CHeaderByteFramer;

stream::FramerSetup MakeSetup(uint32_t rows, uint32_t columns) {
    stream::FramerSetup setup;
    setup.headerByte = 0xFF;
    setup.rows = rows;
    setup.columns = columns;
    setup.encoding = stream::Encoding::Gray8;
    return setup;
}

// Frames of 6 x 5 gray pixels; the second has pixels of the header's value.
std::vector<Bytes> Payloads(size_t count) {
    std::mt19937 random(7);
    std::vector<Bytes> payloads(count, Bytes(30));
    for (Bytes& payload : payloads)
        for (uint8_t& b : payload)
            b = static_cast<uint8_t>(random() % 255);
    payloads[1][0] = payloads[1][10] = 0xFF;
    return payloads;
}

Bytes Stream(const std::vector<Bytes>& payloads) {
    Bytes stream;
    for (const Bytes& payload : payloads) {
        stream.push_back(0xFF);
        Append(stream, payload);
    }
    return stream;
}

TEST(HeaderByteFramerTest, SearchTakesAConfirmedHeaderOverAnEarlierPixel) {
    CHeaderByteFramer framer(MakeSetup(1, 3));  // a frame is 4 bytes
    const Bytes bytes = {1, 0xFF, 2, 3, 0xFF, 4, 5, 6, 0xFF, 7, 8, 9, 0xFF};
    stream::Search s = framer.FindStart(bytes.data(), bytes.size(), {});
    EXPECT_TRUE(s.found);
    EXPECT_EQ(s.offset, 4u);  // a frame after 1 comes 4, after 4 a header
    EXPECT_EQ(s.header.headerLength, 1u);
    EXPECT_EQ(s.header.payloadLength, 3u);
    // Too short to tell: the first header byte.
    s = framer.FindStart(bytes.data(), 8, {});
    EXPECT_TRUE(s.found);
    EXPECT_EQ(s.offset, 1u);
    s = framer.FindStart(bytes.data(), 1, {});
    EXPECT_FALSE(s.found);
    EXPECT_EQ(s.offset, 1u);
}

// A saturated patch: runs of the header's value that recur a frame later
// come before the real header, which stands alone.
TEST(HeaderByteFramerTest, SearchPassesOverASaturatedPatch) {
    CHeaderByteFramer framer(MakeSetup(2, 4));  // a frame is 9 bytes
    Bytes bytes;
    for (int frame = 0; frame < 3; ++frame) {
        bytes.push_back(0xFF);
        Append(bytes, {10, 0xFF, 0xFF, 0xFF, 12, 13, 14, 15});
    }
    // The capture starts inside the first frame, in front of the patch.
    const Bytes tail(bytes.begin() + 1, bytes.end());
    const stream::Search s = framer.FindStart(tail.data(), tail.size(), {});
    EXPECT_TRUE(s.found);
    EXPECT_EQ(s.offset, 8u);
}

TEST(HeaderByteFramerTest, FramesComeOutWholeHoweverTheLineChunksThem) {
    const std::vector<Bytes> payloads = Payloads(8);
    Bytes stream = {0x10, 0xFF, 0x20, 0x30};  // garbage with a header-valued byte
    Append(stream, Stream(payloads));
    CHeaderByteFramer whole(MakeSetup(5, 6));
    const PlayResult all = Play(whole, stream, {});
    EXPECT_TRUE(all.faults.empty());
    EXPECT_EQ(GoodPayloads(all), payloads);

    for (const std::vector<size_t>& chunks : {std::vector<size_t>{1}, {3, 17, 1, 64}}) {
        CHeaderByteFramer framer(MakeSetup(5, 6));
        const PlayResult played = Play(framer, stream, Chunked(chunks));
        ASSERT_TRUE(played.faults.empty()) << played.faults[0];
        // A short buffer may take the garbage's 0xFF for a header: that frame
        // is caught by the check after it, and the rest come whole.
        const std::vector<Bytes> good = GoodPayloads(played);
        ASSERT_GE(good.size(), payloads.size() - 2);
        EXPECT_TRUE(std::equal(good.rbegin(), good.rend(), payloads.rbegin()));
    }
}

TEST(HeaderByteFramerTest, ALostByteIsCaughtAndTheFollowingFramesComeWhole) {
    const std::vector<Bytes> payloads = Payloads(8);
    Bytes stream = Stream(payloads);
    stream.erase(stream.begin() + 3 * 31 + 12);  // a pixel of the fourth frame
    for (const std::vector<size_t>& chunks : {std::vector<size_t>{}, {1}, {5, 40}}) {
        CHeaderByteFramer framer(MakeSetup(5, 6));
        const PlayResult played = Play(framer, stream, Chunked(chunks));
        ASSERT_TRUE(played.faults.empty()) << played.faults[0];
        // No frame with the loss in it counts as good; frames from the sixth on are whole.
        std::vector<Bytes> good = GoodPayloads(played);
        for (const Bytes& payload : good)
            EXPECT_NE(std::find(payloads.begin(), payloads.end(), payload), payloads.end());
        ASSERT_GE(good.size(), 3u);
        EXPECT_TRUE(std::equal(payloads.end() - 3, payloads.end(), good.end() - 3));
    }
}

TEST(HeaderByteFramerTest, NewestWholeFrameIsTakenFirst) {
    const std::vector<Bytes> payloads = Payloads(4);
    Bytes stream = Stream(payloads);
    stream.push_back(0xFF);  // the next frame has begun
    CHeaderByteFramer framer(MakeSetup(5, 6));
    PlayOptions options;
    options.newestFirst = true;
    const PlayResult played = Play(framer, stream, options);
    EXPECT_EQ(played.skipped, 3u);
    ASSERT_EQ(played.frames.size(), 1u);
    EXPECT_EQ(played.frames[0].payload, payloads[3]);
}

TEST(HeaderByteFramerTest, EmptyGeometryNeitherHangsNorCrashes) {
    CHeaderByteFramer framer(MakeSetup(0, 0));
    const Bytes stream = {1, 0xFF, 0xFF, 2, 0xFF};
    const PlayResult played = Play(framer, stream, Chunked({1}));
    EXPECT_TRUE(played.faults.empty());
    EXPECT_EQ(played.frames.size(), 3u);
}

}  // namespace
