// Every stream format through a real engine worker, fed by the simulated
// board over a pseudo-terminal, with the textured scene.
//
// Paced: the board at a baud rate, a continuous capture drawing the picture:
// frames the line carried, frames drawn whole, damaged, and the time from a
// frame's last byte written to the frame drawn whole (each drawn frame is
// matched byte for byte to the board's frame of the same payload). Then the
// same at 921600 with one byte lost every tenth frame: frames spoilt per lost
// byte.
//
// Unpaced: the board writes as fast as the pseudo-terminal takes bytes
// (blocking, nothing dropped): what the engine takes and draws, beside the
// pseudo-terminal's own throughput measured right before with the same
// frames and a reader that only drains, and for JPEG beside the decoder alone
// decoding the same frames in a loop.
#include <sys/resource.h>
#include <time.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
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
#include "stream/JpegDecoder.h"
#include "stream/PixelEncoding.h"
#include "stream/StreamFormat.h"
#include "tools/camsim/CameraBoard.h"
#include "tools/camsim/FrameEncoder.h"
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
constexpr uint32_t kSeed = 7;
constexpr int kQuality = 80;
// After the board stops, time for the engine to draw what it has received.
constexpr auto kDrain = milliseconds(1000);
// The board records a frame right after its last write; the engine may draw
// it a moment before that record exists.
constexpr auto kRecordSlack = milliseconds(50);

double ProcessCpu() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return static_cast<double>(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
           static_cast<double>(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

double ThreadCpu() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) / 1e9;
}

uint64_t Fnv(const std::vector<uint8_t>& bytes) {
    uint64_t h = 1469598103934665603ull;
    for (uint8_t b : bytes)
        h = (h ^ b) * 1099511628211ull;
    return h;
}

// One thing to measure: a format, the encoding its board sends, a size.
struct Case {
    std::string name;              // what the figures are printed under
    std::string preset;            // the preset it belongs to (--preset), "custom" for none
    stream::CStreamFormat format;  // what the page is told
    stream::Encoding sent;         // what the board sends (Page: the format's)
    int rows;
    int columns;
};

// The encoding the board sends, Page resolved as the engine resolves it.
stream::Encoding Sent(const Case& c) {
    return c.sent != stream::Encoding::Page ? c.sent : c.format.Resolved(false);
}

std::vector<Case> PacedCases() {
    struct Size {
        const char* id;
        int rows, columns;
        stream::Encoding sent;
    };
    // The sizes these presets' boards send. The Arduino board sends RGB565
    // (its preset reads the encoding from each frame's header).
    const Size sizes[] = {
        {"design", 120, 160, stream::Encoding::Page},
        {"smartcar-gray", 120, 188, stream::Encoding::Page},
        {"fe01-bits", 120, 160, stream::Encoding::Page},
        {"fe01-gray", 60, 80, stream::Encoding::Page},
        {"arduino", 240, 320, stream::Encoding::Rgb565Be},
        {"liveov7670", 120, 160, stream::Encoding::Page},
        {"jpeg", 240, 320, stream::Encoding::Page},
        {"jpeg-gray", 240, 320, stream::Encoding::Page},
        {"raw565", 240, 320, stream::Encoding::Page},
        {"rdy-gray", 240, 320, stream::Encoding::Page},
        {"request-565", 120, 160, stream::Encoding::Page},
    };
    std::vector<Case> cases;
    for (const Size& s : sizes) {
        const stream::CStreamPreset* p = stream::FindPreset(s.id);
        if (p == nullptr) {
            std::fprintf(stderr, "no preset %s\n", s.id);
            std::exit(1);
        }
        cases.push_back({s.id, s.id, p->format, s.sent, s.rows, s.columns});
    }
    return cases;
}

