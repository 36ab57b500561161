// Frame reception, one poll at a time, through a real pseudo-terminal.
#include <gtest/gtest.h>

#include <algorithm>

#include "BoardTest.h"
#include "FakePage.h"
#include "FakePortOwner.h"
#include "capture/LinkHealth.h"
#include "capture/LinkRateMeter.h"
#include "serial/PortDevices.h"
#include "tools/camsim/FrameSource.h"
#include "tools/camsim/PseudoTerminal.h"

namespace {

using Bytes = std::vector<uint8_t>;
const std::string kSearching = "status:正在找数据头，请稍等...";
const std::string kDrawing = "status:显示整幅图可能需要几十秒哦，请稍等...";
const std::string kNoData = "status:未接收到串口数据";

class ReceptionTest : public BoardTest<> {
protected:
    void SetUp() override {
        BoardTest::SetUp();
        ASSERT_EQ(owner.OpenPort(), 1);
    }
    void TearDown() override {
        page.ShutdownEngine();
        BoardTest::TearDown();
    }
    // Prepares the engine as the worker does before its first poll; no
    // drawing passes unless asked for.
    void Prepare(uint32_t rows, uint32_t columns, int mode, uint8_t format = 0, int image = 0) {
        page.Configure(rows, columns, mode, format);
        page.m_bShowImage = image;
        page.ResetState();
        ASSERT_TRUE(page.AllocateBuffers());
    }
    void Feed(const Bytes& bytes) {
        ASSERT_TRUE(board.WriteAll(bytes.data(), bytes.size()));
        ASSERT_TRUE(board.WaitQueued(bytes.size(), 2000));
    }
    uint32_t Space() { return page.m_nFrameSize - page.m_nReceived; }
    int Single() { return page.ReceiveSingle(Space()); }
    int Continuous() { return page.ReceiveContinuous(Space()); }
    Bytes Frame(size_t n) { return Bytes(page.m_pFrame.get(), page.m_pFrame.get() + n); }
    // Distinct pixels for frame i, never the header 255.
    static Bytes Pixels(size_t n, int i) {
        Bytes b(n);
        for (size_t k = 0; k < n; ++k)
            b[k] = static_cast<uint8_t>((k * 7 + i * 31) % 250);
        return b;
    }
    // Polls until what is queued has been taken and drawn.
    void Settle() {
        for (int i = 0; i < 3; ++i) {
            Continuous();
            while (page.m_bDrawing)
                std::this_thread::yield();
        }
    }
    // The picture (1:1) shows `pixels` as rows x columns.
    void ExpectPicture(int rows, int columns, const Bytes& pixels) {
        for (int r = 0; r < rows; ++r)
            for (int c = 0; c < columns; ++c) {
                const uint32_t v = pixels[r * columns + c];
                ASSERT_EQ(page.m_wndPicture.PixelAt(c, r), (v << 16) | (v << 8) | v)
                    << "row " << r << " column " << c;
            }
    }

