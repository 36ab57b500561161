// Tests for the camera-board simulator: the raw pseudo-terminal, the frame
// patterns and the board's streaming, faults and pacing.

#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <mutex>
#include <set>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "FramerHarness.h"
#include "stream/Framer.h"
#include "stream/JpegDecoder.h"
#include "stream/StreamFormat.h"
#include "tools/camsim/CameraBoard.h"
#include "tools/camsim/FrameSource.h"
#include "tools/camsim/PseudoTerminal.h"

using camsim::CameraBoard;
using camsim::FrameSource;
using camsim::Pattern;
using camsim::PseudoTerminal;
using Bytes = std::vector<uint8_t>;
using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;
namespace fs = std::filesystem;

namespace {

// The host program's end: the slave device opened as a serial port would be.
class HostEnd {
public:
    explicit HostEnd(const std::string& path, bool makeRaw = true)
        : fd_(::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK)) {
        termios t{};
        if (makeRaw && fd_ >= 0 && tcgetattr(fd_, &t) == 0) {
            cfmakeraw(&t);
            tcsetattr(fd_, TCSANOW, &t);
        }
    }
    ~HostEnd() {
        if (fd_ >= 0) {
            ::close(fd_);
        }
    }
    int Fd() const { return fd_; }

    // Reads until n bytes have come or none came for idleMs.
    Bytes Read(size_t n, int idleMs = 200) {
        Bytes got;
        uint8_t buf[4096];
        while (got.size() < n) {
            pollfd pfd{fd_, POLLIN, 0};
            if (::poll(&pfd, 1, idleMs) <= 0) {
                break;
            }
            const ssize_t r = ::read(fd_, buf, std::min(sizeof buf, n - got.size()));
            if (r > 0) {
                got.insert(got.end(), buf, buf + r);
                ++reads_;
            }
        }
        return got;
    }
    int Reads() const { return reads_; }

private:
    int fd_;
    int reads_ = 0;
};

Bytes AllByteValues() {
    Bytes b;
    for (int i = 0; i < 256; ++i) {
        b.push_back(static_cast<uint8_t>(i));
    }
    return b;
}

class TempDir : public ::testing::Test {
protected:
    void SetUp() override {
        char tmpl[] = "/tmp/camsimtest.XXXXXX";
        ASSERT_NE(mkdtemp(tmpl), nullptr);
        dir_ = tmpl;
    }
    void TearDown() override { fs::remove_all(dir_); }
    std::string Write(const std::string& name, const std::string& content) {
        const std::string path = dir_ + "/" + name;
        std::ofstream(path, std::ios::binary) << content;
        return path;
    }
    std::string dir_;
};

}  // namespace

// ---- PseudoTerminal ----

TEST(PseudoTerminalTest, AllByteValuesPassBothWaysUnchangedWithoutEcho) {
    PseudoTerminal pty;
    ASSERT_TRUE(pty.Open());
    ASSERT_EQ(pty.DevicePath().rfind("/dev/pts/", 0), 0u) << pty.DevicePath();
    HostEnd host(pty.DevicePath());
    ASSERT_GE(host.Fd(), 0);

    // Forwards then backwards, so CR LF, XON/XOFF, ^C and ^D appear in several orders.
    Bytes sent = AllByteValues();
    sent.insert(sent.end(), sent.rbegin(), sent.rend());
    ASSERT_TRUE(pty.WriteAll(sent.data(), sent.size()));
    ASSERT_TRUE(pty.WaitQueued(sent.size(), 2000));
    EXPECT_EQ(pty.QueuedForHost(), sent.size());
    EXPECT_EQ(host.Read(sent.size()), sent);
    uint8_t echo[16];
    EXPECT_EQ(pty.ReadFromHost(echo, sizeof echo, 100), 0u) << "board's bytes echoed back";

    const Bytes fromHost = AllByteValues();
    ASSERT_EQ(::write(host.Fd(), fromHost.data(), fromHost.size()), 256);
    Bytes got(256);
    size_t n = 0;
    while (n < got.size()) {
        const size_t r = pty.ReadFromHost(got.data() + n, got.size() - n, 1000);
        ASSERT_GT(r, 0u);
        n += r;
    }
    EXPECT_EQ(got, fromHost);
    EXPECT_TRUE(host.Read(1, 100).empty()) << "host's bytes echoed back";
}

TEST(PseudoTerminalTest, RawSettingsAndQueuedDataSurviveHostClose) {
    PseudoTerminal pty;
    ASSERT_TRUE(pty.Open());
    // A host that opens and closes the port without touching its settings.
    { HostEnd first(pty.DevicePath(), /*makeRaw=*/false); }

    const Bytes sent = {'\r', '\n', 0x11, 0x13, 0x03, 0x7F, '\r'};
    ASSERT_TRUE(pty.WriteAll(sent.data(), sent.size()));
    ASSERT_TRUE(pty.WaitQueued(sent.size(), 2000));
    HostEnd plain(pty.DevicePath(), /*makeRaw=*/false);  // Like `cat`: no settings of its own.
    termios t{};
    ASSERT_EQ(tcgetattr(plain.Fd(), &t), 0);
    EXPECT_EQ(t.c_lflag & (ICANON | ECHO | ISIG), 0u);
    EXPECT_EQ(t.c_iflag & (ICRNL | IXON), 0u);
    EXPECT_EQ(t.c_oflag & OPOST, 0u);
    EXPECT_EQ(t.c_cflag & CSIZE, static_cast<tcflag_t>(CS8));
    EXPECT_EQ(plain.Read(sent.size()), sent);
}

