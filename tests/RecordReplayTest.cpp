// A live capture recorded and replayed through the same engine: the replay
// draws the frames the live capture drew, in the same order, as fast as the
// page takes them or at the recorded pace.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <mutex>
#include <thread>

#include "BoardTest.h"
#include "FakePage.h"
#include "capture/RecordingWriter.h"
#include "capture/ReplayPlayer.h"
#include "tools/camsim/CameraBoard.h"

namespace {

using namespace std::chrono;
using Frames = std::vector<std::vector<uint8_t>>;

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
constexpr int kSeconds = 8;  // sanitizer builds run several times slower
#else
constexpr int kSeconds = 30;
#endif
constexpr long kBaud = 921600;

// The frames a page drew whole, in order.
struct DrawnFrames {
    std::mutex lock;
    Frames frames;
    void Attach(FakePage& page) {
        page.m_onFrameDrawn = [this](const CFrameCopy& f) {
            std::lock_guard<std::mutex> g(lock);
            frames.push_back(f.bytes);
        };
    }
    Frames Get() {
        std::lock_guard<std::mutex> g(lock);
        return frames;
    }
};

class RecordReplay : public BoardTest<> {
protected:
    void SetUp() override {
        BoardTest::SetUp();
        path = "/tmp/tavix-replay-" + std::to_string(getpid()) + ".tavixrec";
    }
    void TearDown() override {
        owner.SetReplayDevice("", 0);
        BoardTest::TearDown();
        std::remove(path.c_str());
    }
    static void Configure(FakePage& page) {
        page.Configure(60, 80, 1, 0, 400, 300);
        page.m_bScaleToArea = 0;
    }
    static void StartCapture(FakePage& page) {
        ASSERT_EQ(page.StartWorker(), 1);
        ASSERT_TRUE(page.log->WaitFor("begin"));
        std::this_thread::sleep_for(milliseconds(200));  // opened and purged
    }
    static void StopCapture(FakePage& page) {
        page.StopWorker();
        ASSERT_TRUE(page.log->WaitFor("end", 1, milliseconds(3000)));
    }
    // Replays the recording into a fresh page; the frames it drew, the
    // frames it passed over for newer ones (a loaded machine) and how long
    // the playing took.
    void Replay(bool fast, Frames& drawn, uint64_t& skipped, double& seconds) {
        CReplayPlayer player;
        std::string error;
        ASSERT_TRUE(player.Open(path, error)) << error;
        EXPECT_EQ(player.Header().rows, 60u);
        owner.SetReplayDevice(player.DevicePath(), static_cast<int>(player.Header().baud));
        owner.ClosePort();  // the next capture opens the replay's line
        FakePage page;
        Configure(page);
        DrawnFrames frames;
        frames.Attach(page);
        StartCapture(page);
        player.SetProgressProbe([&page] {
            const CLinkStatistics st = page.GetLinkStatistics();
            return st.framesDrawn + st.framesSkipped;
        });
        const auto start = steady_clock::now();
        player.Start(fast);
        while (!player.GetProgress().finished &&
               steady_clock::now() - start < seconds_cast(kSeconds * 3 + 10))
            std::this_thread::sleep_for(milliseconds(5));
        seconds = duration<double>(steady_clock::now() - start).count();
        ASSERT_TRUE(player.GetProgress().finished);
        EXPECT_TRUE(player.GetProgress().cutText.empty());
        std::this_thread::sleep_for(milliseconds(300));  // the last frame is drawn
        StopCapture(page);
        drawn = frames.Get();
        skipped = page.GetLinkStatistics().framesSkipped;
        player.Stop();
    }
    static steady_clock::duration seconds_cast(int s) { return seconds(s); }
    // The replay drew the live frames in order; a frame it did not draw it
    // passed over whole for a newer one (a page that fell behind), never lost
    // or damaged.
    static void ExpectLiveFrames(const Frames& replay, uint64_t skipped, const Frames& live) {
        EXPECT_EQ(replay.size() + skipped, live.size()) << skipped << " passed over";
        size_t at = 0;
        for (const auto& frame : replay) {
            while (at < live.size() && live[at] != frame)
                ++at;
            ASSERT_LT(at, live.size())
                << "a replayed frame the live capture did not draw, or out of order";
            ++at;
        }
    }

