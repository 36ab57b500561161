// Whole captures: the simulator's frames in, the exact pixels out.
#include <gtest/gtest.h>

#include <algorithm>

#include "BoardTest.h"
#include "FakePage.h"
#include "FakePortOwner.h"
#include "serial/PortDevices.h"
#include "tools/camsim/CameraBoard.h"
#include "tools/camsim/FrameSource.h"
#include "tools/camsim/PseudoTerminal.h"

namespace {

using namespace std::chrono;
using Bytes = std::vector<uint8_t>;

uint32_t Gray(uint8_t v) {
    return (uint32_t{v} << 16) | (uint32_t{v} << 8) | v;
}

// The displayed colour of one U, Y, V triplet, computed independently.
uint32_t Rgb(uint8_t u, uint8_t y, uint8_t v) {
    auto ch = [](double x) {
        return static_cast<uint32_t>(std::clamp(static_cast<int>(x), 0, 255));
    };
    const double yc = (y - 16) * 1.164;
    const uint32_t r = ch(yc + (v - 128) * 1.596);
    const uint32_t g = ch(yc - (v - 128) * 0.813 - (u - 128) * 0.391);
    const uint32_t b = ch(yc + (u - 128) * 2.018);
    return (r << 16) | (g << 8) | b;
}

class EngineEndToEnd : public BoardTest<> {
protected:
    void TearDown() override {
        page.ShutdownEngine();
        BoardTest::TearDown();
    }
    // Starts the capture and waits until the worker polls (its start purge done).
    void Start() {
        ASSERT_EQ(page.StartWorker(), 1);
        ASSERT_TRUE(page.log->WaitFor("begin"));
        std::this_thread::sleep_for(milliseconds(200));
    }
    void Send(const Bytes& pixels) {
        const Bytes wire = camsim::WireFrame(page.m_byHeader, pixels);
        ASSERT_TRUE(board.WriteAll(wire.data(), wire.size()));
    }
    // Compares the picture with the expected colour of every image pixel.
    template <typename Expected>
    void ExpectPicture(int rows, int columns, int block, Expected expected) {
        for (int r = 0; r < rows; ++r)
            for (int c = 0; c < columns; ++c)
                for (int d : {0, block - 1}) {
                    const uint32_t got = page.m_wndPicture.PixelAt(c * block + d, r * block + d);
                    ASSERT_EQ(got, expected(r, c)) << "row " << r << " column " << c;
                }
    }