TEST(PseudoTerminalTest, WaitQueuedSeesHostQueueUpToKernelLimit) {
    PseudoTerminal pty;
    ASSERT_TRUE(pty.Open());
    const auto t0 = Clock::now();
    EXPECT_FALSE(pty.WaitQueued(1, 50));
    EXPECT_GE(Clock::now() - t0, 50ms);

    const Bytes big(10000, 0x42);
    ASSERT_TRUE(pty.WriteAll(big.data(), big.size()));
    EXPECT_TRUE(pty.WaitQueued(big.size(), 2000));
    EXPECT_EQ(pty.QueuedForHost(), PseudoTerminal::kMaxReportedQueue);
    HostEnd host(pty.DevicePath());
    EXPECT_EQ(host.Read(big.size()).size(), big.size());
}

TEST(PseudoTerminalTest, FullLineShortensWriteSomeAndTimesOutWriteAll) {
    PseudoTerminal pty;
    ASSERT_TRUE(pty.Open());
    const Bytes chunk(1000, 0x55);
    // The kernel moves data on to the host's buffer in the background, so the
    // line is only full once a few retries in a row take nothing.
    size_t capacity = 0;
    for (int refusals = 0; refusals < 3 && capacity < 10'000'000;) {
        const size_t took = pty.WriteSome(chunk.data(), chunk.size());
        capacity += took;
        if (took < chunk.size()) {
            refusals = took == 0 ? refusals + 1 : 0;
            std::this_thread::sleep_for(5ms);
        }
    }
    std::cout << "[ measure  ] pty took " << capacity << " bytes before EAGAIN\n";
    EXPECT_GT(capacity, PseudoTerminal::kMaxReportedQueue);
    EXPECT_LT(capacity, 10'000'000u);
    EXPECT_EQ(pty.WriteSome(chunk.data(), 1), 0u);
    const auto t0 = Clock::now();
    EXPECT_FALSE(pty.WriteAll(chunk.data(), 1, 50));
    EXPECT_GE(Clock::now() - t0, 50ms);

    HostEnd host(pty.DevicePath());
    EXPECT_EQ(host.Read(capacity + 1).size(), capacity);  // Nothing lost, nothing extra.
    EXPECT_TRUE(pty.WriteAll(chunk.data(), chunk.size(), 1000));
}

using PseudoTerminalLinkTest = TempDir;

TEST_F(PseudoTerminalLinkTest, CreatesReplacesAndRemovesLinks) {
    const std::string link = dir_ + "/camera";
    const std::string stale = dir_ + "/stale";
    ASSERT_EQ(::symlink("/nonexistent", link.c_str()), 0);  // Left by an earlier run.
    ASSERT_EQ(::symlink("/nonexistent", stale.c_str()), 0);
    {
        PseudoTerminal pty;
        ASSERT_TRUE(pty.Open());
        ASSERT_TRUE(pty.MakeLink(link));
        EXPECT_EQ(fs::read_symlink(link).string(), pty.DevicePath());
        ASSERT_TRUE(pty.MakeLink(stale));  // Moving the link removes the first one.
        EXPECT_FALSE(fs::is_symlink(link));
        EXPECT_EQ(fs::read_symlink(stale).string(), pty.DevicePath());
    }  // Destruction removes it.
    EXPECT_FALSE(fs::is_symlink(stale));

    PseudoTerminal pty;
    ASSERT_TRUE(pty.Open());
    ASSERT_TRUE(pty.MakeLink(link));
    pty.Close();
    EXPECT_FALSE(fs::is_symlink(link));

    // A link someone else replaced in the meantime is not ours to remove.
    ASSERT_TRUE(pty.Open());
    ASSERT_TRUE(pty.MakeLink(link));
    fs::remove(link);
    ASSERT_EQ(::symlink("/elsewhere", link.c_str()), 0);
    pty.Close();
    EXPECT_TRUE(fs::is_symlink(link));
}

TEST_F(PseudoTerminalLinkTest, RefusesToReplaceFileOrDirectory) {
    PseudoTerminal pty;
    ASSERT_TRUE(pty.Open());
    const std::string file = Write("port", "keep me");
    std::string error;
    EXPECT_FALSE(pty.MakeLink(file, &error));
    EXPECT_NE(error.find(file), std::string::npos) << error;
    EXPECT_FALSE(fs::is_symlink(file));
    EXPECT_EQ(fs::file_size(file), 7u);
    EXPECT_FALSE(pty.MakeLink(dir_));
    EXPECT_TRUE(fs::is_directory(dir_));
    pty.Close();
    EXPECT_TRUE(fs::exists(file));
}

// ---- FrameSource ----

TEST(FrameSourceTest, EveryPatternHasExactSizeAndIsDeterministic) {
    for (Pattern p : {Pattern::Gradient, Pattern::Bars, Pattern::Moving, Pattern::File}) {
        for (bool colour : {false, true}) {
            const FrameSource a(7, 13, colour, p), b(7, 13, colour, p);
            EXPECT_EQ(a.Frame(5).size(), 7u * 13u * (colour ? 3 : 1));
            EXPECT_EQ(a.Frame(5), b.Frame(5));
        }
    }
    EXPECT_EQ(FrameSource::ParsePattern("bars"), Pattern::Bars);
    EXPECT_EQ(FrameSource::ParsePattern("moving"), Pattern::Moving);
    EXPECT_FALSE(FrameSource::ParsePattern("file"));
    EXPECT_FALSE(FrameSource::ParsePattern("Gradient"));
    EXPECT_EQ(camsim::WireFrame(0xA5, {1, 2}), (Bytes{0xA5, 1, 2}));
}

