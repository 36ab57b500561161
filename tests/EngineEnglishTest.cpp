// The engine's texts in English: real paths (a diagnosis of generated streams,
// a port that cannot be opened, a settings file that cannot be written, the
// link-health line, recording and picture-file messages) leave no Chinese and
// no unfilled placeholder; the pattern filler and the catalogue themselves.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cstdlib>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "FakePortOwner.h"
#include "capture/FrameCopy.h"
#include "capture/FrameFiles.h"
#include "capture/LinkHealth.h"
#include "capture/RecordingReader.h"
#include "capture/StreamDiagnosis.h"
#include "serial/PortDevices.h"
#include "serial/PortSelection.h"
#include "settings/ProfileFile.h"
#include "settings/Translation.h"
#include "stream/PixelEncoding.h"
#include "stream/StreamFormat.h"
#include "tools/camsim/FrameEncoder.h"
#include "tools/camsim/FrameSource.h"

namespace {

using Bytes = std::vector<uint8_t>;

// The first character of `text` in U+3000–U+9FFF or U+FF00–U+FFEF (CJK
// punctuation, ideographs, full-width forms), or empty.
std::string FirstCjk(const std::string& text) {
    for (size_t i = 0; i < text.size();) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        if (c < 0x80) {
            ++i;
            continue;
        }
        const size_t n = c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : 2;
        if (n == 3 && i + 2 < text.size()) {
            const unsigned code = (c & 0x0Fu) << 12 |
                                  (static_cast<unsigned char>(text[i + 1]) & 0x3Fu) << 6 |
                                  (static_cast<unsigned char>(text[i + 2]) & 0x3Fu);
            if ((code >= 0x3000 && code <= 0x9FFF) || (code >= 0xFF00 && code <= 0xFFEF))
                return text.substr(i, 3) + " in: " + text;
        }
        i += n;
    }
    return {};
}

// No Chinese and no %1…%9 left unfilled.
void ExpectEnglish(const std::string& text) {
    EXPECT_FALSE(text.empty());
    EXPECT_EQ(FirstCjk(text), "");
    for (size_t i = 0; i + 1 < text.size(); ++i)
        EXPECT_FALSE(text[i] == '%' && text[i + 1] >= '1' && text[i + 1] <= '9')
            << "placeholder left at " << i << " in: " << text;
}

class EngineEnglish : public ::testing::Test {
protected:
    void SetUp() override { tx::SetLanguage(tx::Language::English); }
    void TearDown() override { tx::SetLanguage(tx::Language::Chinese); }
};

TEST(EngineEnglishFormat, PatternsAreFilledInTheTranslationsOrder) {
    EXPECT_EQ(tx::Format("%2 before %1", "a", 7), "7 before a");
    EXPECT_EQ(tx::Format("%1 and %3", "x"), "x and %3");  // a missing argument stays visible
    EXPECT_EQ(tx::Format("100%% of %1%", 50), "100%% of 50%");
    EXPECT_EQ(tx::Format("%1%2", uint64_t{18446744073709551615u}, 'c'), "18446744073709551615c");
    EXPECT_EQ(tx::Fixed(12.3456, 2), "12.35");
    EXPECT_EQ(tx::Fixed(0.4, 0), "0");
}

TEST_F(EngineEnglish, TheCatalogueTranslatesShownNamesButNotStoredOnes) {
    EXPECT_STREQ(tx::English("CLinkHealth", "%1 KB/秒"), "%1 KB/s");
    EXPECT_STREQ(tx::Tr("StreamFormat", "自定义"), "Custom");
    EXPECT_STREQ(stream::CustomLabel(), "Custom");
    const stream::CStreamPreset& design = stream::Presets()[0];
    EXPECT_STREQ(stream::PresetLabel(design), "One-byte header (default)");
    EXPECT_STREQ(stream::EncodingLabel(stream::Encoding::Rgb565Be), "RGB565 high byte first");
    EXPECT_STREQ(stream::FramingLabel(stream::Framing::Headerless), "No header");
    // What files keep stays the same in either language.
    EXPECT_STREQ(design.label, "单字节帧头（默认）");
    const stream::CStreamFormat marker = stream::FindPreset("fe01-bits")->format;
    EXPECT_EQ(stream::FormatToText(marker), "fe01-bits");
    stream::CStreamFormat custom = marker;
    custom.endMarker.clear();
    const std::string text = stream::FormatToText(custom);
    tx::SetLanguage(tx::Language::Chinese);
    EXPECT_EQ(stream::FormatToText(custom), text);
    EXPECT_STREQ(stream::PresetLabel(design), "单字节帧头（默认）");
    tx::SetLanguage(tx::Language::English);
    // A parse failure says why in English.
    std::string reason;
    stream::CStreamFormat parsed;
    EXPECT_FALSE(stream::FormatFromText("custom,framing=marker,start=0", parsed, &reason));
    ExpectEnglish(reason);
    EXPECT_FALSE(stream::FormatFromText("nonesuch", parsed, &reason));
    EXPECT_EQ(reason, "no preset named \"nonesuch\"");
}