std::vector<Case> UnpacedCases() {
    stream::CStreamFormat rdy565;
    rdy565.framing = stream::Framing::Marker;
    rdy565.startMarker = {'*', 'R', 'D', 'Y', '*'};
    rdy565.encoding = stream::Encoding::Rgb565Be;
    const stream::CStreamFormat jpeg = stream::FindPreset("jpeg")->format;
    return {
        {"*RDY* + RGB565 (custom)", "custom", rdy565, stream::Encoding::Page, 240, 320},
        {"jpeg 320x240", "jpeg", jpeg, stream::Encoding::Page, 240, 320},
        {"jpeg 640x480", "jpeg", jpeg, stream::Encoding::Page, 480, 640},
        {"smartcar-gray", "smartcar-gray", stream::FindPreset("smartcar-gray")->format,
         stream::Encoding::Page, 120, 188},
        {"fe01-bits", "fe01-bits", stream::FindPreset("fe01-bits")->format, stream::Encoding::Page,
         120, 160},
    };
}

camsim::CameraBoard::Options BoardOptions(const Case& c, long baud) {
    camsim::CameraBoard::Options o;
    o.format = c.format;
    if (c.sent != stream::Encoding::Page)
        o.format.encoding = c.sent;
    o.rows = c.rows;
    o.columns = c.columns;
    o.colour = !stream::Info(Sent(c)).gray;
    o.pattern = camsim::Pattern::Scene;
    o.seed = kSeed;
    o.quality = kQuality;
    o.baud = baud;
    o.between = c.format.framing == stream::Framing::Jpeg ? "ACK IMG END\r\n" : "";
    return o;
}

// A capture page with no controls.
class Page : public CCaptureBase {
public:
    ~Page() override { ShutdownEngine(); }
    void ShowStatus(std::string text) override {
        std::lock_guard<std::mutex> lock(m_lock);
        ++m_statuses[text];
    }
    void OnCaptureBegin() override { m_begun = true; }
    void OnCaptureEnd() override { m_ended = true; }
    void ClearPicture() override { m_wndPicture.Fill(0xF0F0F0); }
    void ClearValueList() override {}
    void AppendValue(uint8_t, int) override {}

    std::map<std::string, int> Statuses() {
        std::lock_guard<std::mutex> lock(m_lock);
        return m_statuses;
    }

    std::atomic<bool> m_begun{false};
    std::atomic<bool> m_ended{false};

private:
    std::mutex m_lock;
    std::map<std::string, int> m_statuses;
};

// The page set up as the user sets it for the case: its size, the grayscale
// page for gray encodings, the colour page otherwise, the picture enlarged
// to the 620 x 480 area (1:1 on a larger area when the frame is larger).
void Prepare(Page& page, const Case& c) {
    page.m_nRows = static_cast<uint32_t>(c.rows);
    page.m_nColumns = static_cast<uint32_t>(c.columns);
    page.m_byFormat = stream::Info(Sent(c)).gray ? 0 : 1;
    page.m_streamFormat = c.format;
    page.m_nMode = 1;
    page.m_bShowImage = 1;
    const bool fits = c.columns <= kAreaWidth && c.rows <= kAreaHeight;
    page.m_bScaleToArea = fits ? 1 : 0;
    page.m_nAreaWidth = std::max(kAreaWidth, c.columns);
    page.m_nAreaHeight = std::max(kAreaHeight, c.rows);
    page.m_wndPicture.Resize(page.m_nAreaWidth, page.m_nAreaHeight);
}

bool Start(Page& page) {
    if (page.StartWorker() != 1) {
        std::fprintf(stderr, "the worker did not start\n");
        return false;
    }
    const auto ready = Clock::now() + milliseconds(2000);
    while (!page.m_begun && Clock::now() < ready)
        std::this_thread::sleep_for(milliseconds(5));
    std::this_thread::sleep_for(milliseconds(200));  // the start purge
    if (page.m_ended) {
        std::fprintf(stderr, "the capture ended at once (port not opened?)\n");
        return false;
    }
    return true;
}