TEST(FrameSourceTest, GradientFollowsItsFormula) {
    const FrameSource gray(70, 80, false, Pattern::Gradient);
    EXPECT_EQ(gray.Frame(5)[65 * 80 + 3], (65 * 4 + 3 * 2 + 5) & 0xFF);
    EXPECT_EQ(gray.Frame(0)[0], 0);
    EXPECT_EQ(gray.Frame(1)[0], 1);
    EXPECT_EQ(gray.Frame(256), gray.Frame(0));

    const FrameSource colour(4, 6, true, Pattern::Gradient);
    const Bytes f = colour.Frame(1);
    const size_t at = (2 * 6 + 3) * 3;        // Row 2, column 3.
    EXPECT_EQ(f[at], 4 * 3 + 1);              // U
    EXPECT_EQ(f[at + 1], 4 * 2 + 2 * 3 + 1);  // Y
    EXPECT_EQ(f[at + 2], 4 * 2 + 1);          // V
}

TEST(FrameSourceTest, BarsHaveTheDocumentedColours) {
    const FrameSource gray(2, 16, false, Pattern::Bars);
    const Bytes g = gray.Frame(0);
    const Bytes luma = {255, 226, 178, 149, 106, 77, 29, 0};
    for (int bar = 0; bar < 8; ++bar) {
        EXPECT_EQ(g[bar * 2], luma[bar]) << "bar " << bar;
        EXPECT_EQ(g[16 + bar * 2 + 1], luma[bar]) << "bar " << bar << ", second row";
    }
    EXPECT_EQ(gray.Frame(9), g);

    // U, Y, V of white, red (V clamped) and blue (U clamped).
    const Bytes c = FrameSource(1, 8, true, Pattern::Bars).Frame(0);
    EXPECT_EQ(Bytes(c.begin(), c.begin() + 3), (Bytes{128, 255, 128}));
    EXPECT_EQ(Bytes(c.begin() + 15, c.begin() + 18), (Bytes{85, 77, 255}));
    EXPECT_EQ(Bytes(c.begin() + 18, c.begin() + 21), (Bytes{255, 29, 107}));

    const Bytes odd = FrameSource(1, 10, false, Pattern::Bars).Frame(0);  // Uneven bar widths.
    EXPECT_EQ(odd.front(), 255);
    EXPECT_EQ(odd.back(), 0);
}

TEST(FrameSourceTest, MovingSquareStepsOnePixelPerFrame) {
    const int rows = 8, columns = 12, side = 2;
    const FrameSource gray(rows, columns, false, Pattern::Moving);
    for (uint64_t i : {0, 1, 7, 11}) {
        const Bytes f = gray.Frame(i);
        const int top = static_cast<int>(i % (rows - side + 1));
        const int left = static_cast<int>(i % (columns - side + 1));
        for (int r = 0; r < rows; ++r) {
            for (int c = 0; c < columns; ++c) {
                const bool inside = r >= top && r < top + side && c >= left && c < left + side;
                ASSERT_EQ(f[r * columns + c], inside ? 235 : 16)
                    << "frame " << i << " at " << r << "," << c;
            }
        }
    }
    const Bytes c = FrameSource(rows, columns, true, Pattern::Moving).Frame(0);
    EXPECT_EQ(Bytes(c.begin(), c.begin() + 3), (Bytes{128, 235, 128}));
    EXPECT_EQ(Bytes(c.end() - 3, c.end()), (Bytes{128, 16, 128}));
}

// The scene must look like a camera picture, not a ramp: detail between
// neighbours, colour, clipped white and black areas, noise that changes with
// every frame while the shapes only drift.
TEST(FrameSourceTest, SceneIsTexturedSaturatedDriftingAndRepeatable) {
    const int rows = 120, columns = 160;
    const size_t n = size_t{rows} * columns;
    // The share of neighbours, left and right, more than 8 apart.
    auto texture = [&](const Bytes& g) {
        size_t steps = 0;
        for (int r = 0; r < rows; ++r) {
            for (int c = 0; c + 1 < columns; ++c) {
                steps += std::abs(g[r * columns + c] - g[r * columns + c + 1]) > 8;
            }
        }
        return static_cast<double>(steps) / (rows * (columns - 1));
    };
    const FrameSource gradient(rows, columns, false, Pattern::Gradient);
    EXPECT_LT(texture(gradient.Frame(0)), 0.02);

    const FrameSource scene(rows, columns, false, Pattern::Scene, 7);
    EXPECT_EQ(FrameSource::ParsePattern("scene"), Pattern::Scene);
    for (uint64_t i : {0, 1, 50, 1000}) {
        const Bytes g = scene.Frame(i);
        ASSERT_EQ(g.size(), n);
        EXPECT_EQ(g, FrameSource(rows, columns, false, Pattern::Scene, 7).Frame(i));
        EXPECT_GT(texture(g), 0.25) << "frame " << i;
        const auto white = static_cast<double>(std::count(g.begin(), g.end(), 255)) / n;
        const auto black = static_cast<double>(std::count(g.begin(), g.end(), 0)) / n;
        EXPECT_GT(white, 0.04) << "frame " << i;
        EXPECT_GT(black, 0.04) << "frame " << i;
        EXPECT_GE(white + black, 0.10) << "frame " << i;
        EXPECT_LE(white + black, 0.20) << "frame " << i;
    }
    EXPECT_NE(scene.Frame(0), FrameSource(rows, columns, false, Pattern::Scene, 8).Frame(0));

    // Successive frames: every pixel's noise is new, few pixels change much.
    const Bytes a = scene.Frame(10), b = scene.Frame(11), far = scene.Frame(80);
    size_t changed = 0, jumped = 0, moved = 0;
    for (size_t i = 0; i < n; ++i) {
        changed += a[i] != b[i];
        jumped += std::abs(a[i] - b[i]) > 40;
        moved += std::abs(a[i] - far[i]) > 40;
    }
    EXPECT_GT(changed, n / 2);
    EXPECT_LT(jumped, n / 10);
    EXPECT_GT(moved, 2 * jumped + n / 50);

    // In colour: clearly coloured pixels, and the scene's own colours as RGB.
    const FrameSource colour(rows, columns, true, Pattern::Scene, 7);
    const Bytes rgb = colour.Rgb(3);
    const Bytes uyv = colour.Frame(3);
    const Bytes gray = scene.Frame(3);
    size_t coloured = 0;
    for (size_t i = 0; i < n; ++i) {
        const auto [lo, hi] = std::minmax({rgb[3 * i], rgb[3 * i + 1], rgb[3 * i + 2]});
        coloured += hi - lo > 30;
        ASSERT_EQ(uyv[3 * i + 1], gray[i]) << "Y of the colour scene is its gray";
    }
    EXPECT_GT(coloured, n / 5);
}

