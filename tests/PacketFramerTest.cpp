// Command packets around parity-marked pixels (LiveOV7670): frames start with
// a new-frame packet, debug text comes out beside the pixels, and a lost
// pixel byte is seen at the next pixel and filled so that the rest of the
// frame stays in place.
#include <gtest/gtest.h>

#include <random>

#include "FramerHarness.h"
#include "stream/PacketFramer.h"

namespace {

using namespace framertest;
using stream::CPacketFramer;
using stream::Encoding;

Bytes NewFrame(uint32_t width, uint32_t height, uint8_t format) {
    return Packet({0x11, static_cast<uint8_t>(width), static_cast<uint8_t>(height),
                   static_cast<uint8_t>((width >> 8 & 3) | (height >> 8 & 3) << 2 | format << 4)});
}

Bytes DebugText(const std::string& text) {
    Bytes command = {0x13};
    command.insert(command.end(), text.begin(), text.end());
    return Packet(command);
}

// Pixels with their check bits: RGB565 high byte bit 5 != bit 3, low byte
// bit 5 == bit 3 and bit 0 set; gray lowest bit 0, 1, 0, ... from each row's start.
Bytes Pixels(std::mt19937& random, uint8_t format, uint32_t width, uint32_t height) {
    Bytes pixels;
    for (uint32_t i = 0; i < width * height; ++i) {
        const auto b = static_cast<uint8_t>(random());
        if (format == 1) {
            pixels.push_back(static_cast<uint8_t>((b & ~8u) | (~b >> 2 & 8u)));
            const auto low = static_cast<uint8_t>(random() | 1u);
            pixels.push_back(static_cast<uint8_t>((low & ~8u) | (low >> 2 & 8u)));
        } else {
            const auto gray = static_cast<uint8_t>((b & 0xFEu) | (i % width & 1u));
            pixels.push_back(gray != 0 ? gray : 2);
        }
    }
    return pixels;
}

struct Sent {
    Bytes stream;
    std::vector<Bytes> payloads;
    std::vector<size_t> payloadStart;  // stream position of each payload's first byte
};

// Frames alternating RGB565 5 x 3 and gray 300 x 2 (a width beyond 8 bits),
// debug text and an unknown command inside the second.
Sent Frames(size_t count) {
    std::mt19937 random(3);
    Sent sent;
    Append(sent.stream, {'h', 'i', 0x00, 0x04, 0x11, 0x05, 0x03, 0x10, 0x99});  // bad XOR
    Append(sent.stream, NewFrame(4, 4, 3));                                     // unknown format
    for (size_t i = 0; i < count; ++i) {
        const uint8_t format = i % 2 == 0 ? 1 : 2;
        const Bytes pixels = format == 1 ? Pixels(random, 1, 5, 3) : Pixels(random, 2, 300, 2);
        Append(sent.stream, format == 1 ? NewFrame(5, 3, 1) : NewFrame(300, 2, 2));
        sent.payloadStart.push_back(sent.stream.size());
        if (i == 1) {
            sent.stream.insert(sent.stream.end(), pixels.begin(), pixels.begin() + 100);
            Append(sent.stream, DebugText("调试 ok"));
            Append(sent.stream, Packet({0x42, 0x00, 0x07}));
            sent.stream.insert(sent.stream.end(), pixels.begin() + 100, pixels.end());
        } else {
            Append(sent.stream, pixels);
        }
        sent.payloads.push_back(pixels);
    }
    return sent;
}

TEST(PacketFramerTest, FramesAndDebugTextComeOutWhole) {
    const Sent sent = Frames(5);
    for (const std::vector<size_t>& chunks : {std::vector<size_t>{}, {1}, {2, 9, 1, 130}}) {
        CPacketFramer framer({});
        const PlayResult played = Play(framer, sent.stream, Chunked(chunks));
        ASSERT_TRUE(played.faults.empty()) << played.faults[0];
        EXPECT_EQ(GoodPayloads(played), sent.payloads);
        EXPECT_EQ(played.rejected, 2u);
        ASSERT_EQ(played.frames.size(), 5u);
        EXPECT_EQ(played.frames[1].text, "调试 ok");
        EXPECT_EQ(played.frames[1].header.width, 300u);
        EXPECT_EQ(played.frames[1].header.encoding, Encoding::Gray8);
        EXPECT_EQ(played.frames[2].header.encoding, Encoding::Rgb565Be);
    }
    // Newest first: WholeFrameLength walks the packets among the pixels.
    CPacketFramer framer({});
    PlayOptions options;
    options.newestFirst = true;
    const PlayResult played = Play(framer, sent.stream, options);
    EXPECT_EQ(played.skipped, 4u);
    ASSERT_EQ(played.frames.size(), 1u);
    EXPECT_EQ(played.frames[0].payload, sent.payloads[4]);
}

TEST(PacketFramerTest, ALostPixelByteIsFilledAndTheRestOfTheFrameStaysInPlace) {
    const Sent sent = Frames(5);
    // A high byte and a low byte of the RGB565 frame 2, a gray pixel of frame 3.
    for (size_t lost :
         {sent.payloadStart[2] + 6, sent.payloadStart[2] + 9, sent.payloadStart[3] + 301}) {
        Bytes stream = sent.stream;
        stream.erase(stream.begin() + static_cast<std::ptrdiff_t>(lost));
        for (const std::vector<size_t>& chunks : {std::vector<size_t>{}, {1}, {4}}) {
            CPacketFramer framer({});
            const PlayResult played = Play(framer, stream, Chunked(chunks));
            ASSERT_TRUE(played.faults.empty()) << played.faults[0];
            ASSERT_EQ(played.frames.size(), 5u);
            const size_t hit = lost < sent.payloadStart[3] ? 2 : 3;
            for (size_t i = 0; i < 5; ++i) {
                const PlayedFrame& frame = played.frames[i];
                if (i != hit) {
                    EXPECT_TRUE(frame.Good());
                    EXPECT_EQ(frame.payload, sent.payloads[i]);
                    continue;
                }
                EXPECT_TRUE(frame.damaged);
                EXPECT_FALSE(frame.cutShort);
                // Only the lost byte's place differs.
                Bytes expected = sent.payloads[i];
                const size_t at = lost - sent.payloadStart[i];
                ASSERT_EQ(frame.payload.size(), expected.size());
                expected[at] = frame.payload[at];
                EXPECT_EQ(frame.payload, expected);
            }
        }
    }
}

TEST(PacketFramerTest, ANewFrameBeforeTheEndCutsTheFrameShort) {
    std::mt19937 random(9);
    const Bytes first = Pixels(random, 1, 5, 3), second = Pixels(random, 1, 5, 3);
    Bytes stream = NewFrame(5, 3, 1);
    stream.insert(stream.end(), first.begin(), first.begin() + 17);
    Append(stream, NewFrame(5, 3, 1));
    Append(stream, second);
    for (const std::vector<size_t>& chunks : {std::vector<size_t>{}, {1}}) {
        CPacketFramer framer({});
        const PlayResult played = Play(framer, stream, Chunked(chunks));
        ASSERT_TRUE(played.faults.empty()) << played.faults[0];
        ASSERT_EQ(played.frames.size(), 2u);
        EXPECT_TRUE(played.frames[0].cutShort);
        EXPECT_EQ(played.frames[0].payload, Bytes(first.begin(), first.begin() + 17));
        EXPECT_TRUE(played.frames[1].Good());
        EXPECT_EQ(played.frames[1].payload, second);
    }
}

}  // namespace
