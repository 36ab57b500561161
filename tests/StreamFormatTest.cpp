// Stream formats as text: the presets, custom formats of every framing,
// texts that do not read, and the settings file's section.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "settings/ProfileFile.h"
#include "stream/StreamFormat.h"
#include "stream/StreamSettings.h"

using stream::CStreamFormat;
using stream::Encoding;
using stream::Framing;

namespace {

CStreamFormat Custom(Framing framing, Encoding encoding) {
    CStreamFormat f;
    f.framing = framing;
    f.encoding = encoding;
    return f;
}

// One custom format per framing, each with parts away from their defaults.
std::vector<CStreamFormat> CustomFormats() {
    std::vector<CStreamFormat> formats;
    CStreamFormat header = Custom(Framing::HeaderByte, Encoding::Rgb565Le);
    header.requestAtStop = {0x00, 0x22, 0x5C};
    formats.push_back(header);
    CStreamFormat marker = Custom(Framing::Marker, Encoding::Yvyu);
    marker.startMarker = {0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07, 0x08};
    marker.endMarker = {0x0D, 0x0A};
    marker.requestAtStart = std::vector<uint8_t>(64, 0x2C);  // commas
    formats.push_back(marker);
    CStreamFormat described = Custom(Framing::Described, Encoding::Rgb565Be);
    described.requestPerFrame = {'R'};
    formats.push_back(described);
    formats.push_back(Custom(Framing::Packet, Encoding::Gray8));
    CStreamFormat jpeg = Custom(Framing::Jpeg, Encoding::JpegGray);
    jpeg.requestPerFrame = {0xFF};
    formats.push_back(jpeg);
    CStreamFormat headerless = Custom(Framing::Headerless, Encoding::Bits1);
    headerless.gapMilliseconds = 10000;
    formats.push_back(headerless);
    return formats;
}

}  // namespace

TEST(StreamFormat, PresetsInOrderRoundTrip) {
    const char* ids[] = {"design",  "smartcar-gray", "fe01-bits",  "fe01-gray",
                         "arduino", "liveov7670",    "jpeg",       "jpeg-gray",
                         "raw565",  "rdy-gray",      "request-565"};
    const auto& presets = stream::Presets();
    ASSERT_EQ(presets.size(), sizeof ids / sizeof ids[0]);
    for (size_t i = 0; i < presets.size(); ++i) {
        const stream::CStreamPreset& p = presets[i];
        EXPECT_STREQ(p.id, ids[i]);
        std::string why;
        EXPECT_TRUE(p.format.Valid(&why)) << p.id << ": " << why;
        EXPECT_EQ(stream::FormatToText(p.format), p.id);
        CStreamFormat back;
        ASSERT_TRUE(stream::FormatFromText(p.id, back, &why)) << why;
        EXPECT_EQ(back, p.format) << p.id;
        EXPECT_EQ(stream::PresetOf(back), &p);
        EXPECT_EQ(stream::FindPreset(p.id), &p);
    }
    EXPECT_TRUE(presets[0].format.IsDesignFormat());
    EXPECT_EQ(presets[0].rows, 0u);
    EXPECT_STREQ(presets[0].label, "单字节帧头（默认）");
    const auto* smartcar = stream::FindPreset("smartcar-gray");
    EXPECT_EQ(stream::BytesToHex(smartcar->format.startMarker), "00 FF 01 01");
    EXPECT_EQ(smartcar->rows * 1000 + smartcar->columns, 120188u);
    const auto* arduino = stream::FindPreset("arduino");
    EXPECT_EQ(arduino->format.requestAtStart, (std::vector<uint8_t>{'R', 'R'}));
    EXPECT_EQ(arduino->format.requestPerFrame, (std::vector<uint8_t>{'R'}));
    EXPECT_EQ(stream::FindPreset("rdy-gray")->format.startMarker,
              (std::vector<uint8_t>{0x2A, 0x52, 0x44, 0x59, 0x2A}));
    EXPECT_EQ(stream::FindPreset("nope"), nullptr);
    EXPECT_STREQ(stream::kCustomLabel, "自定义");
    // The same format written by hand as custom is recognised as its preset.
    CStreamFormat f;
    ASSERT_TRUE(stream::FormatFromText(
        " custom , framing=Marker, start=\"\\x01\\xFE\", end=fe01, encoding=bits1 ", f));
    EXPECT_EQ(stream::PresetOf(f), stream::FindPreset("fe01-bits"));
}

