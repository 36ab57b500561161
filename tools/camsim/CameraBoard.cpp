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
    } else if (o.pattern == Pattern::File) {
        source_ = FrameSource::FromFile(o.file, o.rows, o.columns, o.colour, &why);
    } else {
        source_.emplace(o.rows, o.columns, o.colour, o.pattern);
    }
    if (!why.empty()) {
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
    for (uint64_t index = 0; options_.count == 0 || index < options_.count; ++index) {
        if (options_.fps > 0) {
            auto due = origin_ + FrameTime(options_.fps, index);
            if (Clock::now() - due > FrameTime(options_.fps, 1)) {
                // More than a frame late: restart the schedule rather than burst.
                origin_ = Clock::now() - FrameTime(options_.fps, index);
                due = Clock::now();
            }
            SleepUntil(due, stop);
        }
        if (stop.load() || !SendPaced(NextChunk(index, rng), stop)) {
            break;
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
    return s;
}

uint64_t CameraBoard::BytesDue(long baud, std::chrono::nanoseconds elapsed) {
    if (baud <= 0 || elapsed.count() <= 0) {
        return 0;
    }
    return static_cast<uint64_t>(static_cast<double>(elapsed.count()) * baud / 1e10);
}

// One frame as it goes on the line: garbage (not before the first frame), the
// header, then the pixels with the requested faults applied.
std::vector<uint8_t> CameraBoard::NextChunk(uint64_t index, std::mt19937& rng) const {
    const uint8_t header = options_.header;
    std::vector<uint8_t> pixels = source_->Frame(index);
    if (options_.headerPixels) {
        for (size_t i = 0; i < pixels.size(); i += kHeaderPixelStride) {
            pixels[i] = header;
        }
    }
    if (options_.truncateEvery > 0 && (index + 1) % options_.truncateEvery == 0) {
        pixels.resize(pixels.size() / 2);
    }
    std::vector<uint8_t> chunk;
    const size_t garbage = index > 0 ? options_.garbage : 0;
    chunk.reserve(garbage + 1 + pixels.size());
    // 255 values other than the header, drawn evenly.
    std::uniform_int_distribution<int> noise(0, 254);
    for (size_t i = 0; i < garbage; ++i) {
        const int v = noise(rng);
        chunk.push_back(static_cast<uint8_t>(v >= header ? v + 1 : v));
    }
    chunk.push_back(header);
    chunk.insert(chunk.end(), pixels.begin(), pixels.end());
    return chunk;
}

// Offers the chunk to the line at the baud rate (or all at once when not
// paced by baud). False if stopped part way.
bool CameraBoard::SendPaced(const std::vector<uint8_t>& chunk, const std::atomic<bool>& stop) {
    const long baud = options_.fps > 0 ? 0 : options_.baud;
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
        if (n > 0 && !Transmit(chunk.data() + done, n, stop)) {
            return false;
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
