// Continuous capture from the simulated board over a pseudo-terminal into a
// real engine worker: how many of the frames the line carries get drawn whole,
// and how long after a frame's last byte was written its last row is drawn.
//
// The engine is not changed: each frame start is seen through the page's
// ClearPicture, each drawn row through the picture surface's listener. The
// gradient pattern's pixel (4r + 2c + i) & 0xFF tells which frame a row came
// from (i modulo 256), so drawn frames are matched to the board's record of
// when each frame's last byte went to the line.
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "capture/CaptureBase.h"
#include "serial/PortDevices.h"
#include "serial/PortOwner.h"
#include "tools/camsim/CameraBoard.h"
#include "tools/camsim/PseudoTerminal.h"

namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::duration;
using std::chrono::milliseconds;

constexpr int kRows = 60;
constexpr int kColumns = 80;
constexpr int kAreaWidth = 620;
constexpr int kAreaHeight = 480;
constexpr int kPort = 9;
// After the board stops, time for the engine to draw what it has received.
constexpr auto kDrain = milliseconds(2000);
// The board records a frame right after its last write; a fast engine may draw
// it a moment before that record exists.
constexpr auto kRecordSlack = milliseconds(50);

double Ms(Clock::duration d) {
    return duration<double, std::milli>(d).count();
}

// What the drawn rows show, frame by frame (a frame runs from one ClearPicture
// to the next).
class DrawTracker {
public:
    struct Frame {
        Clock::time_point started;
        Clock::time_point finished;  // when the last row was drawn
        int index8 = -1;             // frame index modulo 256, from row 0
        int rows = 0;                // rows drawn
        bool intact = true;          // rows in order, each the gradient of index8
    };

    explicit DrawTracker(int block) : m_block(block) {}

    // On the worker, at each frame start.
    void FrameStart() {
        std::lock_guard<std::mutex> lock(m_lock);
        Close();
        m_current = Frame();
        m_current.started = Clock::now();
        m_open = true;
    }

    // On the drawing thread, for each rectangle the surface reports.
    void Changed(const CPictureSurface::Rect& r, const CPictureSurface& surface) {
        // A drawn row is one block high and spans the image; anything else is
        // a clear of the whole area.
        if (r.bottom - r.top != m_block || r.left != 0 || r.right != kColumns * m_block)
            return;
        const int row = r.top / m_block;
        int index8 = -1;
        bool gradient = true;
        surface.Read([&](const uint32_t* pixels, int width, int) {
            const uint32_t* line = pixels + static_cast<size_t>(r.top) * width;
            index8 = static_cast<int>((line[0] - 4u * row) & 0xFFu);
            for (int c = 0; c < kColumns && gradient; ++c) {
                const uint32_t v = (4u * row + 2u * c + index8) & 0xFFu;
                gradient = (line[c * m_block] & 0xFFFFFFu) == ((v << 16) | (v << 8) | v);
            }
        });
        const auto now = Clock::now();
        std::lock_guard<std::mutex> lock(m_lock);
        if (!m_open)
            return;
        Frame& f = m_current;
        if (f.rows == 0)
            f.index8 = index8;
        f.intact = f.intact && gradient && row == f.rows && index8 == f.index8;
        ++f.rows;
        if (row == kRows - 1) {
            f.finished = now;
            Close();
        }
    }

    std::vector<Frame> Frames() {
        std::lock_guard<std::mutex> lock(m_lock);
        Close();
        return m_frames;
    }

private:
    void Close() {
        if (m_open)
            m_frames.push_back(m_current);
        m_open = false;
    }

    const int m_block;
    std::mutex m_lock;
    Frame m_current;
    bool m_open = false;
    std::vector<Frame> m_frames;
};

// A capture page with no controls: it counts the status texts it is shown and
// reports frame starts to the tracker.
class CapturePage : public CCaptureBase {
public:
    explicit CapturePage(DrawTracker& tracker) : m_tracker(tracker) {}
    ~CapturePage() override { ShutdownEngine(); }

    void ShowStatus(std::string text) override {
        std::lock_guard<std::mutex> lock(m_lock);
        ++m_statuses[text];
    }
    void OnCaptureBegin() override { m_begun = true; }
    void OnCaptureEnd() override { m_ended = true; }
    void ClearPicture() override {
        m_wndPicture.Fill(0xF0F0F0);
        m_tracker.FrameStart();
    }
    void ClearValueList() override {}
    void AppendValue(uint8_t, int) override {}

    std::map<std::string, int> Statuses() {
        std::lock_guard<std::mutex> lock(m_lock);
        return m_statuses;
    }

    std::atomic<bool> m_begun{false};
    std::atomic<bool> m_ended{false};

private:
    DrawTracker& m_tracker;
    std::mutex m_lock;
    std::map<std::string, int> m_statuses;
};

