// Every stream format through the whole engine: the simulated board of each
// preset on a pseudo-terminal, a continuous capture on a real worker, and the
// last frame's bytes and picture compared with what the board sent.
#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <cstdlib>
#include <thread>

#include "BoardTest.h"
#include "FakePage.h"
#include "stream/JpegDecoder.h"
#include "stream/PixelEncoding.h"
#include "stream/StreamFormat.h"
#include "tools/camsim/CameraBoard.h"

namespace {

using namespace std::chrono;
using Bytes = std::vector<uint8_t>;

constexpr int kRows = 30;
constexpr int kColumns = 40;

uint32_t Gray(uint8_t v) {
    return (uint32_t{v} << 16) | (uint32_t{v} << 8) | v;
}

struct Case {
    const char* preset;
    camsim::Pattern pattern;
};

std::string Name(const testing::TestParamInfo<Case>& info) {
    std::string name = std::string(info.param.preset) +
                       (info.param.pattern == camsim::Pattern::Scene ? "_scene" : "_gradient");
    for (char& c : name)
        if (!isalnum(static_cast<unsigned char>(c)))
            c = '_';
    return name;
}

class StreamFormatCapture : public BoardTest<>, public testing::WithParamInterface<Case> {
protected:
    void TearDown() override {
        page.ShutdownEngine();
        BoardTest::TearDown();
    }

    // Runs `count` frames of the preset through a continuous capture; the
    // board's options may be adjusted first.
    void Capture(const stream::CStreamPreset& preset, uint64_t count,
                 const std::function<void(camsim::CameraBoard::Options&)>& adjust = {}) {
        options.format = preset.format;
        options.rows = kRows;
        options.columns = kColumns;
        options.baud = 3000000;
        options.count = count;
        options.pattern = GetParam().pattern;
        options.seed = 7;
        options.between = preset.format.framing == stream::Framing::Jpeg ? "ACK IMG END\r\n" : "";
        if (adjust)
            adjust(options);
        camera = std::make_unique<camsim::CameraBoard>(board, options);
        std::string error;
        ASSERT_TRUE(camera->Init(&error)) << error;

        const stream::Encoding encoding = preset.format.Resolved(false);
        gray = stream::Info(encoding).gray;
        // Where the line carries the size, the page's own is another.
        const bool wire = preset.format.GeometryFromWire();
        page.Configure(wire ? 11 : kRows, wire ? 13 : kColumns, 1, gray ? 0 : 1, 400, 300);
        page.m_bShowValues = gray ? 1 : 0;
        page.m_streamFormat = preset.format;
        ASSERT_EQ(page.StartWorker(), 1);
        ASSERT_TRUE(page.log->WaitFor("begin"));
        std::this_thread::sleep_for(milliseconds(150));  // the start purge
        ASSERT_TRUE(camera->Start(&error)) << error;

        // Until the board has sent every frame and the engine has taken
        // them: its counts stay put for a while (a board that answers
        // requests may be asked again after a lost byte).
        const auto deadline = steady_clock::now() + seconds(10);
        auto counts = [&] {
            const CLinkStatistics st = page.GetLinkStatistics();
            return std::make_tuple(st.framesDrawn, st.framesSkipped, st.suspectFrames,
                                   st.bytesReceived);
        };
        auto last = counts();
        auto since = steady_clock::now();
        while (steady_clock::now() < deadline) {
            std::this_thread::sleep_for(milliseconds(20));
            const auto now = counts();
            if (now != last) {
                last = now;
                since = steady_clock::now();
            } else if (camera->Stats().framesSent >= count &&
                       steady_clock::now() - since > milliseconds(300)) {
                break;
            }
        }
        page.StopWorker();
        ASSERT_TRUE(page.log->WaitFor("end"));
        camera->Stop();
    }

