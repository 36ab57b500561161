// A real engine worker fed by the simulated board over a pseudo-terminal.
//
// Continuous capture (the default): how many of the frames the line carries
// get drawn whole, and how long after a frame's last byte was written its last
// row is drawn. Each frame start is seen through the page's ClearValueList, each
// drawn row through the picture surface's listener; the gradient pattern tells
// which frame a row came from (its index modulo 256), so drawn frames are
// matched to the board's record of when each frame's last byte went out.
//
// Other modes: --blocking (the engine's ceiling, beside the pseudo-terminal's
// own throughput measured in the same run), --idle (the CPU a capture takes
// with no data), --single (single-frame captures with the binarized listing).
#include <sys/resource.h>
#include <time.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "bench/BenchLine.h"
#include "bench/Figures.h"
#include "capture/CaptureBase.h"
#include "serial/PortDevices.h"
#include "serial/PortOwner.h"
#include "serial/WakeEvent.h"
#include "tools/camsim/CameraBoard.h"
#include "tools/camsim/FrameSource.h"
#include "tools/camsim/PseudoTerminal.h"

namespace {

using bench::Line;
using bench::Ms;
using bench::Percentile;

using Clock = std::chrono::steady_clock;
using std::chrono::duration;
using std::chrono::milliseconds;

constexpr int kAreaWidth = 620;
constexpr int kAreaHeight = 480;
// After the board stops, time for the engine to draw what it has received.
constexpr auto kDrain = milliseconds(1000);
// The board records a frame right after its last write; a fast engine may draw
// it a moment before that record exists.
constexpr auto kRecordSlack = milliseconds(50);

struct Settings {
    int rows = 60;
    int columns = 80;
    bool colour = false;
    bool enlarged = true;
    double seconds = 30;
    bool blocking = false;
    bool trace = false;
};

// CPU seconds of the whole process (every thread, ended ones included).
double ProcessCpu() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return static_cast<double>(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
           static_cast<double>(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

// CPU seconds of the calling thread.
double ThreadCpu() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) / 1e9;
}

// The colour the engine draws for a gradient pixel of frame index i (0..255).
uint32_t Expected(const Settings& s, int r, int c, uint32_t i) {
    const uint32_t y = (4u * r + 2u * c + i) & 0xFF;
    if (!s.colour)
        return (y << 16) | (y << 8) | y;
    const double u = (4u * c + i) & 0xFF, v = (4u * r + i) & 0xFF;
    auto ch = [](double x) {
        return static_cast<uint32_t>(std::clamp(static_cast<int>(x), 0, 255));
    };
    const double yc = (y - 16.0) * 1.164;
    return (ch(yc + (v - 128) * 1.596) << 16) |
           (ch(yc - (v - 128) * 0.813 - (u - 128) * 0.391) << 8) | ch(yc + (u - 128) * 2.018);
}

// What the drawn rows show, frame by frame (a frame runs from one
// ClearValueList to the next: the listing starts again with every frame, while
// the picture is drawn over the last frame).
class DrawTracker {
public:
    struct Frame {
        Clock::time_point started;
        Clock::time_point finished;  // when the last row was drawn
        int index8 = -1;             // frame index modulo 256, from row 0
        int rows = 0;                // rows drawn
        bool intact = true;          // rows in order, each the gradient of index8
    };

    DrawTracker(const Settings& s, int block) : m_s(s), m_block(block) {}

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
        if (r.bottom - r.top != m_block || r.left != 0 || r.right != m_s.columns * m_block)
            return;
        const int row = r.top / m_block;
        int index8 = -1;
        surface.Read([&](const uint32_t* pixels, int width, int) {
            const uint32_t* line = pixels + static_cast<size_t>(r.top) * width;
            for (uint32_t i = 0; i < 256 && index8 < 0; ++i) {
                bool match = true;
                for (int c = 0; c < m_s.columns && match; ++c)
                    match = (line[c * m_block] & 0xFFFFFFu) == Expected(m_s, row, c, i);
                if (match)
                    index8 = static_cast<int>(i);
            }
        });
        const auto now = Clock::now();
        std::lock_guard<std::mutex> lock(m_lock);
        if (!m_open)
            return;
        Frame& f = m_current;
        if (f.rows == 0)
            f.index8 = index8;
        f.intact = f.intact && index8 >= 0 && row == f.rows && index8 == f.index8;
        ++f.rows;
        if (row == m_s.rows - 1) {
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

    const Settings& m_s;
    const int m_block;
    std::mutex m_lock;
    Frame m_current;
    bool m_open = false;
    std::vector<Frame> m_frames;
};

// A capture page with no controls: it counts the status texts it is shown,
// reports frame starts to the tracker and notes when the listing is complete.
class CapturePage : public CCaptureBase {
public:
    explicit CapturePage(DrawTracker* tracker = nullptr) : m_tracker(tracker) {}
    ~CapturePage() override { ShutdownEngine(); }