// The port choice as the main window would give it: COM9 at the run's baud.
class BenchPortOwner : public CPortOwner {
public:
    explicit BenchPortOwner(long baud) : m_baud(std::to_string(baud)) {}

protected:
    int GetBaudSelection() override { return 1; }
    std::string GetBaudText() override { return m_baud; }
    int GetPortSelection() override { return 1; }
    std::string GetPortText() override { return "COM" + std::to_string(kPort); }
    void ShowPortMessage(const std::string& text, const std::string&) override {
        std::fprintf(stderr, "port: %s\n", text.c_str());
    }

private:
    std::string m_baud;
};

struct Sent {
    uint64_t index;
    Clock::time_point written;
};

struct Result {
    long baud = 0;
    double seconds = 0;
    camsim::CameraBoard::Statistics board;
    size_t starts = 0;               // frame starts the engine found
    size_t drawn = 0;                // distinct sent frames drawn whole and intact
    size_t broken = 0;               // frames started but not drawn whole and intact
    std::vector<double> startGapMs;  // between successive frame starts
    std::vector<double> latencyMs;
    std::map<std::string, int> statuses;
};

double Percentile(std::vector<double> v, double p) {
    if (v.empty())
        return 0;
    std::sort(v.begin(), v.end());
    const size_t rank = static_cast<size_t>(std::max(1.0, p * static_cast<double>(v.size()) + 0.5));
    return v[std::min(rank, v.size()) - 1];
}

bool RunCapture(long baud, double seconds, bool blocking, bool trace, Result& result) {
    camsim::PseudoTerminal line;
    std::string error;
    if (!line.Open(&error)) {
        std::fprintf(stderr, "cannot open a pseudo-terminal: %s\n", error.c_str());
        return false;
    }
    BenchPortOwner owner(baud);
    // The engine finds the port through these globals; undone on every way out.
    struct PortRegistration {
        PortRegistration(CPortOwner& owner, const std::string& path) : m_owner(owner) {
            SetPortDevicePath(kPort, path);
            SetPortOwner(&owner);
        }
        ~PortRegistration() {
            SetPortOwner(nullptr);
            m_owner.m_port.Close();
            SetPortDevicePath(kPort, "");
        }
        CPortOwner& m_owner;
    } registration(owner, line.DevicePath());

    const int block = std::min(kAreaWidth / kColumns, kAreaHeight / kRows);
    DrawTracker tracker(block);
    std::vector<Sent> sent;
    std::mutex sentLock;
    {
        CapturePage page(tracker);
        page.m_nRows = kRows;
        page.m_nColumns = kColumns;
        page.m_byFormat = 0;
        page.m_nMode = 1;
        page.m_bShowImage = 1;
        page.m_bScaleToArea = 1;
        page.m_nAreaWidth = kAreaWidth;
        page.m_nAreaHeight = kAreaHeight;
        page.m_wndPicture.Resize(kAreaWidth, kAreaHeight);
        page.m_wndPicture.SetListener(
            [&](const CPictureSurface::Rect& r) { tracker.Changed(r, page.m_wndPicture); });

        camsim::CameraBoard::Options options;
        options.rows = kRows;
        options.columns = kColumns;
        options.pattern = camsim::Pattern::Gradient;
        options.baud = baud;
        options.blocking = blocking;
        camsim::CameraBoard board(line, options);
        board.SetFrameCallback([&](uint64_t index, Clock::time_point written) {
            std::lock_guard<std::mutex> lock(sentLock);
            sent.push_back({index, written});
        });
        if (!board.Init(&error)) {
            std::fprintf(stderr, "board: %s\n", error.c_str());
            return false;
        }

        if (page.StartWorker() != 1) {
            std::fprintf(stderr, "the worker did not start\n");
            return false;
        }
        // The worker purges the port when it starts; the board begins after that.
        const auto ready = Clock::now() + milliseconds(2000);
        while (!page.m_begun && Clock::now() < ready)
            std::this_thread::sleep_for(milliseconds(5));
        std::this_thread::sleep_for(milliseconds(200));
        if (page.m_ended) {
            std::fprintf(stderr, "the capture ended at once (port not opened?)\n");
            return false;
        }

        const auto begin = Clock::now();
        board.Start();
        std::this_thread::sleep_for(duration<double>(seconds));
        board.Stop();
        result.seconds = duration<double>(Clock::now() - begin).count();
        std::this_thread::sleep_for(kDrain);
        page.ShutdownEngine();
        result.board = board.Stats();
        result.statuses = page.Statuses();
    }
    // Each intact frame is the latest frame sent with its index modulo 256.
    result.baud = baud;
    std::vector<bool> matched(sent.size(), false);
    const std::vector<DrawTracker::Frame> frames = tracker.Frames();
    for (size_t i = 0; i < frames.size(); ++i) {
        const DrawTracker::Frame& f = frames[i];
        if (i == 0 && f.rows == 0)
            continue;  // the capture's own clear, before any frame
        if (result.starts > 0)
            result.startGapMs.push_back(Ms(f.started - frames[i - 1].started));
        ++result.starts;
        long match = -1;
        if (f.intact && f.rows == kRows) {
            for (size_t k = 0; k < sent.size(); ++k)
                if (static_cast<int>(sent[k].index & 0xFF) == f.index8 &&
                    sent[k].written <= f.finished + kRecordSlack)
                    match = static_cast<long>(k);
        }
        if (match < 0) {
            ++result.broken;
        } else if (!matched[match]) {
            matched[match] = true;
            ++result.drawn;
            result.latencyMs.push_back(Ms(f.finished - sent[match].written));
        }
        if (trace) {
            const auto origin = sent.empty() ? f.started : sent.front().written;
            std::printf("  start %9.1f ms  rows %2d  %s", Ms(f.started - origin), f.rows,
                        f.intact ? "intact" : "BROKEN");
            if (match >= 0)
                std::printf("  frame %4lu written %9.1f ms  drawn %9.1f ms  latency %6.1f ms",
                            static_cast<unsigned long>(sent[match].index),
                            Ms(sent[match].written - origin), Ms(f.finished - origin),
                            Ms(f.finished - sent[match].written));
            std::printf("\n");
        }
    }
    return true;
}

