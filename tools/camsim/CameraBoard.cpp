#include "tools/camsim/CameraBoard.h"

#include <algorithm>
#include <cmath>

namespace camsim {

namespace {

using Clock = std::chrono::steady_clock;

// Baud pacing writes what is due about this often, so the host sees a steady
// trickle as from a UART rather than whole frames at once.
constexpr auto kSlice = std::chrono::milliseconds(5);
// If the board falls further behind its schedule than this (a blocked write, a
// stalled thread), the schedule restarts from now instead of bursting to catch up.
constexpr auto kMaxBacklog = std::chrono::milliseconds(100);
// Longest sleep between looks at the stop flag.
constexpr auto kStopCheck = std::chrono::milliseconds(10);
// Header-valued pixels: every this-many-th pixel byte, from the first.
constexpr size_t kHeaderPixelStride = 16;

void SleepUntil(Clock::time_point when, const std::atomic<bool>& stop) {
    for (auto now = Clock::now(); now < when && !stop.load(); now = Clock::now()) {
        std::this_thread::sleep_for(std::min<Clock::duration>(when - now, kStopCheck));
    }
}

// Time a line at baud takes for `bytes` bytes, rounded up.
std::chrono::nanoseconds LineTime(long baud, uint64_t bytes) {
    return std::chrono::nanoseconds(
        static_cast<int64_t>(std::ceil(static_cast<double>(bytes) * 1e10 / baud)));
}

std::chrono::nanoseconds FrameTime(double fps, uint64_t frames) {
    return std::chrono::nanoseconds(static_cast<int64_t>(static_cast<double>(frames) * 1e9 / fps));
}

}  // namespace

CameraBoard::CameraBoard(PseudoTerminal& line, Options options)
    : line_(line), options_(std::move(options)) {}

CameraBoard::~CameraBoard() {
    Stop();
}

bool CameraBoard::Init(std::string* error) {
    std::string why;
    const Options& o = options_;
    if (o.rows < 1 || o.rows > 9999 || o.columns < 1 || o.columns > 9999) {
        why = "rows and columns must be 1..9999";
    } else if (o.baud < 0 || !(o.fps >= 0) || std::isinf(o.fps)) {
        why = "baud and fps must not be negative";
    } else if (!line_.IsOpen()) {
        why = "the line is not open";
    } else if (o.quality < 1 || o.quality > 100) {
        why = "the JPEG quality must be 1..100";
    } else if (o.headerPixels && o.format.framing != stream::Framing::HeaderByte) {
        why = "header-valued pixels go only with the header-byte framing";
    } else if (!o.packetText.empty() &&
               (o.format.framing != stream::Framing::Packet || o.packetText.size() > 254)) {
        why = "a debug-text packet goes only with the packet framing, at most 254 bytes";
    } else if (!FrameEncoder::Check(o.format, SentEncoding(), o.rows, o.columns, &why)) {
        // why says what the format cannot carry.
    } else {
        encoder_.reset();
        const bool colour = FrameEncoder::NeedsColour(SentEncoding());
        if (o.pattern == Pattern::File) {
            source_ = FrameSource::FromFile(o.file, o.rows, o.columns, colour, &why);
        } else {
            source_.emplace(o.rows, o.columns, colour, o.pattern, o.seed);
        }
    }
    if (why.empty()) {
        encoder_.emplace(o.format, SentEncoding(), o.header, *source_, o.quality, o.packetText);
        request_ =
            !o.format.requestPerFrame.empty() ? o.format.requestPerFrame : o.format.requestAtStart;
    } else {
        encoder_.reset();
        source_.reset();
        if (error) {
            *error = why;
        }
        return false;
    }
    return true;
}

bool CameraBoard::Run(const std::atomic<bool>& stop, std::string* error) {
    if (!Claim(error)) {
        return false;
    }
    Stream(stop);
    return true;
}

bool CameraBoard::Start(std::string* error) {
    if (!Claim(error)) {
        return false;
    }
    Wait();  // Reaps a previous background run that has finished.
    stopRequested_ = false;
    thread_ = std::thread([this] { Stream(stopRequested_); });
    return true;
}

// Marks the board as running, preparing it first if needed; false if it
// already runs or cannot be prepared.
bool CameraBoard::Claim(std::string* error) {
    if (running_.exchange(true)) {
        if (error) {
            *error = "the board is already running";
        }
        return false;
    }
    if (!source_ && !Init(error)) {
        running_ = false;
        return false;
    }
    return true;
}

void CameraBoard::Stream(const std::atomic<bool>& stop) {
    std::mt19937 rng(options_.seed);
    origin_ = Clock::now();
    linePos_ = 0;
    heard_.clear();
    credits_ = 0;
    const bool perFrame = !options_.format.requestPerFrame.empty();
    const bool headerless = options_.format.framing == stream::Framing::Headerless;
    const auto gap = std::chrono::milliseconds(2 * uint64_t{options_.format.gapMilliseconds});
    for (uint64_t index = 0; options_.count == 0 || index < options_.count; ++index) {
        if (!request_.empty() && (perFrame || index == 0)) {
            if (!WaitForRequest(stop)) {
                break;
            }
            if (perFrame) {
                --credits_;
            }
        }
        if (options_.fps > 0) {
            auto due = origin_ + FrameTime(options_.fps, index);
            if (Clock::now() - due > FrameTime(options_.fps, 1)) {
                // More than a frame late: restart the schedule rather than burst.
                origin_ = Clock::now() - FrameTime(options_.fps, index);
                due = Clock::now();
            }
            SleepUntil(due, stop);
        }
        const Chunk chunk = NextChunk(index, rng);
        if (stop.load() || !SendPaced(chunk.before, stop)) {
            break;
        }
        if (headerless) {
            Quiet(gap, stop);
        }
        if (stop.load() || !SendPaced(chunk.frame, stop, true)) {
            break;
        }
        if (!request_.empty()) {
            ReadRequests(0);
        }
        framesSent_.fetch_add(1, std::memory_order_relaxed);
        if (callback_) {
            callback_(index, Clock::now());
        }
    }
    running_ = false;
}

void CameraBoard::Stop() {
    stopRequested_ = true;
    Wait();
}

void CameraBoard::Wait() {
    if (thread_.joinable()) {
        thread_.join();
    }
}

CameraBoard::Statistics CameraBoard::Stats() const {
    Statistics s;
    s.framesSent = framesSent_.load(std::memory_order_relaxed);
    s.bytesSent = bytesSent_.load(std::memory_order_relaxed);
    s.bytesDropped = bytesDropped_.load(std::memory_order_relaxed);
    s.requestsReceived = requestsReceived_.load(std::memory_order_relaxed);
    s.pausesInFrames = pausesInFrames_.load(std::memory_order_relaxed);
    s.longestPauseInFrameMs = longestPauseInFrameUs_.load(std::memory_order_relaxed) / 1000.0;
    return s;
}

uint64_t CameraBoard::BytesDue(long baud, std::chrono::nanoseconds elapsed) {
    if (baud <= 0 || elapsed.count() <= 0) {
        return 0;
    }
    return static_cast<uint64_t>(static_cast<double>(elapsed.count()) * baud / 1e10);
}

// One frame as it goes on the line: garbage (not before the first frame), then
// the between text and the frame with the requested faults applied.
CameraBoard::Chunk CameraBoard::NextChunk(uint64_t index, std::mt19937& rng) const {
    const Options& o = options_;
    EncodedFrame frame = encoder_->Encode(index, false);
    const size_t length = frame.payload.size();
    if (o.headerPixels) {
        for (size_t i = 0; i < frame.payload.size(); i += kHeaderPixelStride) {
            frame.payload[i] = o.header;
        }
    }
    if (o.loseByteEvery > 0 && (index + 1) % o.loseByteEvery == 0) {
        frame.LoseByte(LostByte(frame.payload.size()));
    }
    if (o.truncateEvery > 0 && (index + 1) % o.truncateEvery == 0) {
        // The frame stops half way: nothing after it, not even its end marker.
        frame.payload.resize(length / 2);
        frame.trailer.clear();
    }
    Chunk chunk;
    if (index > 0 && o.garbage > 0) {
        // Values that cannot start a frame: not the header byte, the start
        // marker's first byte, the sync's first byte, a packet's 00 or a
        // JPEG's FF. Headerless frames have no start to avoid.
        int avoid = -1;
        switch (o.format.framing) {
            case stream::Framing::HeaderByte:
                avoid = o.header;
                break;
            case stream::Framing::Marker:
                avoid = o.format.startMarker.empty() ? -1 : o.format.startMarker[0];
                break;
            case stream::Framing::Described:
                avoid = 0xD5;
                break;
            case stream::Framing::Packet:
                avoid = 0x00;
                break;
            case stream::Framing::Jpeg:
                avoid = 0xFF;
                break;
            case stream::Framing::Headerless:
                break;
        }
        // The allowed values, drawn evenly.
        std::uniform_int_distribution<int> noise(0, avoid < 0 ? 255 : 254);
        chunk.before.reserve(o.garbage);
        for (size_t i = 0; i < o.garbage; ++i) {
            const int v = noise(rng);
            chunk.before.push_back(static_cast<uint8_t>(avoid >= 0 && v >= avoid ? v + 1 : v));
        }
    }
    chunk.frame.assign(o.between.begin(), o.between.end());
    if (o.betweenLength) {
        const std::string text = std::to_string(length) + "\r\n";
        chunk.frame.insert(chunk.frame.end(), text.begin(), text.end());
    }
    const std::vector<uint8_t> wire = frame.Wire();
    chunk.frame.insert(chunk.frame.end(), wire.begin(), wire.end());
    return chunk;
}

// Reads what the host sent, up to timeoutMs for the first byte, and counts
// the requests in it.
void CameraBoard::ReadRequests(int timeoutMs) {
    if (request_.empty()) {
        return;
    }
    uint8_t buf[256];
    const size_t n = line_.ReadFromHost(buf, sizeof buf, timeoutMs);
    heard_.insert(heard_.end(), buf, buf + n);
    size_t at = 0;
    while (heard_.size() - at >= request_.size()) {
        if (std::equal(request_.begin(), request_.end(),
                       heard_.begin() + static_cast<std::ptrdiff_t>(at))) {
            ++credits_;
            requestsReceived_.fetch_add(1, std::memory_order_relaxed);
            at += request_.size();
        } else {
            ++at;
        }
    }
    heard_.erase(heard_.begin(), heard_.begin() + static_cast<std::ptrdiff_t>(at));
}

// Waits, silent, until a request has come (false if stopped first); the
// line's schedule then starts afresh, as the board's does.
bool CameraBoard::WaitForRequest(const std::atomic<bool>& stop) {
    while (credits_ == 0) {
        if (stop.load()) {
            return false;
        }
        ReadRequests(static_cast<int>(kStopCheck.count()));
    }
    if (options_.baud > 0) {
        origin_ = Clock::now() - LineTime(options_.baud, linePos_);
    }
    return true;
}

// Leaves the line quiet for `gap`; the schedule restarts after it, so no
// burst follows.
void CameraBoard::Quiet(std::chrono::milliseconds gap, const std::atomic<bool>& stop) {
    SleepUntil(Clock::now() + gap, stop);
    if (options_.baud > 0) {
        origin_ = Clock::now() - LineTime(options_.baud, linePos_);
    }
}

// Offers the chunk to the line at the baud rate (or all at once when not
// paced by baud). False if stopped part way.
bool CameraBoard::SendPaced(const std::vector<uint8_t>& chunk, const std::atomic<bool>& stop,
                            bool frame) {
    const long baud = options_.fps > 0 ? 0 : options_.baud;
    const auto pause = std::chrono::milliseconds(
        options_.format.framing == stream::Framing::Headerless ? options_.format.gapMilliseconds
                                                               : 20);
    auto lastWrite = Clock::now();
    size_t done = 0;
    while (done < chunk.size()) {
        size_t n = chunk.size() - done;
        if (baud > 0) {
            auto now = Clock::now();
            if (now - (origin_ + LineTime(baud, linePos_)) > kMaxBacklog) {
                origin_ = now - LineTime(baud, linePos_);
            }
            const uint64_t due = BytesDue(baud, now - origin_);
            n = due > linePos_ ? static_cast<size_t>(std::min<uint64_t>(n, due - linePos_)) : 0;
        }
        if (n > 0) {
            const auto now = Clock::now();
            if (frame && done > 0) {
                const auto held = now - lastWrite;
                const int64_t us =
                    std::chrono::duration_cast<std::chrono::microseconds>(held).count();
                if (us > longestPauseInFrameUs_.load(std::memory_order_relaxed))
                    longestPauseInFrameUs_.store(us, std::memory_order_relaxed);
                if (held >= pause)
                    pausesInFrames_.fetch_add(1, std::memory_order_relaxed);
            }
            if (!Transmit(chunk.data() + done, n, stop)) {
                return false;
            }
            lastWrite = Clock::now();
        }
        done += n;
        linePos_ += n;
        if (baud > 0 && done < chunk.size()) {
            const auto nextByte = origin_ + LineTime(baud, linePos_ + 1);
            SleepUntil(std::max(Clock::now() + kSlice, nextByte), stop);
            if (stop.load()) {
                return false;
            }
        }
    }
    return true;
}

// Writes n bytes to the line. Non-blocking mode drops what the line cannot
// take; blocking mode waits for room (false if stopped while waiting).
bool CameraBoard::Transmit(const uint8_t* data, size_t n, const std::atomic<bool>& stop) {
    if (!options_.blocking) {
        const size_t done = line_.WriteSome(data, n);
        bytesSent_.fetch_add(done, std::memory_order_relaxed);
        bytesDropped_.fetch_add(n - done, std::memory_order_relaxed);
        return true;
    }
    const size_t done = line_.WriteUntil(data, n, [&stop] { return stop.load(); });
    bytesSent_.fetch_add(done, std::memory_order_relaxed);
    return done == n;
}

}  // namespace camsim