    void ShowStatus(std::string text) override {
        std::lock_guard<std::mutex> lock(m_lock);
        ++m_statuses[text];
    }
    void OnCaptureBegin() override { m_begun = true; }
    void OnCaptureEnd() override { m_ended = true; }
    void ClearPicture() override { m_wndPicture.Fill(0xF0F0F0); }
    void ClearValueList() override {
        m_listedRows = 0;
        if (m_tracker)
            m_tracker->FrameStart();
    }
    void AppendValue(uint8_t, int endOfRow) override {
        if (endOfRow && ++m_listedRows == m_nRows)
            m_listed = Clock::now();
    }

    std::map<std::string, int> Statuses() {
        std::lock_guard<std::mutex> lock(m_lock);
        return m_statuses;
    }

    std::atomic<bool> m_begun{false};
    std::atomic<bool> m_ended{false};
    std::atomic<uint32_t> m_listedRows{0};
    Clock::time_point m_listed;  // drawing thread; read after the capture

private:
    DrawTracker* m_tracker;
    std::mutex m_lock;
    std::map<std::string, int> m_statuses;
};

void Prepare(CapturePage& page, const Settings& s, int mode) {
    page.m_nRows = static_cast<uint32_t>(s.rows);
    page.m_nColumns = static_cast<uint32_t>(s.columns);
    page.m_byFormat = s.colour ? 1 : 0;
    page.m_nMode = mode;
    page.m_bShowImage = 1;
    page.m_bScaleToArea = s.enlarged ? 1 : 0;
    page.m_nAreaWidth = kAreaWidth;
    page.m_nAreaHeight = kAreaHeight;
    page.m_wndPicture.Resize(kAreaWidth, kAreaHeight);
}

// Starts the capture and waits until its start purge is over.
bool Start(CapturePage& page) {
    if (page.StartWorker() != 1) {
        std::fprintf(stderr, "the worker did not start\n");
        return false;
    }
    const auto ready = Clock::now() + milliseconds(2000);
    while (!page.m_begun && Clock::now() < ready)
        std::this_thread::sleep_for(milliseconds(5));
    std::this_thread::sleep_for(milliseconds(200));
    if (page.m_ended) {
        std::fprintf(stderr, "the capture ended at once (port not opened?)\n");
        return false;
    }
    return true;
}

struct Sent {
    uint64_t index;
    Clock::time_point written;
};

struct Result {
    long baud = 0;
    double seconds = 0;
    camsim::CameraBoard::Statistics board;
    CLinkStatistics link;
    size_t starts = 0;               // frame starts the tracker saw
    size_t drawn = 0;                // distinct sent frames drawn whole and intact
    size_t broken = 0;               // frames started but not drawn whole and intact
    size_t cutAtStop = 0;            // of those, the last one, cut off by the stop
    size_t intact = 0;               // frame starts drawn whole and intact, matched or not
    std::vector<double> startGapMs;  // between successive frame starts
    std::vector<double> latencyMs;
    std::map<std::string, int> statuses;
    double engineCpu = 0;  // CPU seconds of all but the board's thread
    double rawBytesPerSecond = 0;
};

// How fast the pseudo-terminal itself carries bytes: the board unpaced and
// blocking, a reader that only drains. The physical limit of this link.
double RawThroughput(double seconds) {
    Line line(115200);
    if (!line.Open() || line.owner.OpenPort() != 1)
        return 0;
    camsim::CameraBoard::Options options;
    options.baud = 0;
    options.blocking = true;
    camsim::CameraBoard board(line.pty, options);
    std::atomic<bool> stop{false};
    uint64_t bytes = 0;
    std::thread reader([&] {
        std::vector<uint8_t> buffer(1 << 16);
        CWakeEvent wake;
        while (!stop) {
            line.owner.m_port.WaitForData(50, &wake);
            uint32_t n = 0;
            if (line.owner.m_port.ReadAvailable(buffer.data(), static_cast<uint32_t>(buffer.size()),
                                                n) != 0)
                break;
            bytes += n;
        }
    });
    board.Start();
    std::this_thread::sleep_for(duration<double>(seconds));
    stop = true;
    board.Stop();
    reader.join();
    return static_cast<double>(bytes) / seconds;
}

bool RunContinuous(const Settings& s, long baud, Result& result) {
    Line line(baud);
    if (!line.Open())
        return false;
    const int block = s.enlarged ? std::min(kAreaWidth / s.columns, kAreaHeight / s.rows) : 1;
    DrawTracker tracker(s, block);
    std::vector<Sent> sent;
    std::mutex sentLock;
    std::atomic<double> boardCpu{0};
    {
        CapturePage page(&tracker);
        Prepare(page, s, 1);
        page.m_wndPicture.SetListener(
            [&](const CPictureSurface::Rect& r) { tracker.Changed(r, page.m_wndPicture); });

        camsim::CameraBoard::Options options;
        options.rows = s.rows;
        options.columns = s.columns;
        options.colour = s.colour;
        options.pattern = camsim::Pattern::Gradient;
        options.baud = s.blocking ? 0 : baud;  // blocking: unpaced
        options.blocking = s.blocking;
        camsim::CameraBoard board(line.pty, options);
        board.SetFrameCallback([&](uint64_t index, Clock::time_point written) {
            boardCpu = ThreadCpu();  // the callback runs on the board's thread
            std::lock_guard<std::mutex> lock(sentLock);
            sent.push_back({index, written});
        });
        std::string error;
        if (!board.Init(&error)) {
            std::fprintf(stderr, "board: %s\n", error.c_str());
            return false;
        }
        if (!Start(page))
            return false;

        const double cpu0 = ProcessCpu();
        const auto begin = Clock::now();
        board.Start();
        std::this_thread::sleep_for(duration<double>(s.seconds));
        board.Stop();
        result.seconds = duration<double>(Clock::now() - begin).count();
        result.engineCpu = ProcessCpu() - cpu0 - boardCpu.load();
        std::this_thread::sleep_for(kDrain);
        page.ShutdownEngine();
        result.board = board.Stats();
        result.link = page.GetLinkStatistics();
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
        if (f.intact && f.rows == s.rows)
            ++result.intact;
        if (f.intact && f.rows == s.rows) {
            for (size_t k = 0; k < sent.size(); ++k)
                if (static_cast<int>(sent[k].index & 0xFF) == f.index8 &&
                    sent[k].written <= f.finished + kRecordSlack)
                    match = static_cast<long>(k);
        }
        if (match < 0) {
            ++result.broken;
            // The frame under way when the board stopped ends short, intact.
            if (i + 1 == frames.size() && f.intact)
                ++result.cutAtStop;
        } else if (!matched[match]) {
            matched[match] = true;
            ++result.drawn;
            result.latencyMs.push_back(Ms(f.finished - sent[match].written));
        }
        if (s.trace) {
            const auto origin = sent.empty() ? f.started : sent.front().written;
            std::printf("  start %9.1f ms  rows %3d  %s", Ms(f.started - origin), f.rows,
                        f.intact ? "intact" : "BROKEN");
            if (match >= 0)
                std::printf("  frame %5lu written %9.1f ms  drawn %9.1f ms  latency %6.1f ms",
                            static_cast<unsigned long>(sent[match].index),
                            Ms(sent[match].written - origin), Ms(f.finished - origin),
                            Ms(f.finished - sent[match].written));
            std::printf("\n");
        }
    }
    return true;
}

void PrintContinuous(const Settings& s, const Result& r) {
    const double frameBytes = static_cast<double>(s.rows) * s.columns * (s.colour ? 3 : 1) + 1;
    const double sent = static_cast<double>(r.board.framesSent);
    std::printf("%d x %d %s %s, baud %ld%s, %.1f s\n", s.rows, s.columns,
                s.colour ? "colour" : "grayscale", s.enlarged ? "enlarged" : "1:1", r.baud,
                s.blocking ? " (board waits for the line)" : "", r.seconds);
    if (!s.blocking)
        std::printf("  frames sent %lu (the line carries %.1f), bytes dropped by the board %lu\n",
                    static_cast<unsigned long>(r.board.framesSent),
                    r.seconds * static_cast<double>(r.baud) / 10.0 / frameBytes,
                    static_cast<unsigned long>(r.board.bytesDropped));
    else
        std::printf("  frames sent %lu (%.1f /s)\n", static_cast<unsigned long>(r.board.framesSent),
                    sent / r.seconds);
    if (!s.blocking)
        std::printf(
            "  drawn whole %zu = %.1f%% of sent; started but drawn damaged %zu (+%zu cut off by "
            "the stop)\n",
            r.drawn, sent > 0 ? 100.0 * static_cast<double>(r.drawn) / sent : 0.0,
            r.broken - r.cutAtStop, r.cutAtStop);
    else  // tens of thousands of frames a second: the index modulo 256 names none
        std::printf("  frame starts drawn whole and intact %zu, damaged %zu (+%zu cut off)\n",
                    r.intact, r.starts - r.intact - r.cutAtStop, r.cutAtStop);
    std::printf(
        "  engine: %lu bytes, started %lu, drawn %lu, skipped %lu, resyncs %lu, suspect %lu\n",
        static_cast<unsigned long>(r.link.bytesReceived),
        static_cast<unsigned long>(r.link.framesStarted),
        static_cast<unsigned long>(r.link.framesDrawn),
        static_cast<unsigned long>(r.link.framesSkipped),
        static_cast<unsigned long>(r.link.resyncs),
        static_cast<unsigned long>(r.link.suspectFrames));
    if (!r.latencyMs.empty() && !s.blocking)
        std::printf(
            "  last byte written -> last row drawn: median %.1f ms, p90 %.1f ms, "
            "min %.1f ms, max %.1f ms\n",
            Percentile(r.latencyMs, 0.5), Percentile(r.latencyMs, 0.9),
            *std::min_element(r.latencyMs.begin(), r.latencyMs.end()),
            *std::max_element(r.latencyMs.begin(), r.latencyMs.end()));
    if (!r.startGapMs.empty())
        std::printf("  between frame starts: median %.1f ms\n", Percentile(r.startGapMs, 0.5));
    std::printf("  CPU of the engine (and this program's checks): %.1f%% of one core\n",
                100.0 * r.engineCpu / r.seconds);
    if (s.blocking && r.rawBytesPerSecond > 0) {
        const double taken = static_cast<double>(r.link.bytesReceived) / r.seconds;
        std::printf(
            "  bytes taken %.1f MB/s, frames drawn %.1f /s; the pseudo-terminal alone carries "
            "%.1f MB/s: ratio %.2f\n",
            taken / 1e6, static_cast<double>(r.link.framesDrawn) / r.seconds,
            r.rawBytesPerSecond / 1e6, taken / r.rawBytesPerSecond);
    }
    for (const auto& [text, count] : r.statuses)
        std::printf("  status x%-6d %s\n", count, text.c_str());
    std::fflush(stdout);
}

// A continuous capture on a silent line: the CPU it takes.
bool RunIdle(const Settings& s) {
    Line line(115200);
    if (!line.Open())
        return false;
    CapturePage page;
    Prepare(page, s, 1);
    if (!Start(page))
        return false;
    const double cpu0 = ProcessCpu();
    const auto begin = Clock::now();
    std::this_thread::sleep_for(duration<double>(s.seconds));
    const double wall = duration<double>(Clock::now() - begin).count();
    const double cpu = ProcessCpu() - cpu0;
    page.ShutdownEngine();
    std::printf("idle continuous capture, %.1f s: CPU %.3f s = %.3f%% of one core\n", wall, cpu,
                100.0 * cpu / wall);
    return true;
}

// Single-frame captures with picture and listing: from the frame's last byte
// written to its last row drawn and to its listing complete.
bool RunSingle(const Settings& s, int captures) {
    Line line(115200);
    if (!line.Open())
        return false;
    const int block = s.enlarged ? std::min(kAreaWidth / s.columns, kAreaHeight / s.rows) : 1;
    camsim::FrameSource source(s.rows, s.columns, s.colour, camsim::Pattern::Gradient);
    std::vector<double> drawnMs, listedMs;
    for (int k = 0; k < captures; ++k) {
        CapturePage page;
        Prepare(page, s, 0);
        page.m_bShowValues = s.colour ? 0 : 1;
        std::atomic<int64_t> lastRowNs{0};
        page.m_wndPicture.SetListener([&](const CPictureSurface::Rect& r) {
            if (r.bottom == s.rows * block && r.bottom - r.top == block)
                lastRowNs = Clock::now().time_since_epoch().count();
        });
        if (!Start(page))
            return false;
        const std::vector<uint8_t> wire = camsim::WireFrame(255, source.Frame(k));
        if (!line.pty.WriteAll(wire.data(), wire.size()))
            return false;
        const auto written = Clock::now();
        const auto deadline = written + std::chrono::seconds(5);
        while (!page.m_ended && Clock::now() < deadline)
            std::this_thread::sleep_for(milliseconds(1));
        page.ShutdownEngine();
        if (lastRowNs == 0) {
            std::fprintf(stderr, "capture %d: the last row was not drawn\n", k);
            return false;
        }
        drawnMs.push_back(Ms(Clock::time_point(Clock::duration(lastRowNs.load())) - written));
        if (page.m_bShowValues)
            listedMs.push_back(Ms(page.m_listed - written));
    }
    std::printf("%d single-frame captures of %d x %d %s%s:\n", captures, s.rows, s.columns,
                s.colour ? "colour" : "grayscale", s.colour ? "" : " with the listing");
    std::printf("  last byte written -> last row drawn: median %.1f ms, p90 %.1f ms, max %.1f ms\n",
                Percentile(drawnMs, 0.5), Percentile(drawnMs, 0.9),
                *std::max_element(drawnMs.begin(), drawnMs.end()));
    if (!listedMs.empty())
        std::printf(
            "  last byte written -> listing complete: median %.1f ms, p90 %.1f ms, max %.1f ms\n",
            Percentile(listedMs, 0.5), Percentile(listedMs, 0.9),
            *std::max_element(listedMs.begin(), listedMs.end()));
    return true;
}

const char kHelp[] =
    "Usage: tavix-bench-capture [options]\n"
    "Streams gradient frames from the simulated board over a pseudo-terminal into\n"
    "a real capture engine and reports what it drew and how quickly.\n"
    "  --seconds S     streaming time per baud rate (default 30)\n"
    "  --baud LIST     comma-separated baud rates (default\n"
    "                  115200,460800,921600,2000000,3000000)\n"
    "  --rows R --columns C   frame size (default 60 x 80)\n"
    "  --colour        U, Y, V frames instead of grayscale\n"
    "  --one-to-one    one screen pixel per image pixel (default: enlarged to\n"
    "                  the 620 x 480 area)\n"
    "  --blocking      the board waits while the line is full instead of dropping\n"
    "                  bytes, unpaced: the most frames per second the engine\n"
    "                  draws, beside what the pseudo-terminal alone carries\n"
    "  --idle          a continuous capture on a silent line: its CPU\n"
    "  --single N      N single-frame captures (with the listing for grayscale):\n"
    "                  last byte -> last row drawn and -> listing complete\n"
    "  --trace         print every frame start with its match and timings\n";

}  // namespace

int main(int argc, char** argv) {
    Settings s;
    std::vector<long> bauds = {115200, 460800, 921600, 2000000, 3000000};
    bool idle = false;
    int single = 0;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        auto next = [&] { return i + 1 < argc ? argv[++i] : ""; };
        if (arg == "--seconds") {
            s.seconds = std::atof(next());
        } else if (arg == "--baud") {
            bauds.clear();
            for (const char* p = next(); *p != '\0';) {
                char* end = nullptr;
                const long b = std::strtol(p, &end, 10);
                if (end == p || b <= 0)
                    break;
                bauds.push_back(b);
                p = *end == ',' ? end + 1 : end;
            }
        } else if (arg == "--rows") {
            s.rows = std::atoi(next());
        } else if (arg == "--columns") {
            s.columns = std::atoi(next());
        } else if (arg == "--colour") {
            s.colour = true;
        } else if (arg == "--one-to-one") {
            s.enlarged = false;
        } else if (arg == "--blocking") {
            s.blocking = true;
        } else if (arg == "--idle") {
            idle = true;
        } else if (arg == "--single") {
            single = std::atoi(next());
        } else if (arg == "--trace") {
            s.trace = true;
        } else {
            std::fputs(kHelp, arg == "--help" ? stdout : stderr);
            return arg == "--help" ? 0 : 2;
        }
    }
    if (!(s.seconds > 0) || bauds.empty() || s.rows < 1 || s.columns < 1 || s.rows > 9999 ||
        s.columns > 9999 || single < 0) {
        std::fputs(kHelp, stderr);
        return 2;
    }
    if (idle)
        return RunIdle(s) ? 0 : 1;
    if (single > 0)
        return RunSingle(s, single) ? 0 : 1;
    if (s.blocking) {
        Result result;
        result.rawBytesPerSecond = RawThroughput(std::min(s.seconds, 5.0));
        if (!RunContinuous(s, 3000000, result))
            return 1;
        PrintContinuous(s, result);
        return 0;
    }
    for (long baud : bauds) {
        Result result;
        if (!RunContinuous(s, baud, result))
            return 1;
        PrintContinuous(s, result);
    }
    return 0;
}