    FakePage page;
};

TEST_F(ReceptionTest, BytesBeforeTheHeaderAreDropped) {
    Prepare(60, 80, 0);
    Feed({0x12, 0x34, 0xFF, 0x01, 0x02});
    EXPECT_EQ(Single(), 0);
    EXPECT_EQ(page.m_bHeaderFound, 1);
    EXPECT_EQ(page.m_nReceived, 2u);
    EXPECT_EQ(Frame(2), (Bytes{1, 2}));
    EXPECT_EQ(page.m_nRxLength, 0u);
    EXPECT_EQ(page.log->Count(kSearching), 1u);
}

TEST_F(ReceptionTest, HeaderAsLastByteStartsAnEmptyFrame) {
    Prepare(60, 80, 0, 0, /*image=*/1);
    Feed({0x01, 0x02, 0xFF});
    Single();
    EXPECT_EQ(page.m_bHeaderFound, 1);
    EXPECT_EQ(page.m_nReceived, 0u);
    EXPECT_EQ(page.log->Count(kDrawing), 0u);  // nothing to draw yet
    Feed({9, 8, 7});
    Single();
    EXPECT_EQ(page.m_nReceived, 3u);
    EXPECT_EQ(Frame(3), (Bytes{9, 8, 7}));
    EXPECT_EQ(page.log->Count(kDrawing), 0u);  // no complete row yet
    Feed(Bytes(77, 6));
    Single();
    EXPECT_EQ(page.m_nReceived, 80u);
    EXPECT_EQ(page.log->Count(kDrawing), 1u);
}

TEST_F(ReceptionTest, FirstHeaderWinsAndHeaderValuedPixelsAreData) {
    Prepare(60, 80, 1);
    Feed({5, 0xFF, 10, 0xFF, 20});
    Continuous();
    EXPECT_EQ(page.m_nReceived, 3u);
    Feed({0xFF, 0xFF, 1});
    Continuous();
    EXPECT_EQ(page.m_nReceived, 6u);
    EXPECT_EQ(Frame(6), (Bytes{10, 0xFF, 20, 0xFF, 0xFF, 1}));
}

// Asked to confirm its first start (the command-line tool), a capture begun
// inside a saturated patch waits for the next frame's start and takes the
// real header, not the patch's first byte (which the window takes at once).
TEST_F(ReceptionTest, AConfirmedFirstStartPassesOverASaturatedPatch) {
    const Bytes payload = {10, 0xFF, 0xFF, 0xFF, 12, 13, 14, 15};  // 2 x 4, a patch
    Bytes line(payload.begin() + 1, payload.end());                // begun inside a frame
    for (int i = 0; i < 3; ++i) {
        line.push_back(0xFF);
        line.insert(line.end(), payload.begin(), payload.end());
    }
    for (const int confirm : {0, 1}) {
        SCOPED_TRACE(confirm);
        page.m_bConfirmFirstStart = confirm;
        Prepare(2, 4, 1);
        Feed(Bytes(line.begin(), line.begin() + 12));  // too short to confirm anything
        Continuous();
        EXPECT_EQ(page.m_bHeaderFound, confirm ? 0 : 1);
        Feed(Bytes(line.begin() + 12, line.end()));
        Continuous();
        ASSERT_EQ(page.m_bHeaderFound, 1);
        // The window's start is the patch's first byte; the confirmed one is
        // the real header, its frame the board's.
        EXPECT_EQ(Frame(3),
                  confirm ? Bytes(payload.begin(), payload.begin() + 3) : (Bytes{0xFF, 0xFF, 12}));
    }
}

TEST_F(ReceptionTest, OnePollTakesEverythingQueued) {
    Prepare(60, 80, 0);  // 4800-byte frames
    Bytes data(3000, 0x00);
    data[2500] = 0xFF;
    std::fill(data.begin() + 2501, data.end(), 0x11);
    Feed(data);
    Single();
    EXPECT_EQ(page.m_bHeaderFound, 1);
    EXPECT_EQ(page.m_nReceived, 499u);
    EXPECT_EQ(Frame(499), Bytes(499, 0x11));
    EXPECT_EQ(page.m_nRxLength, 0u);
    EXPECT_EQ(page.GetLinkStatistics().bytesReceived, 3000u);
}

TEST_F(ReceptionTest, AHeaderConfirmedAFrameLaterWinsOverAnEarlierOne) {
    Prepare(2, 2, 1);  // 4-byte frames
    // The first header byte is refuted (a frame later comes 3, not a header);
    // the second is confirmed by the header at 2 + 5.
    Feed({0xFF, 9, 0xFF, 1, 2, 3, 4, 0xFF, 5});
    Continuous();
    EXPECT_EQ(page.m_nReceived, 4u);
    EXPECT_EQ(Frame(4), (Bytes{1, 2, 3, 4}));
    EXPECT_EQ(page.m_nRxLength, 2u);  // the next frame's start waits
    EXPECT_EQ(page.GetLinkStatistics().resyncs, 0u);
}
TEST_F(ReceptionTest, ReadsNeverOvershootTheFrame) {
    Prepare(2, 10, 0);  // 20 bytes
    Bytes data(1 + 40);
    data[0] = 0xFF;
    for (size_t i = 1; i < data.size(); ++i)
        data[i] = static_cast<uint8_t>(i);
    Feed(data);
    for (int i = 0; i < 4; ++i) {
        Single();
        ASSERT_LE(page.m_nReceived, 20u);
    }
    EXPECT_EQ(page.m_nReceived, 20u);
    EXPECT_EQ(Frame(20), Bytes(data.begin() + 1, data.begin() + 21));
}

TEST_F(ReceptionTest, OneByteFramesAreFound) {
    // Half of one byte of free space is none; the search still reads one.
    Prepare(1, 1, 0);
    Feed({0xFF, 42});
    Single();
    EXPECT_EQ(page.m_bHeaderFound, 1);
    Single();
    EXPECT_EQ(page.m_nReceived, 1u);
    EXPECT_EQ(Frame(1), Bytes{42});
}

// "No data" is told only of a line quiet for a second: not at the start of a
// capture, and not in the gaps between frames of a board sending six frames a
// second. Single-frame mode has no text of its own for it.
TEST_F(ReceptionTest, QuietLineStatusDiffersByMode) {
    Prepare(6, 8, 1, 0, /*image=*/1);
    Continuous();
    EXPECT_EQ(page.log->Count(kNoData), 0u);  // only just started
    for (int i = 0; i < 4; ++i) {
        Feed(camsim::WireFrame(0xFF, Pixels(48, i)));
        Settle();
        std::this_thread::sleep_for(std::chrono::milliseconds(150));  // to the next frame
        Continuous();
    }
    EXPECT_EQ(page.GetLinkStatistics().framesDrawn, 4u);
    EXPECT_EQ(page.log->Count(kNoData), 0u);
    std::this_thread::sleep_for(std::chrono::milliseconds(1100));
    Continuous();
    Continuous();
    EXPECT_EQ(page.log->Count(kNoData), 2u);
    Prepare(60, 80, 0);
    const size_t before = page.log->Calls().size();
    Single();
    EXPECT_EQ(page.log->Calls().size(), before);  // single mode stays silent
}

TEST_F(ReceptionTest, SingleModePurgesWhatFollowsAFullFrame) {
    Prepare(1, 4, 0);
    Feed({0xFF, 1, 2});
    Single();
    Feed({3, 4, 0xFF, 9, 9});
    Single();  // fills to 4 of 4, the rest stays queued
    EXPECT_EQ(page.m_nReceived, 4u);
    EXPECT_EQ(Frame(4), (Bytes{1, 2, 3, 4}));
    Single();  // full: purged
    uint8_t buf[16];
    uint32_t n = 9;
    EXPECT_EQ(owner.m_port.ReadAvailable(buf, sizeof buf, n), 0);
    EXPECT_EQ(n, 0u);
}

TEST_F(ReceptionTest, TenQueuedFramesDrawOnlyTheNewest) {
    Prepare(20, 20, 1, 0, /*image=*/1);
    std::vector<Bytes> frames;
    Bytes wire;
    for (int i = 0; i < 10; ++i) {
        frames.push_back(Pixels(400, i));
        const Bytes w = camsim::WireFrame(0xFF, frames.back());
        wire.insert(wire.end(), w.begin(), w.end());
    }
    Feed(wire);  // all ten before the first poll
    Continuous();
    page.ShutdownEngine();  // the pass has drawn the frame
    const CLinkStatistics st = page.GetLinkStatistics();
    EXPECT_EQ(st.framesSkipped, 9u);
    EXPECT_EQ(st.framesStarted, 1u);
    EXPECT_EQ(st.framesDrawn, 1u);
    EXPECT_EQ(st.resyncs, 0u);
    EXPECT_EQ(page.log->Count("clearPicture"), 1u);  // the capture's only
    ExpectPicture(20, 20, frames[9]);
}

TEST_F(ReceptionTest, ALostByteCostsOneResyncAndTheFollowingFramesAreWhole) {
    Prepare(20, 20, 1, 0, /*image=*/1);
    std::vector<Bytes> frames;
    for (int i = 0; i < 5; ++i)
        frames.push_back(Pixels(400, i));
    for (int i = 0; i < 5; ++i) {
        Bytes w = camsim::WireFrame(0xFF, frames[i]);
        if (i == 1)
            w.erase(w.begin() + 200);  // a byte lost in the middle of frame 1
        Feed(w);
        Settle();
        if (i >= 2)
            ExpectPicture(20, 20, frames[i]);
    }
    const CLinkStatistics st = page.GetLinkStatistics();
    EXPECT_EQ(st.resyncs, 1u);
    EXPECT_EQ(st.suspectFrames, 1u);  // frame 1, completed with frame 2's header
    // Frame 2's header, taken as frame 1's last byte, is found again: only
    // frame 1 is spoilt.
    EXPECT_EQ(st.framesStarted, 5u);
    EXPECT_EQ(st.framesDrawn, 5u);
    EXPECT_EQ(st.framesSkipped, 0u);
}
TEST_F(ReceptionTest, NextFrameBehindAnUndrawnFrameWaitsWhateverTheHeader) {
    Prepare(4, 5, 1);  // never drawn: no image, no listing
    page.m_byHeader = 0xA5;
    Bytes wire(21, 0x33);
    wire[0] = 0xA5;
    for (uint8_t b : {0xA5, 1, 2, 3, 4, 5})
        wire.push_back(b);
    Feed(wire);
    Continuous();
    EXPECT_EQ(page.m_nReceived, 20u);
    EXPECT_EQ(Frame(20), Bytes(20, 0x33));
    EXPECT_EQ(page.m_nRxLength, 6u);  // kept behind the full frame
    Continuous();                     // nothing changes while it waits
    EXPECT_EQ(page.m_nRxLength, 6u);
    EXPECT_EQ(Frame(20), Bytes(20, 0x33));

    page.OnFrameDone();  // drawn: the kept bytes hold the next frame
    Continuous();
    EXPECT_EQ(page.m_bHeaderFound, 1);
    EXPECT_EQ(page.m_nReceived, 5u);
    EXPECT_EQ(Frame(5), (Bytes{1, 2, 3, 4, 5}));
    EXPECT_EQ(page.m_nRxLength, 0u);
    EXPECT_EQ(page.GetLinkStatistics().resyncs, 0u);
}
TEST_F(ReceptionTest, GarbageBehindAFrameIsAResyncAndIsDropped) {
    Prepare(4, 5, 1);
    Bytes wire(21, 0x33);
    wire[0] = 0xFF;
    for (uint8_t b : {7, 7, 0xFF, 1, 2})
        wire.push_back(b);
    Feed(wire);
    Continuous();
    const CLinkStatistics st = page.GetLinkStatistics();
    EXPECT_EQ(st.resyncs, 1u);
    EXPECT_EQ(st.suspectFrames, 1u);
    EXPECT_EQ(page.m_nRxLength, 3u);  // from the next header on
    const size_t clears = page.log->Count("clearPicture");
    page.OnFrameDone();
    Continuous();
    EXPECT_EQ(page.m_nReceived, 2u);
    EXPECT_EQ(Frame(2), (Bytes{1, 2}));
    EXPECT_EQ(page.m_nRxLength, 0u);
    EXPECT_EQ(page.log->Count("clearPicture"), clears);  // drawn over the last frame
}
TEST_F(ReceptionTest, ReadFailuresReportWhereTheyHappened) {
    Prepare(4, 5, 1);
    owner.ClosePort();
    EXPECT_EQ(Continuous(), 1);
    EXPECT_EQ(page.log->Count("status:出错啦！读串口数据失败"), 1u);

    ASSERT_EQ(owner.OpenPort(), 1);
    Prepare(4, 5, 1);
    Feed({0xFF, 1});
    Continuous();
    owner.ClosePort();
    EXPECT_EQ(Continuous(), 1);
    EXPECT_EQ(page.log->Count("status:读串口数据失败"), 1u);

    ASSERT_EQ(owner.OpenPort(), 1);
    Prepare(1, 2, 1);
    Feed({0xFF, 1, 2});
    Continuous();  // full at once
    ASSERT_EQ(page.m_nReceived, 2u);
    owner.ClosePort();
    EXPECT_EQ(Continuous(), 1);
    EXPECT_EQ(page.log->Count("status:读回滚数据失败"), 1u);
    EXPECT_TRUE(page.m_hStopEvent.TryWait());  // each failure asked for the stop
}

// In a running continuous capture each frame is drawn over the one before:
// while a frame comes in, the rows not yet received still show the previous
// frame, never an empty area. A new display choice clears the picture at
// the next frame; with whole frames only, nothing changes until a frame is
// complete. A frame fed in small chunks starts one pass per complete row and
// shows its drawing status once.
TEST_F(ReceptionTest, EachFrameIsDrawnOverThePreviousOne) {
    Prepare(4, 5, 1, 0, /*image=*/1);
    const Bytes first = Pixels(20, 1), second = Pixels(20, 2), third = Pixels(20, 3);
    Feed(camsim::WireFrame(0xFF, first));
    Settle();
    ExpectPicture(4, 5, first);

    // Half of the next frame, in chunks of two bytes with a poll after each.
    const Bytes wire = camsim::WireFrame(0xFF, second);
    const size_t drawingShown = page.log->Count(kDrawing);
    for (size_t at = 0; at < 11; at += 2) {
        Feed(Bytes(wire.begin() + at, wire.begin() + std::min<size_t>(at + 2, 11)));
        Settle();
    }
    EXPECT_EQ(page.log->Count(kDrawing), drawingShown + 1);
    Bytes expected = first;
    std::copy(second.begin(), second.begin() + 10, expected.begin());
    ExpectPicture(4, 5, expected);  // two new rows over the old two
    EXPECT_EQ(page.log->Count("clearPicture"), 1u);
    Feed(Bytes(wire.begin() + 11, wire.end()));
    Settle();
    ExpectPicture(4, 5, second);

    // Shown binarized from the next frame on: the old picture goes first.
    page.m_nPreviewThreshold = 100;
    Feed(Bytes(wire.begin(), wire.begin() + 6));  // one row of the next frame
    Settle();
    EXPECT_EQ(page.log->Count("clearPicture"), 2u);
    EXPECT_EQ(page.m_wndPicture.PixelAt(0, 3), 0xF0F0F0u);
    Feed(Bytes(wire.begin() + 6, wire.end()));
    Settle();
    page.m_nPreviewThreshold = -1;
    Feed(wire);
    Settle();

    // Whole frames only: most of a frame changes nothing, neither the
    // picture nor the listing; its last byte changes both.
    page.m_bWholeFramesOnly = 1;
    page.m_bShowValues = 1;
    Feed(wire);
    Settle();
    const std::string listed = page.log->Listing();
    EXPECT_EQ(listed.size(), 4u * 6u);
    const Bytes next = camsim::WireFrame(0xFF, third);
    Feed(Bytes(next.begin(), next.end() - 1));
    Settle();
    ExpectPicture(4, 5, second);
    EXPECT_EQ(page.log->Listing(), listed);
    Feed(Bytes(next.end() - 1, next.end()));
    Settle();
    ExpectPicture(4, 5, third);
    EXPECT_NE(page.log->Listing(), listed);
    EXPECT_EQ(page.log->Listing().size(), 4u * 6u);
    EXPECT_EQ(page.GetLinkStatistics().framesDrawn, 6u);
}

TEST_F(ReceptionTest, NoPassWithoutImageOrListing) {
    Prepare(2, 2, 0);
    Feed({0xFF, 1, 2, 3, 4});
    Single();
    Single();
    EXPECT_EQ(page.m_nReceived, 4u);
    EXPECT_EQ(page.log->Count(kDrawing), 0u);
    page.m_bShowValues = 1;
    Single();  // listing only: a pass lists the frame and ends it
    EXPECT_EQ(page.log->Count(kDrawing), 1u);
    page.ShutdownEngine();
    EXPECT_EQ(page.log->Listing(), "00\n00\n");
    EXPECT_EQ(page.m_nReceived, 0u);  // frame done
}

}  // namespace