    // The picture shows frame `index` as the board encoded it.
    void ExpectPicture(uint64_t index) {
        const camsim::EncodedFrame expected = camera->Expected(index);
        const camsim::Picture& picture = expected.picture;
        ASSERT_EQ(picture.width, static_cast<uint32_t>(kColumns));
        ASSERT_EQ(picture.height, static_cast<uint32_t>(kRows));
        const bool compressed = stream::Info(camera->SentEncoding()).compressed;
        double errors = 0;
        int worst = 0;
        for (int r = 0; r < kRows; ++r) {
            for (int c = 0; c < kColumns; ++c) {
                const size_t i = static_cast<size_t>(r) * kColumns + c;
                uint32_t want;
                if (picture.gray) {
                    want = Gray(picture.pixels[i]);
                } else if (gray) {  // a colour picture on the grayscale page
                    want = Gray(stream::PixelLuma(stream::Encoding::Rgb888,
                                                  picture.pixels.data() + i * 3, 0));
                } else {
                    const uint8_t* p = picture.pixels.data() + i * 3;
                    want = (uint32_t{p[0]} << 16) | (uint32_t{p[1]} << 8) | p[2];
                }
                const uint32_t got = page.m_wndPicture.PixelAt(c, r);
                if (!compressed) {
                    ASSERT_EQ(got, want) << "row " << r << " column " << c;
                    continue;
                }
                for (int shift : {0, 8, 16}) {
                    const int d = std::abs(static_cast<int>((got >> shift) & 0xFF) -
                                           static_cast<int>((want >> shift) & 0xFF));
                    errors += d;
                    worst = std::max(worst, d);
                }
            }
        }
        // A JPEG frame: near the picture encoded (a noisy scene loses more
        // at quality 80), and exactly what the decoder alone makes of it.
        if (compressed) {
            EXPECT_LT(errors / (kRows * kColumns * 3), 10.0) << "worst " << worst;
            stream::CJpegDecoder decoder;
            Bytes pixels;
            uint32_t width = 0, height = 0;
            const bool grayJpeg = camera->SentEncoding() == stream::Encoding::JpegGray;
            ASSERT_EQ(decoder.Decode(expected.payload.data(), expected.payload.size(), grayJpeg,
                                     pixels, width, height),
                      stream::CJpegDecoder::Result::Ok);
            for (int r = 0; r < kRows; ++r)
                for (int c = 0; c < kColumns; ++c) {
                    const size_t i = static_cast<size_t>(r) * kColumns + c;
                    const uint32_t want = grayJpeg ? Gray(pixels[i])
                                                   : (uint32_t{pixels[i * 3]} << 16) |
                                                         (uint32_t{pixels[i * 3 + 1]} << 8) |
                                                         pixels[i * 3 + 2];
                    ASSERT_EQ(page.m_wndPicture.PixelAt(c, r), want)
                        << "row " << r << " column " << c;
                }
        }
    }

    camsim::CameraBoard::Options options;
    std::unique_ptr<camsim::CameraBoard> camera;
    FakePage page;
    bool gray = true;
};

TEST_P(StreamFormatCapture, EveryFrameWholeAndTheLastDrawnAsSent) {
    const stream::CStreamPreset* preset = stream::FindPreset(GetParam().preset);
    ASSERT_NE(preset, nullptr);
    constexpr uint64_t kFrames = 6;
    Capture(*preset, kFrames);
    const CLinkStatistics st = page.GetLinkStatistics();
    EXPECT_EQ(st.framesDrawn + st.framesSkipped, kFrames);
    EXPECT_EQ(st.suspectFrames, 0u);
    EXPECT_EQ(st.resyncs, 0u);
    EXPECT_EQ(st.framesLost, 0u);

    CFrameCopy last;
    ASSERT_TRUE(page.LastFrame(last));
    const camsim::EncodedFrame expected = camera->Expected(kFrames - 1);
    EXPECT_EQ(last.bytes, expected.payload);  // a JPEG frame: the file, byte for byte
    EXPECT_EQ(last.encoding, camera->SentEncoding());
    EXPECT_EQ(last.rows, static_cast<uint32_t>(kRows));
    EXPECT_EQ(last.columns, static_cast<uint32_t>(kColumns));
    ExpectPicture(kFrames - 1);
    if (gray) {
        // The listing of the last frame: its brightness against the
        // threshold, a 1-bit frame's bits as sent.
        std::string want;
        const uint64_t rowBytes = stream::RowBytes(last.encoding, kColumns);
        for (int r = 0; r < kRows; ++r) {
            for (int c = 0; c < kColumns; ++c) {
                const uint8_t* row = expected.payload.data() + r * rowBytes;
                const bool one =
                    last.encoding == stream::Encoding::Bits1 ? (row[c / 8] >> (7 - c % 8)) & 1
                    : stream::Info(last.encoding).compressed
                        ? last.decoded[r * kColumns + c] > page.log->threshold
                        : stream::PixelLuma(last.encoding, row, c) > page.log->threshold;
                want += one ? '1' : '0';
            }
            want += '\n';
        }
        EXPECT_EQ(page.log->Listing(), want);
    }
    if (preset->format.GeometryFromWire()) {
        uint32_t rows = 0, columns = 0;
        ASSERT_TRUE(page.WireGeometry(rows, columns));
        EXPECT_EQ(rows, static_cast<uint32_t>(kRows));
        EXPECT_EQ(columns, static_cast<uint32_t>(kColumns));
    }
}

// One byte lost on the line: that frame is lost or counted suspect, and the
// frames after it come whole.
TEST_P(StreamFormatCapture, ALostByteSpoilsAtMostOneFrame) {
    const stream::CStreamPreset* preset = stream::FindPreset(GetParam().preset);
    ASSERT_NE(preset, nullptr);
    constexpr uint64_t kFrames = 9;
    Capture(*preset, kFrames, [](camsim::CameraBoard::Options& o) { o.loseByteEvery = 4; });
    const CLinkStatistics st = page.GetLinkStatistics();
    // Frames 4 and 8 (counting from 1) lost a byte each: each is lost, or
    // drawn and counted suspect; the others come whole.
    EXPECT_GE(st.framesDrawn + st.framesSkipped, kFrames - 2);
    EXPECT_LE(st.suspectFrames + st.framesLost, 2u)
        << "drawn " << st.framesDrawn << " skipped " << st.framesSkipped << " suspect "
        << st.suspectFrames << " lost " << st.framesLost << " resyncs " << st.resyncs;
    CFrameCopy last;
    ASSERT_TRUE(page.LastFrame(last));
    EXPECT_EQ(last.bytes, camera->Expected(kFrames - 1).payload)
        << "frame " << last.number << " of " << st.framesDrawn << " drawn";
}

std::vector<Case> Cases() {
    std::vector<Case> cases;
    for (const stream::CStreamPreset& p : stream::Presets())
        for (camsim::Pattern pattern : {camsim::Pattern::Scene, camsim::Pattern::Gradient})
            cases.push_back({p.id, pattern});
    return cases;
}

INSTANTIATE_TEST_SUITE_P(Presets, StreamFormatCapture, testing::ValuesIn(Cases()), Name);

// The bytes the format sends the board arrive in order: the start request,
// one per frame, the stop request.
TEST(StreamFormatRequests, ReachTheBoardInOrder) {
    camsim::PseudoTerminal board;
    ASSERT_TRUE(board.Open());
    FakePortOwner owner;
    SetPortDevicePath(9, board.DevicePath());
    SetPortOwner(&owner);
    FakePage page;
    page.Configure(2, 2, 1, 0);
    ASSERT_TRUE(stream::ParseBytes("\"S\"", page.m_streamFormat.requestAtStart));
    ASSERT_TRUE(stream::ParseBytes("46", page.m_streamFormat.requestPerFrame));  // "F"
    ASSERT_TRUE(stream::ParseBytes("\"E\\r\\n\"", page.m_streamFormat.requestAtStop));
    ASSERT_EQ(page.StartWorker(), 1);
    ASSERT_TRUE(page.log->WaitFor("begin"));
    std::this_thread::sleep_for(milliseconds(150));
    const Bytes frames = {255, 1, 2, 3, 4, 255, 5, 6, 7, 8, 255};
    ASSERT_TRUE(board.WriteAll(frames.data(), frames.size()));
    const auto deadline = steady_clock::now() + seconds(5);
    auto taken = [&] {
        const CLinkStatistics st = page.GetLinkStatistics();
        return st.framesDrawn + st.framesSkipped;
    };
    while (taken() < 2 && steady_clock::now() < deadline)
        std::this_thread::sleep_for(milliseconds(5));
    page.StopWorker();
    ASSERT_TRUE(page.log->WaitFor("end"));
    page.ShutdownEngine();
    std::string got;
    uint8_t buffer[64];
    for (int tries = 0; tries < 20 && got.size() < 6; ++tries) {
        const size_t n = board.ReadFromHost(buffer, sizeof buffer, 50);
        got.append(reinterpret_cast<char*>(buffer), n);
    }
    EXPECT_EQ(got, "SFFE\r\n");
    SetPortOwner(nullptr);
    owner.ClosePort();
    SetPortDevicePath(9, "");
}

}  // namespace