TEST(StreamFormat, CustomFormatsOfEveryFramingRoundTrip) {
    for (const CStreamFormat& format : CustomFormats()) {
        std::string why;
        ASSERT_TRUE(format.Valid(&why)) << why;
        const std::string text = stream::FormatToText(format);
        EXPECT_EQ(text.rfind("custom,", 0), 0u) << text;
        EXPECT_EQ(stream::PresetOf(format), nullptr) << text;
        CStreamFormat back;
        ASSERT_TRUE(stream::FormatFromText(text, back, &why)) << text << ": " << why;
        EXPECT_EQ(back, format) << text;
        EXPECT_EQ(back.startMarker, format.startMarker) << text;
        EXPECT_EQ(back.requestAtStart, format.requestAtStart) << text;
        EXPECT_EQ(back.requestAtStop, format.requestAtStop) << text;
        EXPECT_EQ(stream::FormatToText(back), text);
    }
    // A part the framing does not use makes no difference.
    CStreamFormat jpeg = stream::FindPreset("jpeg")->format;
    jpeg.gapMilliseconds = 500;
    jpeg.startMarker = {1};
    EXPECT_EQ(stream::PresetOf(jpeg), stream::FindPreset("jpeg"));
    CStreamFormat raw = stream::FindPreset("raw565")->format;
    raw.gapMilliseconds = 21;
    EXPECT_EQ(stream::PresetOf(raw), nullptr);
}

TEST(StreamFormat, BytesAsText) {
    std::vector<uint8_t> bytes;
    ASSERT_TRUE(stream::ParseBytes("00FF0101", bytes));
    EXPECT_EQ(bytes, (std::vector<uint8_t>{0x00, 0xFF, 0x01, 0x01}));
    ASSERT_TRUE(stream::ParseBytes(" 00 ff\t01 01 ", bytes));
    EXPECT_EQ(stream::BytesToHex(bytes), "00 FF 01 01");
    ASSERT_TRUE(stream::ParseBytes("\"*RDY*\\r\\n\\x01\\\"\\\\\" 00", bytes));
    EXPECT_EQ(stream::BytesToHex(bytes), "2A 52 44 59 2A 0D 0A 01 22 5C 00");
    ASSERT_TRUE(stream::ParseBytes("", bytes));
    EXPECT_TRUE(bytes.empty());
    std::string why;
    for (const char* bad : {"0FF", "GG", "0x01", "\"abc", "\"\\q\"", "01,02", "\"\\x\""}) {
        bytes = {7};
        EXPECT_FALSE(stream::ParseBytes(bad, bytes, &why)) << bad;
        EXPECT_FALSE(why.empty()) << bad;
        EXPECT_EQ(bytes, std::vector<uint8_t>{7}) << bad;
    }
}