namespace {

// The counters of a line on which a frame starts every `period` µs from 1 s
// on, is drawn at the next one's start, and bytes flow at `bytesPerSecond`;
// `frames` frames in all. Snapshot at `t` µs.
CLinkStatistics Line(uint64_t t, uint64_t period, double bytesPerSecond, uint64_t frames) {
    const uint64_t origin = 1000000;
    CLinkStatistics s;
    if (t < origin)
        return s;
    s.framesStarted = std::min<uint64_t>((t - origin) / period + 1, frames);
    s.lastFrameMicroseconds = origin + (s.framesStarted - 1) * period;
    s.bytesReceived = static_cast<uint64_t>(bytesPerSecond *
                                            (std::min(t, origin + frames * period) - origin) / 1e6);
    if (t >= origin + period) {
        s.framesDrawn = std::min<uint64_t>((t - origin) / period, frames);
        s.lastDrawnMicroseconds = origin + s.framesDrawn * period;
    }
    return s;
}

}  // namespace

// Sampled four times a second, a line of 2.4 frames a second reads 2.4
// every time, received and drawn alike, the line never above its capacity;
// when the frames stop the rates hold two frame times, then fall. A new
// capture is counted from zero.
TEST(LinkRateMeter, SlowFramesAStopAndARestart) {
    const uint64_t period = 416667, end = 1000000 + 40 * period;
    CLinkRateMeter meter;
    CLinkHealth h;
    for (uint64_t t = 0; t <= end + period / 2; t += 250000 + t / 250000 % 3 * 1000) {
        h = meter.Add(Line(t, period, 11520, 40), t, 115200);
        if (t < 3500000)
            continue;  // the first frames
        ASSERT_NEAR(h.framesPerSecond, 2.4, 0.01) << t;
        ASSERT_NEAR(h.drawnPerSecond, 2.4, 0.01) << t;
        ASSERT_LE(h.lineShare, 1.005) << t;
        ASSERT_TRUE(t > end || h.lineShare >= 0.99) << t;
    }
    h = meter.Add(Line(end + 10000000, period, 11520, 40), end + 10000000, 115200);
    EXPECT_LT(h.framesPerSecond, 0.11);
    EXPECT_LT(h.drawnPerSecond, 0.11);
    EXPECT_EQ(h.bytesPerSecond, 0);

    CLinkStatistics fresh;
    fresh.bytesReceived = 500;
    h = meter.Add(fresh, end + 10250000, 0);
    EXPECT_EQ(h.framesPerSecond, 0);
    fresh.bytesReceived = 1000;
    EXPECT_DOUBLE_EQ(meter.Add(fresh, end + 10500000, 0).bytesPerSecond, 2000);
}

