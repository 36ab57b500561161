// Start marker, payload of the page's size, optional end marker: the 01 FE ...
// FE 01 and 00 FF 01 01 boards, with their markers' bytes among the pixels.
#include <gtest/gtest.h>

#include <random>

#include "FramerHarness.h"
#include "stream/MarkerFramer.h"

namespace {

using namespace framertest;
using stream::CMarkerFramer;
using stream::Encoding;

const Bytes kFeStart = {0x01, 0xFE}, kFeEnd = {0xFE, 0x01};
const Bytes kCarStart = {0x00, 0xFF, 0x01, 0x01};

stream::FramerSetup MakeSetup(const Bytes& start, const Bytes& end, Encoding encoding,
                              uint32_t rows, uint32_t columns) {
    stream::FramerSetup setup;
    setup.format.framing = stream::Framing::Marker;
    setup.format.startMarker = start;
    setup.format.endMarker = end;
    setup.encoding = encoding;
    setup.rows = rows;
    setup.columns = columns;
    return setup;
}

// Random payloads with the markers written into them at varying places: both
// into each frame with an end marker; without one the start marker into the
// second frame only (there a start is only confirmed by the next one, and a
// lost byte in front of a frame full of false starts costs several frames).
std::vector<Bytes> Payloads(size_t count, size_t size, const Bytes& start, const Bytes& end) {
    std::mt19937 random(11);
    std::vector<Bytes> payloads(count, Bytes(size));
    for (size_t i = 0; i < count; ++i) {
        Bytes& payload = payloads[i];
        for (uint8_t& b : payload)
            b = static_cast<uint8_t>(random());
        if (!end.empty() || i == 1)
            std::copy(start.begin(), start.end(), payload.begin() + random() % (size - 8));
        std::copy(end.begin(), end.end(), payload.begin() + random() % (size - 8));
    }
    return payloads;
}

Bytes Stream(const std::vector<Bytes>& payloads, const Bytes& start, const Bytes& end) {
    Bytes stream = {0x01, 0xFE, 0x33, 0x00, 0xFF, 0x01, 0x07};  // false starts
    for (const Bytes& payload : payloads) {
        Append(stream, start);
        Append(stream, payload);
        Append(stream, end);
    }
    return stream;
}

struct Case {
    Bytes start, end;
    Encoding encoding;
    uint32_t rows, columns;
    size_t payloadBytes;
};

const Case kCases[] = {
    {kFeStart, kFeEnd, Encoding::Bits1, 60, 80, 600},  // fe01-bits
    {kFeStart, kFeEnd, Encoding::Gray8, 6, 8, 48},     // fe01-gray
    {kCarStart, {}, Encoding::Gray8, 5, 9, 45},        // smartcar-gray, no end marker
};

TEST(MarkerFramerTest, FramesComeOutWholeWithMarkersAmongThePixels) {
    for (const Case& c : kCases) {
        const std::vector<Bytes> payloads = Payloads(6, c.payloadBytes, c.start, c.end);
        const Bytes stream = Stream(payloads, c.start, c.end);
        for (const std::vector<size_t>& chunks : {std::vector<size_t>{}, {1}, {2, 7, 1, 300}}) {
            CMarkerFramer framer(MakeSetup(c.start, c.end, c.encoding, c.rows, c.columns));
            const PlayResult played = Play(framer, stream, Chunked(chunks));
            ASSERT_TRUE(played.faults.empty()) << played.faults[0];
            const std::vector<Bytes> good = GoodPayloads(played);
            if (chunks.empty()) {
                EXPECT_EQ(good, payloads);  // whole: every false start is seen through
                if (!c.end.empty()) {
                    EXPECT_GE(played.rejected, 1u);
                }
            } else {
                // In pieces a false start may be taken before it can be told;
                // its check catches it and costs at most the frame after it.
                ASSERT_GE(good.size(), payloads.size() - 1) << c.payloadBytes;
                EXPECT_TRUE(std::equal(good.rbegin(), good.rend(), payloads.rbegin()));
            }
        }
    }
}

TEST(MarkerFramerTest, ALostByteCostsAtMostTwoFrames) {
    for (const Case& c : kCases) {
        const std::vector<Bytes> payloads = Payloads(7, c.payloadBytes, c.start, c.end);
        Bytes stream = Stream(payloads, c.start, c.end);
        const size_t frame = c.start.size() + c.payloadBytes + c.end.size();
        stream.erase(stream.begin() + 7 + 3 * frame + c.payloadBytes / 2);
        for (const std::vector<size_t>& chunks : {std::vector<size_t>{}, {1}, {5, 64}}) {
            CMarkerFramer framer(MakeSetup(c.start, c.end, c.encoding, c.rows, c.columns));
            const PlayResult played = Play(framer, stream, Chunked(chunks));
            ASSERT_TRUE(played.faults.empty()) << played.faults[0];
            const std::vector<Bytes> good = GoodPayloads(played);
            for (const Bytes& payload : good)
                EXPECT_NE(std::find(payloads.begin(), payloads.end(), payload), payloads.end());
            ASSERT_GE(good.size(), payloads.size() - 3);
            EXPECT_TRUE(std::equal(payloads.end() - 2, payloads.end(), good.end() - 2));
        }
    }
}

TEST(MarkerFramerTest, MarkersWithNothingAfterThemNeitherHangNorCrash) {
    Bytes stream;
    for (int i = 0; i < 50; ++i)
        Append(stream, kFeStart);
    for (const Bytes& end : {kFeEnd, Bytes{}}) {
        // Empty geometry: frames of a marker alone.
        CMarkerFramer empty(MakeSetup(kFeStart, end, Encoding::Gray8, 0, 0));
        PlayResult played = Play(empty, stream, Chunked({1, 3}));
        EXPECT_TRUE(played.faults.empty());
        // Markers that never get their payload.
        CMarkerFramer waiting(MakeSetup(kFeStart, end, Encoding::Gray8, 100, 100));
        played = Play(waiting, stream, Chunked({1, 3}));
        EXPECT_TRUE(played.faults.empty());
        EXPECT_TRUE(played.frames.empty());
    }
}

}  // namespace