// A camera-like grayscale picture behind header 255, as the design's boards send it.
Bytes NaturalWire(int rows, int columns, int frames) {
    std::mt19937 rng(3);
    std::normal_distribution<double> noise(0, 2.0);
    Bytes out;
    for (int i = 0; i < frames; ++i) {
        out.push_back(255);
        for (int r = 0; r < rows; ++r)
            for (int c = 0; c < columns; ++c) {
                const double v = 110 + 60 * std::sin(r / 9.0 + i * 0.05) * std::cos(c / 13.0) +
                                 40 * std::sin((r + 2 * c) / 21.0) + noise(rng);
                out.push_back(uint8_t(std::clamp(int(std::lround(v)), 0, 250)));
            }
    }
    return out;
}

Bytes Encoded(const char* preset, int rows, int columns, int frames) {
    const stream::CStreamFormat format = stream::FindPreset(preset)->format;
    const bool colour = camsim::FrameEncoder::NeedsColour(format.encoding);
    const camsim::FrameSource source(rows, columns, colour, camsim::Pattern::Scene);
    const camsim::FrameEncoder encoder(format, format.encoding, 255, source, 80);
    Bytes out;
    for (int k = 0; k < frames; ++k) {
        const Bytes wire = encoder.Encode(static_cast<uint64_t>(k), false).Wire();
        out.insert(out.end(), wire.begin(), wire.end());
    }
    return out;
}

TEST_F(EngineEnglish, DiagnosisReportsOfRealStreamsAreEnglishThroughout) {
    struct Case {
        const char* name;
        Bytes bytes;
        CDiagnosisContext ctx;
    };
    std::vector<Case> cases;
    {
        // The design's stream, read with the wrong page settings: changes to make.
        CDiagnosisContext ctx;
        ctx.header = 254;
        ctx.rows = 30;
        ctx.columns = 40;
        ctx.colour = 1;
        ctx.baud = 9600;
        ctx.seconds = 1;
        ctx.countersKnown = true;
        ctx.framing = 3;
        ctx.overrun = 1;
        ctx.breaks = 1;
        cases.push_back({"header byte", NaturalWire(60, 80, 6), ctx});
    }
    {
        // Too little of it: uncertain, more bytes needed.
        CDiagnosisContext ctx;
        cases.push_back({"short", NaturalWire(120, 160, 2), ctx});
    }
    {
        // Noise: no header, with the baud rate as the likely cause.
        std::mt19937 rng(5);
        Bytes noise(40000);
        for (auto& b : noise)
            b = uint8_t(rng());
        CDiagnosisContext ctx;
        ctx.header = 255;
        ctx.rows = 60;
        ctx.columns = 80;
        ctx.colour = 0;
        cases.push_back({"noise", noise, ctx});
    }
    cases.push_back({"nothing", Bytes(), CDiagnosisContext()});
    cases.push_back({"jpeg", Encoded("jpeg", 120, 160, 5), CDiagnosisContext()});
    cases.push_back({"marker", Encoded("fe01-gray", 60, 80, 6), CDiagnosisContext()});
    cases.push_back({"packet", Encoded("liveov7670", 120, 160, 4), CDiagnosisContext()});
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const CDiagnosisReport r = Diagnose(c.bytes.data(), c.bytes.size(), c.ctx);
        const std::string text = ReportText(r);
        ExpectEnglish(text);
        for (size_t i = 0; i + 1 < text.size(); ++i)  // sentences apart
            EXPECT_FALSE(text[i] == '.' && std::isupper(static_cast<unsigned char>(text[i + 1])))
                << text;
        for (const std::string& d : r.doubts)
            ExpectEnglish(d);
        for (const auto& reading : r.recognition.readings) {
            ExpectEnglish(reading.evidence);
            for (const std::string& d : reading.doubts)
                ExpectEnglish(d);
        }
        // The same report in Chinese is Chinese: the test reads the real texts.
        tx::SetLanguage(tx::Language::Chinese);
        EXPECT_NE(FirstCjk(ReportText(Diagnose(c.bytes.data(), c.bytes.size(), c.ctx))), "");
        tx::SetLanguage(tx::Language::English);
    }
    const CDiagnosisReport r = Diagnose(cases[0].bytes.data(), cases[0].bytes.size(), cases[0].ctx);
    EXPECT_NE(ReportText(r).find("Serial data diagnosis\n"), std::string::npos);
    EXPECT_NE(
        r.verdictText.find("Certain: header 255, 4800 bytes per frame, grayscale 60 rows × 80 "
                           "columns."),
        std::string::npos)
        << r.verdictText;
    EXPECT_NE(r.verdictText.find("header 254 → 255"), std::string::npos) << r.verdictText;
    EXPECT_EQ(r.verdictText.rfind("Wrong baud rate: the chosen 9600 baud", 0), 0u) << r.verdictText;
}

