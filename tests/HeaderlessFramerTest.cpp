// Raw frames with nothing around them: the line's quiet gaps (or the requests
// the host sends) mark where frames start.
#include <gtest/gtest.h>

#include <random>

#include "FramerHarness.h"
#include "stream/HeaderlessFramer.h"

namespace {

using namespace framertest;
using stream::CHeaderlessFramer;

stream::FramerSetup MakeSetup(uint32_t rows, uint32_t columns) {
    stream::FramerSetup setup;
    setup.format.framing = stream::Framing::Headerless;
    setup.encoding = stream::Encoding::Rgb565Be;
    setup.rows = rows;
    setup.columns = columns;
    return setup;
}

struct Sent {
    Bytes stream;
    std::vector<uint64_t> marks;  // a gap before each frame
    std::vector<Bytes> frames;
};

// The tail of a frame sent before the capture began, then RGB565 frames of
// 6 x 4 (48 bytes), each after a gap.
Sent Frames(size_t count) {
    std::mt19937 random(8);
    Sent sent;
    sent.stream.assign(30, 0x77);
    for (size_t i = 0; i < count; ++i) {
        Bytes frame(48);
        for (uint8_t& b : frame)
            b = static_cast<uint8_t>(random());
        sent.marks.push_back(sent.stream.size());
        Append(sent.stream, frame);
        sent.frames.push_back(frame);
    }
    return sent;
}

TEST(HeaderlessFramerTest, FramesStartAtTheGapsAndFollowInStep) {
    const Sent sent = Frames(5);
    for (const std::vector<size_t>& chunks : {std::vector<size_t>{}, {1}, {5, 50, 13}}) {
        // A gap before every frame, and only before the first (in step after it).
        for (const std::vector<uint64_t>& marks :
             {sent.marks, std::vector<uint64_t>{sent.marks[0]}}) {
            CHeaderlessFramer framer(MakeSetup(4, 6));
            PlayOptions options = Chunked(chunks);
            options.marks = marks;
            const PlayResult played = Play(framer, sent.stream, options);
            ASSERT_TRUE(played.faults.empty()) << played.faults[0];
            EXPECT_EQ(GoodPayloads(played), sent.frames);
        }
    }
}

TEST(HeaderlessFramerTest, ALostByteCutsItsFrameShortAtTheNextGap) {
    Sent sent = Frames(5);
    sent.stream.erase(sent.stream.begin() + static_cast<std::ptrdiff_t>(sent.marks[2]) + 10);
    for (size_t i = 3; i < sent.marks.size(); ++i)
        --sent.marks[i];
    for (const std::vector<size_t>& chunks : {std::vector<size_t>{}, {1}, {7}}) {
        CHeaderlessFramer framer(MakeSetup(4, 6));
        PlayOptions options = Chunked(chunks);
        options.marks = sent.marks;
        const PlayResult played = Play(framer, sent.stream, options);
        ASSERT_TRUE(played.faults.empty()) << played.faults[0];
        ASSERT_EQ(played.frames.size(), 5u);
        EXPECT_TRUE(played.frames[2].cutShort);
        EXPECT_EQ(played.frames[2].payload.size(), 47u);
        for (size_t i : {0, 1, 3, 4})
            EXPECT_EQ(played.frames[i].payload, sent.frames[i]);
    }
}

TEST(HeaderlessFramerTest, EmptyGeometryTakesNoFrames) {
    const Sent sent = Frames(2);
    CHeaderlessFramer framer(MakeSetup(0, 0));
    PlayOptions options = Chunked({1});
    options.marks = sent.marks;
    const PlayResult played = Play(framer, sent.stream, options);
    EXPECT_TRUE(played.faults.empty());
    EXPECT_TRUE(played.frames.empty());
}

}  // namespace