using FrameSourceFileTest = TempDir;

TEST_F(FrameSourceFileTest, LoadsPgmScaledNearestNeighbour) {
    const std::string path = Write(
        "a.pgm", std::string("P5\n# made by hand\n3 2 # size\n255\n") + "\x0A\x14\x1E\x28\x32\xFF");
    std::string error;
    const auto up = FrameSource::FromFile(path, 4, 6, false, &error);
    ASSERT_TRUE(up) << error;
    EXPECT_EQ(up->GetPattern(), Pattern::File);
    const Bytes src = {10, 20, 30, 40, 50, 255};
    const Bytes f = up->Frame(0);
    for (int r = 0; r < 4; ++r) {
        for (int c = 0; c < 6; ++c) {
            EXPECT_EQ(f[r * 6 + c], src[(r / 2) * 3 + c / 2]) << r << "," << c;
        }
    }
    EXPECT_EQ(up->Frame(3), f);
    EXPECT_EQ(FrameSource::FromFile(path, 1, 2, false)->Frame(0), (Bytes{10, 20}));
    EXPECT_EQ(FrameSource::FromFile(path, 1, 1, true)->Frame(0), (Bytes{128, 10, 128}));
}

TEST_F(FrameSourceFileTest, LoadsPpmAsYuvOrLuma) {
    const char pixels[] = {'\xFF', 0, 0, 90, 90, 90};  // Red, gray 90.
    const std::string path = Write("a.ppm", "P6 2 1 255\n" + std::string(pixels, 6));
    const auto colour = FrameSource::FromFile(path, 1, 2, true);
    ASSERT_TRUE(colour);
    EXPECT_EQ(colour->Frame(0), (Bytes{85, 77, 255, 128, 90, 128}));
    const auto gray = FrameSource::FromFile(path, 1, 2, false);
    ASSERT_TRUE(gray);
    EXPECT_EQ(gray->Frame(0), (Bytes{77, 90}));
}

TEST_F(FrameSourceFileTest, RejectsMissingAndMalformedFiles) {
    std::string error;
    EXPECT_FALSE(FrameSource::FromFile(dir_ + "/missing.pgm", 2, 2, false, &error));
    EXPECT_NE(error.find("missing.pgm"), std::string::npos) << error;

    const std::pair<const char*, const char*> bad[] = {
        {"P2 1 1 255\n7", "PGM"},      // ASCII, not binary.
        {"P5 2 2 65535\n", "maxval"},  // 16-bit.
        {"P6 2 2 255\n\x01\x02\x03", "truncated"},
        {"P5 0 2 255\n", "size"},
        {"P5 x 2 255\n\x01\x02", "malformed"},
        {"P5 1 1 255", "malformed"},  // No byte after the header.
        {"", "PGM"},
    };
    for (const auto& [content, why] : bad) {
        error.clear();
        EXPECT_FALSE(FrameSource::FromFile(Write("bad", content), 2, 2, false, &error)) << content;
        EXPECT_NE(error.find(why), std::string::npos) << content << ": " << error;
    }
}

// ---- CameraBoard ----

namespace {

CameraBoard::Options SmallUnpaced() {
    CameraBoard::Options o;
    o.rows = 4;
    o.columns = 5;
    o.baud = 0;
    o.blocking = true;
    return o;
}

}  // namespace