TEST_F(EngineEnglish, APortThatCannotBeOpenedSaysWhyInEnglish) {
    SetPortDevicePath(12, "/nonexistent/tty");
    FakePortOwner owner;
    owner.portText = "COM12";
    EXPECT_EQ(owner.OpenPort(), 0);
    EXPECT_EQ(owner.Messages(),
              std::vector<std::string>{"Cannot open the port! Port number 12, baud rate 115200\n"
                                       "Device /nonexistent/tty does not exist: the camera board "
                                       "is not connected or was unplugged."});
    SetPortDevicePath(12, "");
    owner.baudSelection = 0;
    owner.OpenPort();
    ExpectEnglish(owner.Messages().back());

    // The port list's entries, and their names read back from the English text.
    CPortEntry entry;
    entry.name = "COM5";
    entry.device = "/dev/ttyS4";
    for (PortState state :
         {PortState::NoPermission, PortState::Busy, PortState::Missing, PortState::NotSerial}) {
        entry.state = state;
        ExpectEnglish(entry.Text());
        EXPECT_EQ(PortEntryName(entry.Text()), "COM5") << entry.Text();
        if (state != PortState::Busy)
            ExpectEnglish(PortEntryDetail(entry));
    }
    EXPECT_EQ(ProbePortList().front(), "Select port");
    EXPECT_EQ(BaudList("9600").front(), "Select baud rate");
}

TEST_F(EngineEnglish, ASettingsFileThatCannotBeWrittenSaysWhyInEnglish) {
    char folder[] = "/tmp/tavix-english-XXXXXX";
    ASSERT_NE(mkdtemp(folder), nullptr);
    const std::string path = std::string(folder) + "/DevSet.ini";
    std::ofstream(path) << "[Com]\ncom=2\n";
    ASSERT_EQ(chmod(path.c_str(), 0444), 0);
    std::vector<int> told;
    SetProfileWriteFailureHandler([&](const std::string&, int error) { told.push_back(error); });
    EXPECT_FALSE(WriteProfileString("Com", "com", "5", path));
    SetProfileWriteFailureHandler(nullptr);
    ASSERT_EQ(told.size(), 1u);
    const std::string text = ProfileWriteFailureText(path, told[0]);
    ExpectEnglish(text);
    EXPECT_EQ(text, "Cannot save the settings file " + path +
                        ": the file is read-only. The settings stay in effect for this session "
                        "and will be written the next time saving succeeds.");
    ExpectEnglish(ProfileWriteFailureText(path, EIO));  // the system's own reason
    std::remove(path.c_str());
    rmdir(folder);
}

TEST_F(EngineEnglish, TheLinkHealthLineAndItsTooltip) {
    CLinkStatistics s;
    s.bytesReceived = 123456;
    s.framesDrawn = 20;
    s.framesSkipped = 2;
    s.resyncs = 1;
    s.suspectFrames = 1;
    s.lastLatencyMicroseconds = 4250;
    const CLinkHealth h = CLinkHealth::Of(s, 12.5, 9.96, 2048, 115200);
    EXPECT_EQ(h.Text(),
              "Link: 12.5 fps, shown 10.0 fps · 2.0 KB/s (18% of line) · total 123456 bytes 20 "
              "frames · skipped 2 · resync 1 · suspect 1 · latency 4.2 ms");
    ExpectEnglish(CLinkHealth::Explanation());
    // Chinese stays as it was, also without a known baud rate.
    tx::SetLanguage(tx::Language::Chinese);
    EXPECT_EQ(CLinkHealth::Of(s, 12.5, 9.96, 2048, 0).Text(),
              "链路：12.5 帧/秒，显示 10.0 帧/秒 · 2.0 KB/秒 · 共 123456 字节 20 帧 · 跳过 2 · "
              "重同步 1 · 可疑 1 · 延迟 4.2 ms");
    EXPECT_EQ(
        h.Text(),
        "链路：12.5 帧/秒，显示 10.0 帧/秒 · 2.0 KB/秒（线路的 18%） · 共 123456 字节 20 帧 · "
        "跳过 2 · 重同步 1 · 可疑 1 · 延迟 4.2 ms");
}

TEST_F(EngineEnglish, RecordingAndPictureFileMessages) {
    char folder[] = "/tmp/tavix-english-XXXXXX";
    ASSERT_NE(mkdtemp(folder), nullptr);
    const std::string empty = std::string(folder) + "/empty.tavixrec";
    const std::string other = std::string(folder) + "/other.tavixrec";
    std::ofstream(empty).close();
    std::ofstream(other) << "not a recording at all, just some text long enough";
    for (const std::string& path : {empty, other, std::string(folder) + "/missing.tavixrec"}) {
        CRecordingReader reader;
        std::string error;
        EXPECT_FALSE(reader.Open(path, error));
        ExpectEnglish(error);
    }
    CFrameCopy frame;
    frame.rows = 2;
    frame.columns = 2;
    frame.bytes = {1, 2, 3, 4};
    std::string error;
    EXPECT_FALSE(framefile::Save(std::string(folder) + "/no/such/picture.png", frame, error));
    ExpectEnglish(error);
    EXPECT_FALSE(framefile::Save(std::string(folder) + "/picture.bmp", frame, error));
    ExpectEnglish(error);
    std::remove(empty.c_str());
    std::remove(other.c_str());
    rmdir(folder);
}

}  // namespace