// Unreadable texts give false and a reason, and leave the format alone.
TEST(StreamFormat, GarbageTextsAreRefusedWithAReason) {
    std::string longRequest;
    for (int i = 0; i < 65; ++i)
        longRequest += "41 ";
    const std::vector<std::string> garbage = {
        "",
        "   ",
        "nonsense",
        "design,extra=1",
        "customs,framing=marker",
        "custom,framing=marker",
        "custom,framing=marker,encoding=gray8,start=",
        "custom,framing=marker,encoding=gray8,start=01 02 03 04 05 06 07 08 09",
        "custom,framing=marker,encoding=gray8,start=01,end=01 02 03 04 05 06 07 08 09",
        "custom,framing=headerless,encoding=gray8,gap=0",
        "custom,framing=headerless,encoding=gray8,gap=10001",
        "custom,framing=headerless,encoding=gray8,gap=-5",
        "custom,framing=headerless,encoding=gray8,gap=99999999999999999999",
        "custom,framing=jpeg,encoding=gray8",
        "custom,framing=jpeg",
        "custom,framing=header,encoding=jpeg",
        "custom,framing=packet,encoding=page",
        "custom,framing=zigzag",
        "custom,encoding=cmyk",
        "custom,framing=marker,encoding=gray8,start=\"abc",
        "custom,colour=red",
        "custom,framing",
        "custom,,",
        "custom,framing=marker,framing=jpeg,encoding=jpeg",
        "custom,request-start=" + longRequest,
        "custom,request-stop=\"\\xZZ\"",
        std::string("custom,framing=\0marker", 22),
    };
    for (const std::string& text : garbage) {
        CStreamFormat format = stream::FindPreset("arduino")->format;
        std::string why;
        EXPECT_FALSE(stream::FormatFromText(text, format, &why)) << text;
        EXPECT_FALSE(why.empty()) << text;
        EXPECT_EQ(format, stream::FindPreset("arduino")->format) << text;
    }
    // Random texts made of the format's own characters: no crash, and a
    // reason whenever one is refused.
    std::mt19937 random(7);
    const std::string alphabet =
        "custom,framing=marker,start=\"\\x0FE\",gap=1 encoding=jpeg\xE4\xB8";
    for (int i = 0; i < 20000; ++i) {
        std::string text = i % 2 ? "custom," : "";
        const int length = static_cast<int>(random() % 60);
        for (int k = 0; k < length; ++k)
            text += alphabet[random() % alphabet.size()];
        CStreamFormat format;
        std::string why;
        if (stream::FormatFromText(text, format, &why)) {
            EXPECT_TRUE(format.Valid()) << text;
        } else {
            EXPECT_FALSE(why.empty()) << text;
        }
    }
}

TEST(StreamFormat, SettingsSection) {
    char dir[] = "/tmp/tavix-stream-XXXXXX";
    ASSERT_NE(mkdtemp(dir), nullptr);
    const std::string path = std::string(dir) + "/DevSet.ini";
    std::string why = "untouched";

    // A file without the section: the design's format, no reason.
    ASSERT_TRUE(WriteProfileString("Black", "rows", "60", path));
    EXPECT_TRUE(stream::ReadStreamFormat(path, &why).IsDesignFormat());
    EXPECT_TRUE(why.empty()) << why;

    for (const CStreamFormat& format : CustomFormats()) {
        ASSERT_TRUE(stream::WriteStreamFormat(format, path));
        EXPECT_EQ(stream::ReadStreamFormat(path, &why), format);
        EXPECT_TRUE(why.empty()) << why;
    }
    ASSERT_TRUE(stream::WriteStreamFormat(stream::FindPreset("jpeg-gray")->format, path));
    EXPECT_EQ(ReadProfileString("Stream", "format", "", path), "jpeg-gray");
    EXPECT_EQ(stream::ReadStreamFormat(path, &why), stream::FindPreset("jpeg-gray")->format);

    // A garbled value: the design's format and the reason.
    ASSERT_TRUE(WriteProfileString("Stream", "format", "custom,framing=marker,start=0", path));
    EXPECT_TRUE(stream::ReadStreamFormat(path, &why).IsDesignFormat());
    EXPECT_NE(why.find("custom,framing=marker,start=0"), std::string::npos) << why;
    EXPECT_EQ(ReadProfileString("Black", "rows", "", path), "60");
    std::filesystem::remove_all(dir);
}