void PrintResult(const Result& r) {
    const double carried =
        r.seconds * static_cast<double>(r.baud) / 10.0 / static_cast<double>(kRows * kColumns + 1);
    const double fraction = r.board.framesSent > 0 ? static_cast<double>(r.drawn) /
                                                         static_cast<double>(r.board.framesSent)
                                                   : 0;
    std::printf("baud %ld, %.1f s: frames sent %lu (line capacity %.1f), bytes dropped %lu\n",
                r.baud, r.seconds, static_cast<unsigned long>(r.board.framesSent), carried,
                static_cast<unsigned long>(r.board.bytesDropped));
    std::printf(
        "  frame starts found %zu, drawn whole %zu (%.1f%% of sent), started but not "
        "drawn whole %zu\n",
        r.starts, r.drawn, 100.0 * fraction, r.broken);
    if (!r.latencyMs.empty())
        std::printf(
            "  last byte written -> last row drawn: median %.1f ms, p90 %.1f ms, "
            "min %.1f ms, max %.1f ms\n",
            Percentile(r.latencyMs, 0.5), Percentile(r.latencyMs, 0.9),
            *std::min_element(r.latencyMs.begin(), r.latencyMs.end()),
            *std::max_element(r.latencyMs.begin(), r.latencyMs.end()));
    if (!r.startGapMs.empty())
        std::printf("  between frame starts: median %.1f ms, min %.1f ms, max %.1f ms\n",
                    Percentile(r.startGapMs, 0.5),
                    *std::min_element(r.startGapMs.begin(), r.startGapMs.end()),
                    *std::max_element(r.startGapMs.begin(), r.startGapMs.end()));
    for (const auto& [text, count] : r.statuses)
        std::printf("  status x%-5d %s\n", count, text.c_str());
    std::fflush(stdout);
}

const char kHelp[] =
    "Usage: tavix-bench-capture [--seconds S] [--baud B[,B...]] [--blocking] [--trace]\n"
    "Streams 60 x 80 grayscale gradient frames from the simulated board over a\n"
    "pseudo-terminal into a continuous capture (picture enlarged to 620 x 480)\n"
    "and reports the frames drawn whole and the time from each frame's last\n"
    "byte written to its last row drawn.\n"
    "  --seconds S   streaming time per baud rate (default 30)\n"
    "  --baud LIST   comma-separated baud rates (default 115200,460800,921600)\n"
    "  --blocking    the board waits while the line is full instead of dropping\n"
    "                bytes: shows the most frames per second the engine takes\n"
    "  --trace       print every frame start with its match and timings\n";

}  // namespace

int main(int argc, char** argv) {
    double seconds = 30;
    std::vector<long> bauds = {115200, 460800, 921600};
    bool trace = false;
    bool blocking = false;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--seconds" && i + 1 < argc) {
            seconds = std::atof(argv[++i]);
        } else if (arg == "--baud" && i + 1 < argc) {
            bauds.clear();
            for (const char* p = argv[++i]; *p != '\0';) {
                char* end = nullptr;
                const long b = std::strtol(p, &end, 10);
                if (end == p || b <= 0)
                    break;
                bauds.push_back(b);
                p = *end == ',' ? end + 1 : end;
            }
        } else if (arg == "--blocking") {
            blocking = true;
        } else if (arg == "--trace") {
            trace = true;
        } else {
            std::fputs(kHelp, arg == "--help" ? stdout : stderr);
            return arg == "--help" ? 0 : 2;
        }
    }
    if (!(seconds > 0) || bauds.empty()) {
        std::fputs(kHelp, stderr);
        return 2;
    }
    for (long baud : bauds) {
        Result result;
        if (!RunCapture(baud, seconds, blocking, trace, result))
            return 1;
        PrintResult(result);
    }
    return 0;
}