namespace {

// The header byte's own format with a saturated picture (pixels of the
// header's value everywhere) and a byte lost in two frames, in chunks of
// any size: the last frame is taken in step, never at a header-valued pixel
// that a frame later happens to meet another.
class SaturatedLostByte : public BoardTest<> {};

TEST_F(SaturatedLostByte, TheLastFrameComesWholeInAnyChunking) {
    camsim::CameraBoard::Options o;
    o.rows = kRows;
    o.columns = kColumns;
    o.pattern = camsim::Pattern::Scene;
    o.seed = 7;
    camsim::CameraBoard camera(board, o);
    ASSERT_TRUE(camera.Init());
    Bytes wire;
    for (int i = 0; i < 9; ++i) {
        camsim::EncodedFrame f = camera.Expected(i);
        if (i % 4 == 3)
            f.LoseByte(camsim::CameraBoard::LostByte(f.payload.size()));
        const Bytes w = f.Wire();
        wire.insert(wire.end(), w.begin(), w.end());
    }
    for (size_t chunk : {64u, 600u, 1200u, 1201u, 3000u, 4096u, 9000u}) {
        SCOPED_TRACE("chunks of " + std::to_string(chunk));
        FakePage page;
        ASSERT_EQ(owner.OpenPort(), 1);
        page.Configure(kRows, kColumns, 1, 0);
        page.ResetState();
        ASSERT_TRUE(page.AllocateBuffers());
        auto poll = [&] {
            for (int k = 0; k < 3; ++k) {
                page.ReceiveContinuous(0);
                while (page.m_bDrawing)
                    std::this_thread::yield();
            }
        };
        for (size_t at = 0; at < wire.size(); at += chunk) {
            const size_t n = std::min(chunk, wire.size() - at);
            ASSERT_TRUE(board.WriteAll(wire.data() + at, n));
            ASSERT_TRUE(board.WaitQueued(n, 2000));
            poll();
        }
        poll();
        CFrameCopy last;
        ASSERT_TRUE(page.LastFrame(last));
        EXPECT_EQ(last.bytes, camera.Expected(8).payload);
        EXPECT_LE(page.GetLinkStatistics().suspectFrames, 2u);
        page.ShutdownEngine();
        owner.ClosePort();
    }
}

}  // namespace