    std::string path;
};

TEST_F(RecordReplay, AReplayDrawsTheLiveFramesInOrderFastAndAtTheRecordedPace) {
    // Live: the board at 921600 baud, every byte the port delivers recorded.
    FakePage live;
    Configure(live);
    DrawnFrames liveFrames;
    liveFrames.Attach(live);
    auto writer = std::make_unique<CRecordingWriter>();
    RecordingHeader header;
    header.baud = kBaud;
    header.rows = 60;
    header.columns = 80;
    std::string error;
    ASSERT_TRUE(writer->Open(path, header, error)) << error;
    live.StartRecording(std::move(writer));
    StartCapture(live);
    camsim::CameraBoard::Options options;
    options.rows = 60;
    options.columns = 80;
    options.baud = kBaud;
    options.pattern = camsim::Pattern::Moving;  // every frame differs
    camsim::CameraBoard camera(board, options);
    ASSERT_TRUE(camera.Start(&error)) << error;
    std::this_thread::sleep_for(seconds(kSeconds));
    camera.Stop();
    std::this_thread::sleep_for(milliseconds(300));
    StopCapture(live);
    const CRecordingState recorded = live.StopRecording();
    EXPECT_FALSE(recorded.failed) << recorded.error;
    const CLinkStatistics st = live.GetLinkStatistics();
    EXPECT_EQ(recorded.bytes, st.bytesReceived);
    const Frames liveDrawn = liveFrames.Get();
    ASSERT_GE(liveDrawn.size(), static_cast<size_t>(kSeconds * 15));  // about 19 a second

    // As fast as the page takes it: the same frames, in the same order.
    Frames fastDrawn;
    uint64_t fastSkipped = 0;
    double fastSeconds = 0;
    Replay(true, fastDrawn, fastSkipped, fastSeconds);
    if (st.framesSkipped == 0)
        ExpectLiveFrames(fastDrawn, fastSkipped, liveDrawn);
    EXPECT_LT(fastSeconds, kSeconds / 2.0);

    // At the recorded pace: the recorded time within 2 %, the same frames.
    CRecordingReader reader;
    ASSERT_TRUE(reader.Open(path, error)) << error;
    const double recordedSeconds = reader.DurationMicroseconds() / 1e6;
    Frames pacedDrawn;
    uint64_t pacedSkipped = 0;
    double pacedSeconds = 0;
    Replay(false, pacedDrawn, pacedSkipped, pacedSeconds);
    EXPECT_NEAR(pacedSeconds, recordedSeconds, recordedSeconds * 0.02);
    if (st.framesSkipped == 0)
        ExpectLiveFrames(pacedDrawn, pacedSkipped, liveDrawn);
    std::printf(
        "live %zu frames in %.2f s recorded (%llu passed over); fast replay %zu frames in "
        "%.2f s (%llu passed over); paced %zu frames in %.2f s (%llu passed over)\n",
        liveDrawn.size(), recordedSeconds, static_cast<unsigned long long>(st.framesSkipped),
        fastDrawn.size(), fastSeconds, static_cast<unsigned long long>(fastSkipped),
        pacedDrawn.size(), pacedSeconds, static_cast<unsigned long long>(pacedSkipped));
}

// Paused, the line carries nothing; one step carries exactly one frame's
// bytes; a restart plays from the first chunk again.
TEST_F(RecordReplay, PauseStepAndRestart) {
    RecordingHeader header;
    header.rows = 2;
    header.columns = 3;
    std::string error;
    {
        CRecordingWriter writer;
        ASSERT_TRUE(writer.Open(path, header, error)) << error;
        std::vector<uint8_t> bytes;
        for (int i = 0; i < 20; ++i)
            for (int b : {255, i, i, i, i, i, i})
                bytes.push_back(static_cast<uint8_t>(b));
        ASSERT_TRUE(writer.Write(300000, bytes.data(), bytes.size()));  // due 0.3 s in
        ASSERT_TRUE(writer.Close());
    }
    CReplayPlayer player;
    ASSERT_TRUE(player.Open(path, error)) << error;
    EXPECT_EQ(player.FrameBytes(), 7u);
    SerialPort host;
    ASSERT_GT(host.OpenDevice(115200, player.DevicePath()), 0);
    player.Start(false);
    player.SetPaused(true);
    std::this_thread::sleep_for(milliseconds(100));
    uint8_t buffer[256];
    uint32_t got = 0;
    ASSERT_EQ(host.ReadAvailable(buffer, sizeof buffer, got), 0);
    EXPECT_EQ(got, 0u);
    player.Step();
    std::this_thread::sleep_for(milliseconds(100));
    ASSERT_EQ(host.ReadAvailable(buffer, sizeof buffer, got), 0);
    EXPECT_EQ(got, 7u);
    player.SetPaused(false);
    for (int i = 0; i < 50 && !player.GetProgress().finished; ++i)
        std::this_thread::sleep_for(milliseconds(10));
    EXPECT_TRUE(player.GetProgress().finished);
    EXPECT_EQ(player.GetProgress().bytesSent, 140u);
    std::this_thread::sleep_for(milliseconds(50));
    ASSERT_EQ(host.ReadAvailable(buffer, sizeof buffer, got), 0);
    player.Restart();
    std::this_thread::sleep_for(milliseconds(500));  // the chunk is due 0.3 s after the restart
    ASSERT_EQ(host.ReadAvailable(buffer, sizeof buffer, got), 0);
    EXPECT_EQ(got, 140u);
    EXPECT_EQ(buffer[0], 255);
    EXPECT_EQ(buffer[7 * 19 + 1], 19);
    player.Stop();
    host.Close();
}

// A slow line records small chunks: a recording that starts inside a frame
// may reach its first header only a few chunks in, after a pixel of the
// header's value. A fast replay still plays every frame without waiting on
// the page (it used to wait 0.2 s a chunk).
TEST_F(RecordReplay, AFastReplayOfSmallChunksStartingInsideAFrameDoesNotStall) {
    RecordingHeader header;
    header.baud = kBaud;
    header.rows = 60;
    header.columns = 80;
    std::string error;
    Frames sent;
    {
        CRecordingWriter writer;
        ASSERT_TRUE(writer.Open(path, header, error)) << error;
        std::vector<uint8_t> bytes(3000, 7);  // the end of a frame begun before,
        bytes[100] = 255;                     // with a pixel of the header's value
        for (int f = 0; f < 30; ++f) {
            std::vector<uint8_t> frame(4800);
            for (size_t i = 0; i < frame.size(); ++i)
                frame[i] = static_cast<uint8_t>((i * 7 + size_t(f) * 13) % 250);
            bytes.push_back(255);
            bytes.insert(bytes.end(), frame.begin(), frame.end());
            sent.push_back(frame);
        }
        bytes.push_back(255);  // the next frame's header ends the last one
        for (size_t at = 0; at < bytes.size(); at += 92)  // 1 ms of 921600 baud each
            ASSERT_TRUE(
                writer.Write(at * 10, bytes.data() + at, std::min<size_t>(92, bytes.size() - at)));
        ASSERT_TRUE(writer.Close());
    }
    Frames drawn;
    uint64_t skipped = 0;
    double seconds = 0;
    Replay(true, drawn, skipped, seconds);
    // The page may take that pixel for a header, draw one frame from it and
    // lose the first real one; every frame after follows, in order.
    ASSERT_FALSE(drawn.empty());
    const size_t bogus = std::find(sent.begin(), sent.end(), drawn.front()) == sent.end() ? 1 : 0;
    ASSERT_GT(drawn.size(), bogus);
    const auto from = std::find(sent.begin(), sent.end(), drawn[bogus]);
    ASSERT_LE(from - sent.begin(), 1);
    ExpectLiveFrames(Frames(drawn.begin() + long(bogus), drawn.end()), skipped,
                     Frames(from, sent.end()));
    EXPECT_LT(seconds, 3.0);  // 30 frames; 6 s and more when it stalled
}

}  // namespace