TEST(CameraBoardTest, SendsExactlyCountFramesAndCallsBackAfterEach) {
    PseudoTerminal pty;
    ASSERT_TRUE(pty.Open());
    HostEnd host(pty.DevicePath());
    CameraBoard::Options o = SmallUnpaced();
    o.colour = true;
    o.header = 0x5A;
    o.count = 3;
    CameraBoard board(pty, o);
    std::vector<uint64_t> indices;
    std::vector<Clock::time_point> times;
    board.SetFrameCallback([&](uint64_t i, Clock::time_point t) {
        indices.push_back(i);
        times.push_back(t);
    });
    const auto t0 = Clock::now();
    ASSERT_TRUE(board.Start());
    board.Wait();

    const FrameSource source(4, 5, true, Pattern::Gradient);
    Bytes expected;
    for (uint64_t i = 0; i < 3; ++i) {
        const Bytes wire = camsim::WireFrame(0x5A, source.Frame(i));
        expected.insert(expected.end(), wire.begin(), wire.end());
    }
    EXPECT_EQ(host.Read(expected.size() + 1), expected);
    EXPECT_EQ(indices, (std::vector<uint64_t>{0, 1, 2}));
    ASSERT_EQ(times.size(), 3u);
    EXPECT_TRUE(t0 <= times[0] && times[0] <= times[1] && times[1] <= times[2]);
    const auto s = board.Stats();
    EXPECT_EQ(s.framesSent, 3u);
    EXPECT_EQ(s.bytesSent, expected.size());
    EXPECT_EQ(s.bytesDropped, 0u);
}

TEST(CameraBoardTest, GarbageBetweenFramesNeverContainsHeader) {
    PseudoTerminal pty;
    ASSERT_TRUE(pty.Open());
    HostEnd host(pty.DevicePath());
    CameraBoard::Options o = SmallUnpaced();
    o.header = 0xA5;  // The gradient of a 4x5 frame stays far below it.
    o.count = 5;
    o.garbage = 300;
    CameraBoard board(pty, o);
    ASSERT_TRUE(board.Start());
    board.Wait();

    const size_t frame = 21;
    const Bytes got = host.Read(5 * frame + 4 * 300 + 1);
    ASSERT_EQ(got.size(), 5 * frame + 4 * 300);
    const FrameSource source(4, 5, false, Pattern::Gradient);
    std::set<uint8_t> noise;
    size_t pos = 0;
    for (uint64_t i = 0; i < 5; ++i) {
        if (i > 0) {
            for (size_t k = 0; k < 300; ++k, ++pos) {
                ASSERT_NE(got[pos], 0xA5) << "garbage before frame " << i;
                noise.insert(got[pos]);
            }
        }
        EXPECT_EQ(Bytes(got.begin() + pos, got.begin() + pos + frame),
                  camsim::WireFrame(0xA5, source.Frame(i)));
        pos += frame;
    }
    EXPECT_GT(noise.size(), 200u) << "garbage is not random";
}

TEST(CameraBoardTest, TruncatesEveryKthFrameAndForcesHeaderPixels) {
    PseudoTerminal pty;
    ASSERT_TRUE(pty.Open());
    HostEnd host(pty.DevicePath());
    CameraBoard::Options o = SmallUnpaced();
    o.rows = 6;
    o.columns = 7;  // 42 pixels: header-valued at 0, 16 and 32.
    o.header = 0x80;
    o.count = 4;
    o.truncateEvery = 2;
    o.headerPixels = true;
    CameraBoard board(pty, o);
    ASSERT_TRUE(board.Start());
    board.Wait();

    const FrameSource source(6, 7, false, Pattern::Gradient);
    Bytes expected;
    for (uint64_t i = 0; i < 4; ++i) {
        Bytes pixels = source.Frame(i);
        pixels[0] = pixels[16] = pixels[32] = 0x80;
        if (i % 2 == 1) {
            pixels.resize(21);  // Frames 2 and 4 stop half way.
        }
        const Bytes wire = camsim::WireFrame(0x80, pixels);
        expected.insert(expected.end(), wire.begin(), wire.end());
    }
    EXPECT_EQ(host.Read(expected.size() + 1), expected);
    EXPECT_EQ(board.Stats().framesSent, 4u);
}

TEST(CameraBoardTest, DropsAndCountsWhatAnUnreadLineCannotTake) {
    PseudoTerminal pty;
    ASSERT_TRUE(pty.Open());
    CameraBoard::Options o;  // 60 x 80, non-blocking.
    o.baud = 0;
    o.count = 50;
    CameraBoard board(pty, o);
    std::atomic<bool> stop{false};
    ASSERT_TRUE(board.Run(stop));

    const auto s = board.Stats();
    EXPECT_EQ(s.framesSent, 50u);
    EXPECT_EQ(s.bytesSent + s.bytesDropped, 50u * 4801u);
    EXPECT_GT(s.bytesDropped, 0u);
    HostEnd host(pty.DevicePath());
    const Bytes got = host.Read(s.bytesSent + 1);
    EXPECT_EQ(got.size(), s.bytesSent);  // What counts as sent really is queued.
    const Bytes first =
        camsim::WireFrame(255, FrameSource(60, 80, false, Pattern::Gradient).Frame(0));
    ASSERT_GE(got.size(), first.size());
    EXPECT_TRUE(std::equal(first.begin(), first.end(), got.begin()));
}

TEST(CameraBoardTest, BlockingWaitsForSlowHostWithoutLoss) {
    PseudoTerminal pty;
    ASSERT_TRUE(pty.Open());
    HostEnd host(pty.DevicePath());
    CameraBoard::Options o;
    o.baud = 0;
    o.count = 20;  // 96 KB: several times what the line holds.
    o.blocking = true;
    CameraBoard board(pty, o);
    ASSERT_TRUE(board.Start());
    std::this_thread::sleep_for(50ms);  // Let the line fill up first.
    const Bytes got = host.Read(20 * 4801 + 1);
    board.Wait();

    ASSERT_EQ(got.size(), 20u * 4801u);
    const FrameSource source(60, 80, false, Pattern::Gradient);
    EXPECT_TRUE(
        std::equal(got.end() - 4801, got.end(), camsim::WireFrame(255, source.Frame(19)).begin()));
    EXPECT_EQ(board.Stats().bytesDropped, 0u);
}