// The health pane's figures: rates over the interval, totals since the
// start, the colour from what was lost or passed over, and a capture that
// restarted between two snapshots counted from zero.
TEST(LinkHealth, RatesTotalsLevelsAndARestart) {
    CLinkStatistics a, b;
    a.bytesReceived = 1000;
    a.framesStarted = 2;
    a.framesDrawn = 2;
    b.bytesReceived = 47080;
    b.framesStarted = 10;
    b.framesDrawn = 9;
    b.framesSkipped = 2;
    b.lastLatencyMicroseconds = 300;
    CLinkHealth h = CLinkHealth::From(a, b, 0.5, 921600);
    EXPECT_DOUBLE_EQ(h.bytesPerSecond, 92160);
    EXPECT_DOUBLE_EQ(h.lineShare, 1.0);
    EXPECT_DOUBLE_EQ(h.framesPerSecond, 20);  // started and passed over
    EXPECT_DOUBLE_EQ(h.drawnPerSecond, 14);
    EXPECT_EQ(h.level, CLinkHealth::Level::Yellow);
    EXPECT_NE(h.Text().find("共 47080 字节 9 帧"), std::string::npos) << h.Text();
    EXPECT_NE(h.Text().find("线路的 100%"), std::string::npos) << h.Text();

    b.resyncs = 1;
    EXPECT_EQ(CLinkHealth::From(a, b, 0.5, 0).level, CLinkHealth::Level::Red);
    b = CLinkStatistics();
    EXPECT_EQ(CLinkHealth::From(a, b, 0.5, 0).level, CLinkHealth::Level::Idle);
    b.bytesReceived = 500;  // a new capture: fewer bytes than before
    b.framesDrawn = 1;
    h = CLinkHealth::From(a, b, 0.25, 0);
    EXPECT_DOUBLE_EQ(h.bytesPerSecond, 2000);
    EXPECT_EQ(h.level, CLinkHealth::Level::Green);
    EXPECT_DOUBLE_EQ(h.lineShare, 0);  // baud unknown
}
