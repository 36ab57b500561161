#include "tools/camsim/ReplaySource.h"
#include <algorithm>
#include <thread>

namespace camsim {

namespace {

using Clock = std::chrono::steady_clock;

// Longest sleep between looks at the stop flag.
constexpr auto kStopCheck = std::chrono::milliseconds(10);

void SleepUntil(Clock::time_point when, const std::atomic<bool>& stop) {
    for (auto now = Clock::now(); now < when && !stop.load(); now = Clock::now()) {
        std::this_thread::sleep_for(std::min<Clock::duration>(when - now, kStopCheck));
    }
}

}  // namespace

ReplaySource::ReplaySource(PseudoTerminal& line, CRecordingReader& recording, bool fast)
    : line_(line), recording_(recording), fast_(fast) {}

bool ReplaySource::Run(const std::atomic<bool>& stop) {
    auto origin = Clock::now();
    CRecordingReader::Chunk chunk;
    while (!stop.load() && recording_.Next(chunk)) {
        if (!fast_) {
            auto due = origin + std::chrono::microseconds(chunk.timeMicroseconds);
            if (Clock::now() - due > kMaxLag) {
                origin += Clock::now() - due;
                due = Clock::now();
            }
            SleepUntil(due, stop);
        }
        if (stop.load() || !Send(chunk.bytes.data(), chunk.bytes.size(), stop)) {
            return false;
        }
        chunksSent_.fetch_add(1, std::memory_order_relaxed);
    }
    return !stop.load();
}

ReplaySource::Statistics ReplaySource::Stats() const {
    Statistics s;
    s.chunksSent = chunksSent_.load(std::memory_order_relaxed);
    s.bytesSent = bytesSent_.load(std::memory_order_relaxed);
    return s;
}

// Writes all n bytes, waiting for room; false if stopped first.
bool ReplaySource::Send(const uint8_t* data, size_t n, const std::atomic<bool>& stop) {
    const size_t done = line_.WriteUntil(data, n, [&stop] { return stop.load(); });
    bytesSent_.fetch_add(done, std::memory_order_relaxed);
    return done == n;
}

}  // namespace camsim