TEST(CameraBoardTest, StopEndsBlockedOrEndlessRunsPromptly) {
    PseudoTerminal pty;
    ASSERT_TRUE(pty.Open());
    CameraBoard::Options o;
    o.baud = 0;
    o.blocking = true;  // Endless, and nobody reads: the board ends up waiting.
    CameraBoard board(pty, o);
    ASSERT_TRUE(board.Start());
    std::atomic<bool> never{false};
    EXPECT_FALSE(board.Start()) << "second run on the same board";
    EXPECT_FALSE(board.Run(never));
    ASSERT_TRUE(pty.WaitQueued(PseudoTerminal::kMaxReportedQueue, 2000));
    std::this_thread::sleep_for(20ms);
    auto t0 = Clock::now();
    board.Stop();
    EXPECT_LT(Clock::now() - t0, 500ms);
    EXPECT_EQ(board.Stats().bytesDropped, 0u);

    // On the calling thread, stopped by the flag from the frame callback.
    CameraBoard::Options slow;
    slow.rows = 10;
    slow.columns = 10;
    slow.baud = 1'000'000;
    CameraBoard caller(pty, slow);
    std::atomic<bool> stop{false};
    caller.SetFrameCallback([&](uint64_t i, Clock::time_point) { stop = i == 2; });
    ASSERT_TRUE(caller.Run(stop));
    EXPECT_EQ(caller.Stats().framesSent, 3u);
}

TEST(CameraBoardTest, BaudPacingArithmetic) {
    EXPECT_EQ(CameraBoard::BytesDue(9600, 1s), 960u);
    EXPECT_EQ(CameraBoard::BytesDue(9600, 1041ms), 999u);  // 1000 bytes need 1.0417 s.
    EXPECT_EQ(CameraBoard::BytesDue(9600, 1042ms), 1000u);
    EXPECT_EQ(CameraBoard::BytesDue(115200, 24h), 11520u * 86400u);
    EXPECT_EQ(CameraBoard::BytesDue(115200, 0s), 0u);
    EXPECT_EQ(CameraBoard::BytesDue(0, 1s), 0u);
}

TEST(CameraBoardTest, BaudPacingIsSmoothAndOnSchedule) {
    PseudoTerminal pty;
    ASSERT_TRUE(pty.Open());
    HostEnd host(pty.DevicePath());
    CameraBoard::Options o;
    o.rows = 20;
    o.columns = 50;  // 1001 bytes a frame; 2002 at 9600 bytes/s take 0.2085 s.
    o.baud = 96000;
    o.count = 2;
    CameraBoard board(pty, o);
    std::vector<Clock::duration> done;
    const auto t0 = Clock::now();
    board.SetFrameCallback([&](uint64_t, Clock::time_point t) { done.push_back(t - t0); });
    ASSERT_TRUE(board.Start());
    EXPECT_EQ(host.Read(2002).size(), 2002u);
    board.Wait();
    ASSERT_EQ(done.size(), 2u);
    EXPECT_GE(done[0], 104ms);
    EXPECT_GE(done[1], 208ms);
    EXPECT_LT(done[1], 1500ms);
    EXPECT_GE(host.Reads(), 10) << "frames were not sent in small slices";
}

TEST(CameraBoardTest, FpsPacingSpacesFrames) {
    PseudoTerminal pty;
    ASSERT_TRUE(pty.Open());
    CameraBoard::Options o = SmallUnpaced();
    o.fps = 20;
    o.count = 3;
    CameraBoard board(pty, o);
    std::vector<Clock::duration> done;
    const auto t0 = Clock::now();
    board.SetFrameCallback([&](uint64_t, Clock::time_point t) { done.push_back(t - t0); });
    ASSERT_TRUE(board.Start());
    board.Wait();
    ASSERT_EQ(done.size(), 3u);
    EXPECT_LT(done[0], 40ms);
    EXPECT_GE(done[1], 50ms);
    EXPECT_GE(done[2], 100ms);
    EXPECT_LT(done[2], 1000ms);
}

TEST(CameraBoardTest, InitRejectsBadOptions) {
    PseudoTerminal pty;
    std::string error;
    EXPECT_FALSE(CameraBoard(pty, SmallUnpaced()).Init(&error)) << "line not open";
    ASSERT_TRUE(pty.Open());
    for (auto change : std::vector<void (*)(CameraBoard::Options&)>{
             [](CameraBoard::Options& o) { o.rows = 0; },
             [](CameraBoard::Options& o) { o.columns = 10000; },
             [](CameraBoard::Options& o) { o.fps = -1; },
             [](CameraBoard::Options& o) {
                 o.pattern = Pattern::File;
                 o.file = "/nonexistent/picture.pgm";
             }}) {
        CameraBoard::Options o = SmallUnpaced();
        change(o);
        error.clear();
        CameraBoard board(pty, o);
        EXPECT_FALSE(board.Init(&error));
        EXPECT_FALSE(error.empty());
        EXPECT_FALSE(board.Start());
    }
    EXPECT_TRUE(CameraBoard(pty, SmallUnpaced()).Init());
}

// ---- Stream formats ----

