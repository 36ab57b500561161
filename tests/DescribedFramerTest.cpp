// The self-describing 20-byte header (sync D5 AA 96 5A): frames carry their
// size, pixel format and counter; false syncs and disagreeing fields are
// passed over.
#include <gtest/gtest.h>

#include <random>

#include "FramerHarness.h"
#include "stream/DescribedFramer.h"

namespace {

using namespace framertest;
using stream::CDescribedFramer;
using stream::Encoding;

const Bytes kSync = {0xD5, 0xAA, 0x96, 0x5A};

Bytes Header(uint8_t format, uint8_t flags, uint32_t width, uint32_t height, uint32_t length,
             uint32_t counter, uint8_t version = 1) {
    Bytes header = kSync;
    Append(header, {version, format, flags, 0});
    Le(header, width, 2);
    Le(header, height, 2);
    Le(header, length, 4);
    Le(header, counter, 4);
    return header;
}

struct Sent {
    Bytes stream;
    std::vector<Bytes> payloads;
};

// Frames alternating GRAY8 4 x 3 and RGB565 (little-endian) 3 x 2, counters
// from 10, each payload holding the sync; false headers before and between.
Sent Frames(size_t count) {
    std::mt19937 random(5);
    Sent sent;
    sent.stream = {0xD5, 0xAA, 0x96};                                  // a sync cut short
    Append(sent.stream, Header(1, 0, 4, 3, 13, 0));                    // length disagrees
    Append(sent.stream, Header(1, 0, 0xFFFF, 0xFFFF, 0xFFFFFFFF, 0));  // 4 GB
    Append(sent.stream, Header(1, 0, 4, 3, 12, 0, 2));                 // unknown version
    for (size_t i = 0; i < count; ++i) {
        const bool gray = i % 2 == 0;
        Bytes payload(12);  // 4 x 3 gray or 3 x 2 RGB565
        for (uint8_t& b : payload)
            b = static_cast<uint8_t>(random());
        std::copy(kSync.begin(), kSync.end(), payload.begin() + 3);
        Append(sent.stream, gray ? Header(1, 0, 4, 3, 12, 10 + i) : Header(0, 1, 3, 2, 12, 10 + i));
        Append(sent.stream, payload);
        sent.payloads.push_back(payload);
        if (i == 2)
            Append(sent.stream, Header(0, 0, 3, 2, 13, 99));  // between frames
    }
    return sent;
}

TEST(DescribedFramerTest, FramesComeOutWithTheirGeometryAndCounter) {
    const Sent sent = Frames(6);
    for (const std::vector<size_t>& chunks : {std::vector<size_t>{}, {1}, {3, 19, 2}}) {
        CDescribedFramer framer({});
        const PlayResult played = Play(framer, sent.stream, Chunked(chunks));
        ASSERT_TRUE(played.faults.empty()) << played.faults[0];
        EXPECT_EQ(GoodPayloads(played), sent.payloads);
        EXPECT_EQ(played.rejected, 4u);
        ASSERT_EQ(played.frames.size(), 6u);
        for (size_t i = 0; i < 6; ++i) {
            const stream::FrameHeader& header = played.frames[i].header;
            EXPECT_EQ(header.width, i % 2 == 0 ? 4u : 3u);
            EXPECT_EQ(header.height, i % 2 == 0 ? 3u : 2u);
            EXPECT_EQ(header.encoding, i % 2 == 0 ? Encoding::Gray8 : Encoding::Rgb565Le);
            EXPECT_TRUE(header.hasCounter);
            EXPECT_EQ(header.counter, 10 + i);
        }
    }
    // RGB565 without the flag is big-endian.
    stream::Search s = CDescribedFramer({}).FindStart(Header(0, 0, 3, 2, 12, 1).data(), 20, {});
    EXPECT_TRUE(s.found);
    EXPECT_EQ(s.header.encoding, Encoding::Rgb565Be);
}

TEST(DescribedFramerTest, ALostByteSpoilsOneFrameAndTheNextShowsAsACounterGap) {
    const Sent sent = Frames(6);
    Bytes stream = sent.stream;
    // A pixel of the second frame (after the false headers and the first frame).
    stream.erase(stream.begin() + 3 + 60 + 32 + 20 + 5);
    for (const std::vector<size_t>& chunks : {std::vector<size_t>{}, {1}, {7}}) {
        CDescribedFramer framer({});
        const PlayResult played = Play(framer, stream, Chunked(chunks));
        ASSERT_TRUE(played.faults.empty()) << played.faults[0];
        std::vector<uint32_t> counters;
        for (const PlayedFrame& frame : played.frames)
            counters.push_back(frame.header.counter);
        EXPECT_EQ(counters, (std::vector<uint32_t>{10, 11, 13, 14, 15}));
        // The second frame took the next header's first byte; all others are whole.
        EXPECT_NE(played.frames[1].payload, sent.payloads[1]);
        EXPECT_EQ(played.frames[2].payload, sent.payloads[3]);
        EXPECT_EQ(played.frames[4].payload, sent.payloads[5]);
    }
}

}  // namespace