struct Run {
    double seconds = 0;
    camsim::CameraBoard::Statistics board;
    CLinkStatistics link;
    std::map<std::string, int> statuses;
    double engineCpu = 0;
    std::vector<double> latencyMs;  // last byte written -> drawn whole, matched frames
    size_t drawnCalls = 0;          // frames handed over as drawn whole
    size_t unmatched = 0;           // of those, matching no frame the board sent
    uint64_t payloadBytes = 0;      // of one frame (JPEG: the mean)
};

// Frames the line carried that the engine took whole: those it handed over
// drawn, byte for byte as the board sent them, and those it passed over for
// a newer one. (Not drawn less suspect: a suspect frame is often one the
// engine gave up and never drew.)
uint64_t Whole(const Run& r) {
    return (r.drawnCalls - r.unmatched) + r.link.framesSkipped;
}

// One capture of the case's board at `baud` (0: unpaced and blocking) for
// `seconds`. With `match`, every frame drawn is matched to the board's.
bool Capture(const Case& c, long baud, double seconds, uint64_t loseByteEvery, bool match, Run& run,
             uint64_t minFrames = 0) {
    Line line(baud > 0 ? baud : 3000000);
    if (!line.Open())
        return false;
    struct Drawn {
        uint64_t hash;
        Clock::time_point at;
    };
    struct Written {
        uint64_t index;
        Clock::time_point written;
    };
    std::vector<Drawn> drawn;
    std::vector<Written> sent;
    std::mutex lock;
    std::atomic<double> boardCpu{0};
    std::atomic<uint64_t> framesDone{0};
    camsim::CameraBoard::Options options = BoardOptions(c, baud);
    options.blocking = baud == 0;
    options.loseByteEvery = loseByteEvery;
    {
        Page page;
        Prepare(page, c);
        if (match)
            page.m_onFrameDrawn = [&](const CFrameCopy& f) {
                const auto now = Clock::now();
                const uint64_t h = Fnv(f.bytes);
                std::lock_guard<std::mutex> g(lock);
                drawn.push_back({h, now});
            };
        camsim::CameraBoard board(line.pty, options);
        board.SetFrameCallback([&](uint64_t index, Clock::time_point written) {
            boardCpu = ThreadCpu();
            ++framesDone;
            if (!match)
                return;
            std::lock_guard<std::mutex> g(lock);
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
        if (!board.Start(&error)) {
            std::fprintf(stderr, "board: %s\n", error.c_str());
            return false;
        }
        std::this_thread::sleep_for(duration<double>(seconds));
        const auto longest = Clock::now() + std::chrono::seconds(60);
        while (framesDone < minFrames && Clock::now() < longest)
            std::this_thread::sleep_for(milliseconds(5));
        // Stop right after a frame's last byte rather than in the middle of
        // one: a board that waits for requests would otherwise leave a frame
        // cut short that the engine rightly counts suspect.
        const uint64_t done = framesDone;
        const auto limit = Clock::now() + std::chrono::seconds(5);
        while (framesDone == done && Clock::now() < limit)
            std::this_thread::sleep_for(std::chrono::microseconds(200));
        board.Stop();
        run.seconds = duration<double>(Clock::now() - begin).count();
        run.engineCpu = ProcessCpu() - cpu0 - boardCpu.load();
        std::this_thread::sleep_for(kDrain);
        page.ShutdownEngine();
        run.board = board.Stats();
        run.link = page.GetLinkStatistics();
        run.statuses = page.Statuses();
    }
    if (!match)
        return true;

    // The payload of every frame sent, as the board encoded it.
    const stream::Encoding encoding = Sent(c);
    camsim::FrameSource source(c.rows, c.columns, camsim::FrameEncoder::NeedsColour(encoding),
                               camsim::Pattern::Scene, kSeed);
    camsim::FrameEncoder encoder(options.format, encoding, options.header, source, kQuality);
    std::multimap<uint64_t, const Written*> byHash;
    uint64_t bytes = 0;
    for (const Written& s : sent) {
        const camsim::EncodedFrame f = encoder.Encode(s.index, false);
        bytes += f.payload.size();
        byHash.emplace(Fnv(f.payload), &s);
    }
    if (!sent.empty())
        run.payloadBytes = bytes / sent.size();
    run.drawnCalls = drawn.size();
    for (const Drawn& d : drawn) {
        const Written* best = nullptr;
        auto range = byHash.equal_range(d.hash);
        for (auto it = range.first; it != range.second; ++it)
            if (it->second->written <= d.at + kRecordSlack &&
                (best == nullptr || it->second->written > best->written))
                best = it->second;
        if (best == nullptr)
            ++run.unmatched;
        else
            run.latencyMs.push_back(Ms(d.at - best->written));
    }
    return true;
}

void PrintStatuses(const Run& r) {
    for (const auto& [text, count] : r.statuses)
        std::printf("    status x%-6d %s\n", count, text.c_str());
}

void PrintLink(const Run& r) {
    const CLinkStatistics& l = r.link;
    std::printf(
        "    engine: bytes %lu, started %lu, drawn %lu, skipped %lu, resyncs %lu, suspect %lu, "
        "lost by counter %lu; board: sent %lu, bytes dropped %lu, requests heard %lu, "
        "pauses inside frames %lu (longest %.1f ms)\n",
        static_cast<unsigned long>(l.bytesReceived), static_cast<unsigned long>(l.framesStarted),
        static_cast<unsigned long>(l.framesDrawn), static_cast<unsigned long>(l.framesSkipped),
        static_cast<unsigned long>(l.resyncs), static_cast<unsigned long>(l.suspectFrames),
        static_cast<unsigned long>(l.framesLost), static_cast<unsigned long>(r.board.framesSent),
        static_cast<unsigned long>(r.board.bytesDropped),
        static_cast<unsigned long>(r.board.requestsReceived),
        static_cast<unsigned long>(r.board.pausesInFrames), r.board.longestPauseInFrameMs);
}

bool Paced(const Case& c, long baud, double seconds) {
    Run r;
    if (!Capture(c, baud, seconds, 0, true, r))
        return false;
    const uint64_t line = r.board.framesSent;
    const uint64_t whole = Whole(r);
    const uint64_t damaged = r.link.suspectFrames + r.link.framesLost;
    std::printf(
        "PACED %-14s %dx%d %-8s baud %7ld %.1f s: line %lu, whole %lu (%.1f%%), damaged %lu",
        c.name.c_str(), c.columns, c.rows, stream::Info(Sent(c)).id, baud, r.seconds,
        static_cast<unsigned long>(line), static_cast<unsigned long>(whole),
        line > 0 ? 100.0 * static_cast<double>(whole) / static_cast<double>(line) : 0.0,
        static_cast<unsigned long>(damaged));
    if (!r.latencyMs.empty())
        std::printf(", latency median %.1f ms p95 %.1f ms max %.1f ms\n",
                    Percentile(r.latencyMs, 0.5), Percentile(r.latencyMs, 0.95),
                    *std::max_element(r.latencyMs.begin(), r.latencyMs.end()));
    else
        std::printf(", no latency (nothing matched)\n");
    std::printf(
        "    payload %lu bytes a frame; drawn whole and handed over %zu, of them matching no sent "
        "frame %zu; CPU of the engine %.1f%% of one core\n",
        static_cast<unsigned long>(r.payloadBytes), r.drawnCalls, r.unmatched,
        100.0 * r.engineCpu / r.seconds);
    PrintLink(r);
    PrintStatuses(r);
    std::fflush(stdout);
    return true;
}

bool LostByte(const Case& c, double seconds) {
    constexpr uint64_t kEvery = 10;
    Run r;
    // At least two frames with a lost byte, however large the frames.
    if (!Capture(c, 921600, seconds, kEvery, true, r, 2 * kEvery))
        return false;
    const uint64_t line = r.board.framesSent;
    const uint64_t lostBytes = line / kEvery;
    const uint64_t whole = Whole(r);
    const uint64_t affected = line > whole ? line - whole : 0;
    std::printf(
        "LOST   %-14s %dx%d %-8s baud  921600 %.1f s: line %lu, bytes lost %lu, whole %lu, ",
        c.name.c_str(), c.columns, c.rows, stream::Info(Sent(c)).id, r.seconds,
        static_cast<unsigned long>(line), static_cast<unsigned long>(lostBytes),
        static_cast<unsigned long>(whole));
    if (lostBytes > 0)
        std::printf("frames affected %lu = %.2f per lost byte\n",
                    static_cast<unsigned long>(affected),
                    static_cast<double>(affected) / static_cast<double>(lostBytes));
    else
        std::printf("frames affected %lu (no byte lost: too few frames)\n",
                    static_cast<unsigned long>(affected));
    // What the engine saw of them, and what it could not see (a JPEG has no
    // check sum: a lost byte may decode into a wrong picture).
    std::printf(
        "    flagged by the engine (suspect + lost by counter) %lu; drawn but not as sent %zu\n",
        static_cast<unsigned long>(r.link.suspectFrames + r.link.framesLost), r.unmatched);
    PrintLink(r);
    PrintStatuses(r);
    std::fflush(stdout);
    return true;
}

// Distinct frames of the case as its board puts them on the line, made
// before any timing: the simulator makes the scene (and compresses it) for
// every frame it sends, which takes longer than the pseudo-terminal takes to
// carry the bytes, so the unpaced runs write these in turn instead.
std::vector<std::vector<uint8_t>> WireFrames(const Case& c, int count) {
    const camsim::CameraBoard::Options o = BoardOptions(c, 0);
    const stream::Encoding encoding = Sent(c);
    camsim::FrameSource source(c.rows, c.columns, camsim::FrameEncoder::NeedsColour(encoding),
                               camsim::Pattern::Scene, kSeed);
    camsim::FrameEncoder encoder(o.format, encoding, o.header, source, kQuality);
    std::vector<std::vector<uint8_t>> frames;
    for (int i = 0; i < count; ++i)
        frames.push_back(encoder.Encode(static_cast<uint64_t>(i), false).Wire());
    return frames;
}

// Writes the frames in turn, as fast as the line takes them, until stopped.
class Flood {
public:
    Flood(camsim::PseudoTerminal& pty, const std::vector<std::vector<uint8_t>>& frames)
        : m_pty(pty), m_frames(frames) {}
    ~Flood() { Stop(); }
    void Start() {
        m_thread = std::thread([this] {
            const auto stopped = [this] { return m_stop.load(); };
            for (size_t i = 0; !m_stop; ++i) {
                const std::vector<uint8_t>& f = m_frames[i % m_frames.size()];
                const size_t n = m_pty.WriteUntil(f.data(), f.size(), stopped);
                m_bytes += n;
                if (n == f.size())
                    ++m_framesWritten;
            }
            m_cpu = ThreadCpu();
        });
    }
    void Stop() {
        m_stop = true;
        if (m_thread.joinable())
            m_thread.join();
    }
    uint64_t m_bytes = 0;          // after Stop
    uint64_t m_framesWritten = 0;  // after Stop
    double m_cpu = 0;              // the writer's CPU seconds, after Stop

private:
    camsim::PseudoTerminal& m_pty;
    const std::vector<std::vector<uint8_t>>& m_frames;
    std::atomic<bool> m_stop{false};
    std::thread m_thread;
};

// What the pseudo-terminal alone carries of these frames to a reader that
// only drains it: bytes/s.
double PtyThroughput(const std::vector<std::vector<uint8_t>>& frames, double seconds) {
    Line line(3000000);
    if (!line.Open() || line.owner.OpenPort() != 1)
        return 0;
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
    Flood flood(line.pty, frames);
    const auto begin = Clock::now();
    flood.Start();
    std::this_thread::sleep_for(duration<double>(seconds));
    stop = true;
    reader.join();
    const double wall = duration<double>(Clock::now() - begin).count();
    flood.Stop();
    return static_cast<double>(bytes) / wall;
}

// JPEG frames decoded by stream::CJpegDecoder alone, in a loop: frames/s.
double DecoderAlone(const Case& c, double seconds) {
    const stream::Encoding encoding = Sent(c);
    camsim::FrameSource source(c.rows, c.columns, camsim::FrameEncoder::NeedsColour(encoding),
                               camsim::Pattern::Scene, kSeed);
    camsim::FrameEncoder encoder(c.format, encoding, 255, source, kQuality);
    std::vector<std::vector<uint8_t>> frames;
    for (uint64_t i = 0; i < 16; ++i)
        frames.push_back(encoder.Encode(i, false).payload);
    stream::CJpegDecoder decoder;
    std::vector<uint8_t> pixels;
    uint64_t decoded = 0;
    const auto begin = Clock::now();
    const auto end = begin + duration<double>(seconds);
    while (Clock::now() < end) {
        const std::vector<uint8_t>& f = frames[decoded % frames.size()];
        uint32_t w = 0, h = 0;
        if (decoder.Decode(f.data(), f.size(), encoding == stream::Encoding::JpegGray, pixels, w,
                           h) != stream::CJpegDecoder::Result::Ok) {
            std::fprintf(stderr, "the decoder refused a frame\n");
            return 0;
        }
        ++decoded;
    }
    return static_cast<double>(decoded) / duration<double>(Clock::now() - begin).count();
}

bool Unpaced(const Case& c, double seconds) {
    const std::vector<std::vector<uint8_t>> frames = WireFrames(c, 16);
    const double pty = PtyThroughput(frames, std::min(seconds, 5.0));
    const bool jpeg = stream::Info(Sent(c)).compressed;
    const double decoder = jpeg ? DecoderAlone(c, std::min(seconds, 5.0)) : 0;

    Line line(3000000);
    if (!line.Open())
        return false;
    Run r;
    uint64_t written = 0, writtenBytes = 0;
    double writerCpu = 0;
    {
        Page page;
        Prepare(page, c);
        if (!Start(page))
            return false;
        Flood flood(line.pty, frames);
        const double cpu0 = ProcessCpu();
        const auto begin = Clock::now();
        flood.Start();
        std::this_thread::sleep_for(duration<double>(seconds));
        flood.Stop();
        r.seconds = duration<double>(Clock::now() - begin).count();
        r.engineCpu = ProcessCpu() - cpu0 - flood.m_cpu;
        written = flood.m_framesWritten;
        writerCpu = flood.m_cpu;
        writtenBytes = flood.m_bytes;
        std::this_thread::sleep_for(kDrain);
        page.ShutdownEngine();
        r.link = page.GetLinkStatistics();
        r.statuses = page.Statuses();
        r.board.framesSent = written;
        r.board.bytesSent = writtenBytes;
    }
    const double taken = static_cast<double>(r.link.bytesReceived) / r.seconds;
    const double drawnPerSecond = static_cast<double>(r.link.framesDrawn) / r.seconds;
    const double frameBytes =
        written > 0 ? static_cast<double>(writtenBytes) / static_cast<double>(written) : 0;
    std::printf(
        "UNPACED %-24s %.1f s: written %.1f frames/s (%.0f bytes a frame); engine takes %.1f "
        "MB/s, draws %.1f frames/s = %.1f MB/s drawn; pseudo-terminal alone %.1f MB/s: bytes "
        "ratio %.2f",
        c.name.c_str(), r.seconds, static_cast<double>(written) / r.seconds, frameBytes,
        taken / 1e6, drawnPerSecond, drawnPerSecond * frameBytes / 1e6, pty / 1e6,
        pty > 0 ? taken / pty : 0.0);
    if (jpeg)
        std::printf("; decoder alone %.1f frames/s: frames ratio %.2f", decoder,
                    decoder > 0 ? drawnPerSecond / decoder : 0.0);
    std::printf("; CPU of the engine %.1f%%, of the writer %.1f%% of one core\n",
                100.0 * r.engineCpu / r.seconds, 100.0 * writerCpu / r.seconds);
    PrintLink(r);
    PrintStatuses(r);
    std::fflush(stdout);
    return true;
}

const char kHelp[] =
    "Usage: tavix-bench-formats [options]\n"
    "Streams the textured scene from the simulated board of every stream format\n"
    "preset over a pseudo-terminal into a real capture engine and reports what it\n"
    "drew, how quickly, and what a lost byte spoils.\n"
    "  --preset ID      only this preset (default: all; \"custom\" names the\n"
    "                   unpaced *RDY* + RGB565 case)\n"
    "  --baud LIST      comma-separated baud rates of the paced runs (default\n"
    "                   921600,3000000)\n"
    "  --seconds S      time per paced run and per lost-byte run (default 30; a\n"
    "                   lost-byte run lasts until 20 frames are sent at least)\n"
    "  --unpaced-seconds S   time per unpaced run (default 10)\n"
    "  --paced-only     only the paced and lost-byte runs\n"
    "  --unpaced-only   only the unpaced runs\n"
    "  --no-lost        without the lost-byte runs\n"
    "  --lost-only      only the lost-byte runs\n";

}  // namespace

int main(int argc, char** argv) {
    std::string only;
    std::vector<long> bauds = {921600, 3000000};
    double seconds = 30, unpacedSeconds = 10;
    bool paced = true, unpaced = true, lost = true;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        auto next = [&] { return i + 1 < argc ? argv[++i] : ""; };
        if (arg == "--preset") {
            only = next();
        } else if (arg == "--baud") {
            bauds.clear();
            for (const char* p = next(); *p != '\0';) {
                char* end = nullptr;
                const long b = std::strtol(p, &end, 10);
                if (end == p || b <= 0) {
                    bauds.clear();
                    break;
                }
                bauds.push_back(b);
                p = *end == ',' ? end + 1 : end;
            }
        } else if (arg == "--seconds") {
            seconds = std::atof(next());
        } else if (arg == "--unpaced-seconds") {
            unpacedSeconds = std::atof(next());
        } else if (arg == "--paced-only") {
            unpaced = false;
        } else if (arg == "--unpaced-only") {
            paced = false;
            lost = false;
        } else if (arg == "--no-lost") {
            lost = false;
        } else if (arg == "--lost-only") {
            paced = false;
            unpaced = false;
        } else {
            std::fputs(kHelp, arg == "--help" ? stdout : stderr);
            return arg == "--help" ? 0 : 2;
        }
    }
    if (!(seconds > 0) || !(unpacedSeconds > 0) || bauds.empty() || (!paced && !unpaced && !lost)) {
        std::fputs(kHelp, stderr);
        return 2;
    }
    if (!only.empty() && only != stream::kCustomId && stream::FindPreset(only) == nullptr) {
        std::fprintf(stderr, "no preset \"%s\"\n", only.c_str());
        return 2;
    }
    auto chosen = [&](const Case& c) { return only.empty() || c.preset == only; };
    if (paced) {
        for (const Case& c : PacedCases())
            for (long baud : bauds)
                if (chosen(c) && !Paced(c, baud, seconds))
                    return 1;
    }
    if (lost) {
        for (const Case& c : PacedCases())
            if (chosen(c) && !LostByte(c, seconds))
                return 1;
    }
    if (unpaced) {
        for (const Case& c : UnpacedCases())
            if (chosen(c) && !Unpaced(c, unpacedSeconds))
                return 1;
    }
    return 0;
}