namespace {

using stream::Encoding;
using stream::Framing;

// What the tool's own framer for `format` finds in `line`, fed in odd chunks;
// `marks`: where a headerless line was quiet.
framertest::PlayResult Frames(const stream::CStreamFormat& format, int rows, int columns,
                              const Bytes& line, std::vector<uint64_t> marks = {}) {
    stream::FramerSetup setup;
    setup.format = format;
    setup.rows = static_cast<uint32_t>(rows);
    setup.columns = static_cast<uint32_t>(columns);
    setup.encoding = format.Resolved(false);
    framertest::PlayOptions options = framertest::Chunked({7, 1000, 1, 4096});
    options.marks = std::move(marks);
    const auto framer = stream::MakeFramer(setup);
    framertest::PlayResult played = framertest::Play(*framer, line, options);
    EXPECT_TRUE(played.faults.empty()) << played.faults.front();
    return played;
}

bool Contains(const Bytes& line, const Bytes& part) {
    return std::search(line.begin(), line.end(), part.begin(), part.end()) != line.end();
}

// Runs a board of `o` until it has sent o.count frames, sending it `requests`
// first, and returns all the host read.
Bytes RunBoard(const CameraBoard::Options& o, const Bytes& requests, CameraBoard::Statistics* stats,
               std::vector<camsim::EncodedFrame>* expected) {
    PseudoTerminal pty;
    EXPECT_TRUE(pty.Open());
    HostEnd host(pty.DevicePath());
    CameraBoard board(pty, o);
    std::string error;
    EXPECT_TRUE(board.Init(&error)) << error;
    for (uint64_t i = 0; expected && i < o.count; ++i) {
        expected->push_back(board.Expected(i));
    }
    if (!requests.empty()) {
        EXPECT_EQ(::write(host.Fd(), requests.data(), requests.size()),
                  static_cast<ssize_t>(requests.size()));
    }
    EXPECT_TRUE(board.Start());
    Bytes got;
    const auto deadline = Clock::now() + 10s;
    for (bool done = false; !done && Clock::now() < deadline;) {
        done = board.Stats().framesSent == o.count;  // Then one more read takes the rest.
        const Bytes some = host.Read(SIZE_MAX, 50);
        got.insert(got.end(), some.begin(), some.end());
    }
    board.Stop();
    *stats = board.Stats();
    return got;
}

// How far apart two pictures' pixels are at most, and on average.
std::pair<int, double> Distance(const Bytes& a, const Bytes& b) {
    int most = 0;
    double sum = 0;
    for (size_t i = 0; i < std::min(a.size(), b.size()); ++i) {
        const int d = std::abs(a[i] - b[i]);
        most = std::max(most, d);
        sum += d;
    }
    return {most, a.empty() ? 0.0 : sum / static_cast<double>(a.size())};
}

}  // namespace

// Every preset, with the scene and with the gradient, read from the line:
// the tool's framers find whole, sound frames with exactly the payloads the
// board says (garbage before them never starting one; text lines before JPEG
// frames and debug text among packet pixels passed over), the headers carry
// size and counter, and each frame shows its picture: the source's within the
// encoding's rounding, JPEG's decoding close to the picture encoded.
TEST(StreamFormatBoardTest, EveryPresetSendsTheExpectedFramesAndPictures) {
    for (const stream::CStreamPreset& preset : stream::Presets()) {
        for (Pattern pattern : {Pattern::Scene, Pattern::Gradient}) {
            SCOPED_TRACE(std::string(preset.id) + " " + FrameSource::PatternName(pattern));
            const stream::CStreamFormat& format = preset.format;
            CameraBoard::Options o = SmallUnpaced();
            o.format = format;
            o.pattern = pattern;
            o.rows = preset.rows > 0 ? static_cast<int>(preset.rows) : 60;
            o.columns = preset.columns > 0 ? static_cast<int>(preset.columns) : 80;
            o.count = 3;
            const bool headerless = format.framing == Framing::Headerless;
            const bool jpeg = format.framing == Framing::Jpeg;
            o.garbage = headerless ? 0 : 40;
            if (jpeg) {
                o.between = pattern == Pattern::Scene ? "ACK IMG END\r\n" : "";
                o.betweenLength = pattern == Pattern::Gradient;
            }
            if (format.framing == Framing::Packet) {
                o.packetText = "hello";
            }
            Bytes requests = format.requestAtStart;
            while (!format.requestPerFrame.empty() && requests.size() < 3) {
                requests.insert(requests.end(), format.requestPerFrame.begin(),
                                format.requestPerFrame.end());
            }
            CameraBoard::Statistics stats;
            std::vector<camsim::EncodedFrame> expected;
            const auto t0 = Clock::now();
            const Bytes got = RunBoard(o, requests, &stats, &expected);
            const auto took = Clock::now() - t0;
            EXPECT_EQ(stats.framesSent, 3u);
            std::vector<uint64_t> marks;
            for (size_t i = 0; headerless && i < 3; ++i) {
                marks.push_back(i * expected[0].Wire().size());
            }
            const auto played = Frames(format, o.rows, o.columns, got, marks);
            ASSERT_EQ(played.frames.size(), 3u);
            if (headerless) {
                EXPECT_GE(took, 3 * 2 * std::chrono::milliseconds(format.gapMilliseconds));
            }
            const Encoding e = format.Resolved(false);
            const FrameSource source(o.rows, o.columns, camsim::FrameEncoder::NeedsColour(e),
                                     pattern, o.seed);
            for (uint64_t i = 0; i < 3; ++i) {
                const framertest::PlayedFrame& f = played.frames[i];
                const camsim::EncodedFrame& x = expected[i];
                // Garbage after a frame with no end of its own leaves it unconfirmed.
                const bool unconfirmed =
                    i < 2 && (format.framing == Framing::HeaderByte ||
                              (format.framing == Framing::Marker && format.endMarker.empty()));
                EXPECT_TRUE(f.Good() || (unconfirmed && !f.damaged && !f.cutShort))
                    << "frame " << i;
                EXPECT_EQ(f.payload, x.payload) << "frame " << i;
                EXPECT_EQ(f.text, o.packetText);
                if (format.GeometryFromWire() && !jpeg) {
                    EXPECT_EQ(f.header.width, static_cast<uint32_t>(o.columns));
                    EXPECT_EQ(f.header.height, static_cast<uint32_t>(o.rows));
                }
                EXPECT_EQ(f.header.hasCounter, format.framing == Framing::Described);
                EXPECT_EQ(f.header.counter, f.header.hasCounter ? i : 0);
                if (jpeg) {
                    std::string text = o.between;
                    text += o.betweenLength ? std::to_string(x.payload.size()) + "\r\n" : "";
                    Bytes line(text.begin(), text.end());
                    line.insert(line.end(), x.payload.begin(), x.payload.end());
                    EXPECT_TRUE(Contains(got, line)) << "the text before frame " << i;
                }
                ASSERT_EQ(x.picture.width, static_cast<uint32_t>(o.columns));
                ASSERT_EQ(x.picture.gray, stream::Info(e).gray);
                const Bytes want = x.picture.gray ? source.Frame(i) : source.Rgb(i);
                if (jpeg) {
                    EXPECT_EQ(x.picture.pixels, want);
                    stream::CJpegDecoder decoder;
                    Bytes decoded;
                    uint32_t dw = 0, dh = 0;
                    ASSERT_EQ(decoder.Decode(f.payload.data(), f.payload.size(), x.picture.gray,
                                             decoded, dw, dh),
                              stream::CJpegDecoder::Result::Ok);
                    EXPECT_LT(Distance(decoded, want).second, 12.0);
                } else if (e == Encoding::Bits1) {
                    for (size_t k = 0; k < want.size(); ++k) {
                        ASSERT_EQ(x.picture.pixels[k], want[k] < 128 ? 0 : 255) << "pixel " << k;
                    }
                } else {
                    EXPECT_LE(Distance(x.picture.pixels, want).first,
                              e == Encoding::Gray8 ? 2 : 12);
                }
            }
        }
    }
}