    FakePage page;
};

TEST_F(EngineEndToEnd, SingleGrayFrameOneToOneEndsByItself) {
    camsim::FrameSource source(60, 80, false, camsim::Pattern::Gradient);
    const Bytes frame = source.Frame(3);
    page.Configure(60, 80, 0, 0, 400, 300);
    page.m_bShowValues = 1;
    Start();
    Send(frame);
    ASSERT_TRUE(page.log->WaitFor("end"));
    ExpectPicture(60, 80, 1, [&](int r, int c) { return Gray(frame[r * 80 + c]); });
    EXPECT_EQ(page.m_wndPicture.PixelAt(80, 0), 0xF0F0F0u);
    const std::string listing = page.log->Listing();
    EXPECT_EQ(std::count(listing.begin(), listing.end(), '\n'), 60);
    EXPECT_EQ(listing.size(), 60u * 81u);
    const auto calls = page.log->Calls();
    EXPECT_EQ(calls[calls.size() - 2], "status:Tavix工作室欢迎您使用TavixTool！");
}

TEST_F(EngineEndToEnd, SingleColourFrameEnlarged) {
    camsim::FrameSource source(30, 40, true, camsim::Pattern::Bars);
    const Bytes frame = source.Frame(0);
    page.Configure(30, 40, 0, 1, 400, 300);
    page.m_bScaleToArea = 1;  // block min(400 / 40, 300 / 30) = 10
    Start();
    Send(frame);
    ASSERT_TRUE(page.log->WaitFor("end"));
    ExpectPicture(30, 40, 10, [&](int r, int c) {
        const size_t t = (static_cast<size_t>(r) * 40 + c) * 3;
        return Rgb(frame[t], frame[t + 1], frame[t + 2]);
    });
    EXPECT_EQ(page.m_wndPicture.PixelAt(5, 5), 0xFFFFFFu);  // the white bar
}

TEST_F(EngineEndToEnd, ContinuousTakesEveryBackToBackFrameAndShowsTheLast) {
    camsim::FrameSource source(30, 40, false, camsim::Pattern::Gradient);
    page.Configure(30, 40, 1, 0, 400, 300);
    page.m_bScaleToArea = 1;
    Start();
    for (int i = 0; i < 4; ++i)
        Send(source.Frame(i));
    const Bytes last = source.Frame(3);
    // Each frame is either drawn or passed over for a newer whole one.
    const auto deadline = steady_clock::now() + seconds(5);
    auto taken = [&] {
        const CLinkStatistics st = page.GetLinkStatistics();
        return st.framesDrawn + st.framesSkipped;
    };
    while (taken() < 4 && steady_clock::now() < deadline)
        std::this_thread::sleep_for(milliseconds(10));
    page.StopWorker();
    ASSERT_TRUE(page.log->WaitFor("end"));
    const CLinkStatistics st = page.GetLinkStatistics();
    EXPECT_EQ(st.framesDrawn + st.framesSkipped, 4u);
    EXPECT_EQ(st.framesStarted, st.framesDrawn);
    EXPECT_EQ(st.resyncs, 0u);
    // Only the capture clears the area: each frame is drawn over the last.
    EXPECT_EQ(page.log->Count("clearPicture"), 1u);
    ExpectPicture(30, 40, 10, [&](int r, int c) { return Gray(last[r * 40 + c]); });
}

TEST_F(EngineEndToEnd, HeaderValuedPixelsAtThreeMegabaudAreDrawnWhole) {
    // The simulated board at 3 Mbaud, a header-valued pixel every 16 bytes.
    camsim::CameraBoard::Options options;
    options.rows = 60;
    options.columns = 80;
    options.baud = 3000000;
    options.headerPixels = true;
    camsim::CameraBoard camera(board, options);
    std::atomic<uint64_t> sent{0};
    camera.SetFrameCallback([&](uint64_t, steady_clock::time_point) { ++sent; });
    page.Configure(60, 80, 1, 0, 400, 300);
    page.m_bScaleToArea = 1;
    Start();
    std::string error;
    ASSERT_TRUE(camera.Start(&error)) << error;
    std::this_thread::sleep_for(milliseconds(1500));
    const uint64_t sentBeforeStop = sent.load();
    const CLinkStatistics running = page.GetLinkStatistics();
    const camsim::CameraBoard::Statistics line = camera.Stats();
    // Stopping while frames pour in ends the capture within the bound.
    const auto stop = steady_clock::now();
    page.StopWorker();
    EXPECT_LE(steady_clock::now() - stop, milliseconds(700));
    ASSERT_TRUE(page.log->WaitFor("end", 1, milliseconds(2000)));
    camera.Stop();
    const CLinkStatistics st = page.GetLinkStatistics();
    EXPECT_EQ(line.bytesDropped, 0u);  // the engine kept up with the line
    EXPECT_EQ(st.resyncs, 0u);
    EXPECT_EQ(st.suspectFrames, 0u);
    EXPECT_GE(running.framesDrawn, 60u);  // about 62 frames a second
    // Every frame the line carried was started or passed over whole for a
    // newer one (a slow sanitizer build passes over some), apart from the one
    // under way.
    EXPECT_GE(running.framesStarted + running.framesSkipped + 1, sentBeforeStop);
    EXPECT_LE(st.framesDrawn, st.framesStarted);
    EXPECT_GE(st.framesDrawn + 2, st.framesStarted);
}

TEST_F(EngineEndToEnd, ClosingThePortEndsTheCaptureWithAReadError) {
    page.Configure(30, 40, 1, 0, 400, 300);
    Start();
    owner.ClosePort();
    ASSERT_TRUE(page.log->WaitFor("end"));
    const auto calls = page.log->Calls();
    const auto failed = std::find(calls.begin(), calls.end(), "status:出错啦！读串口数据失败");
    ASSERT_NE(failed, calls.end());
    EXPECT_EQ(calls[calls.size() - 2], "status:Tavix工作室欢迎您使用TavixTool！");
}

TEST_F(EngineEndToEnd, VanishingBoardEndsTheCapture) {
    page.Configure(30, 40, 0, 0, 400, 300);
    Start();
    const Bytes frame(100, 9);
    Send(frame);  // a partial frame, then the board goes away
    std::this_thread::sleep_for(milliseconds(200));
    board.Close();
    ASSERT_TRUE(page.log->WaitFor("end"));
    EXPECT_EQ(page.log->Count("status:读串口数据失败"), 1u);
    // The dead port was closed: when the board comes back (here a new device
    // behind the same port number), the next capture opens it afresh.
    EXPECT_EQ(owner.IsPortOpen(), 0);
    ASSERT_TRUE(board.Open());
    SetPortDevicePath(kPort, board.DevicePath());
    Start();
    Send(Bytes(30 * 40, 7));
    ASSERT_TRUE(page.log->WaitFor("end", 2));
    EXPECT_EQ(page.GetLinkStatistics().framesDrawn, 1u);
    EXPECT_EQ(page.m_wndPicture.PixelAt(39, 29), Gray(7));
}

}  // namespace