// The Arduino board sends one frame per R it reads and nothing without one;
// credits add up; its header counts frames.
TEST(StreamFormatBoardTest, ArduinoBoardSendsOneFramePerCredit) {
    PseudoTerminal pty;
    ASSERT_TRUE(pty.Open());
    HostEnd host(pty.DevicePath());
    CameraBoard::Options o = SmallUnpaced();
    ASSERT_TRUE(stream::FormatFromText("arduino", o.format));
    o.pattern = Pattern::Scene;
    CameraBoard board(pty, o);
    ASSERT_TRUE(board.Start());
    const size_t frame = 20 + 4 * 5;
    EXPECT_TRUE(host.Read(1, 300).empty()) << "a board without a request is silent";
    auto request = [&](const char* r) {
        ASSERT_EQ(::write(host.Fd(), r, std::strlen(r)), static_cast<ssize_t>(std::strlen(r)));
    };
    request("R");
    Bytes got = host.Read(SIZE_MAX, 300);
    EXPECT_EQ(got.size(), frame);
    request("RR");
    const Bytes more = host.Read(SIZE_MAX, 300);
    EXPECT_EQ(more.size(), 2 * frame);
    got.insert(got.end(), more.begin(), more.end());
    board.Stop();
    EXPECT_EQ(board.Stats().requestsReceived, 3u);
    EXPECT_EQ(board.Stats().framesSent, 3u);
    const auto played = Frames(o.format, 4, 5, got);
    ASSERT_EQ(played.frames.size(), 3u);
    for (uint32_t i = 0; i < 3; ++i) {
        EXPECT_EQ(played.frames[i].header.counter, i);
        EXPECT_EQ(played.frames[i].payload, board.Expected(i).payload);
    }
}

// --lose-byte-every K: frames K, 2K, ... arrive one payload byte short, the
// middle one missing; the frames between arrive whole.
TEST(StreamFormatBoardTest, LoseByteEveryDropsExactlyOnePayloadByte) {
    for (const char* id : {"fe01-gray", "liveov7670"}) {
        SCOPED_TRACE(id);
        CameraBoard::Options o = SmallUnpaced();
        ASSERT_TRUE(stream::FormatFromText(id, o.format));
        o.pattern = Pattern::Scene;
        o.rows = 6;
        o.columns = 8;
        o.count = 4;
        o.loseByteEvery = 2;
        CameraBoard::Statistics stats;
        std::vector<camsim::EncodedFrame> expected;
        const Bytes got = RunBoard(o, {}, &stats, &expected);
        Bytes whole;
        for (uint64_t i = 0; i < 4; ++i) {
            camsim::EncodedFrame x = expected[i];
            const size_t n = x.payload.size();
            if (i % 2 == 1) {
                x.LoseByte(CameraBoard::LostByte(n));
                ASSERT_EQ(x.payload.size(), n - 1);
            }
            const Bytes wire = x.Wire();
            whole.insert(whole.end(), wire.begin(), wire.end());
        }
        EXPECT_EQ(got, whole);
        EXPECT_EQ(got.size() + 2, [&] {
            size_t sum = 0;
            for (const auto& x : expected) {
                sum += x.Wire().size();
            }
            return sum;
        }());
    }
}
