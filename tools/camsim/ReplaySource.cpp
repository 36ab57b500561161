#include "tools/camsim/ReplaySource.h"

#include <poll.h>

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
    size_t done = 0;
    for (;;) {
        const size_t w = line_.WriteSome(data + done, n - done);
        bytesSent_.fetch_add(w, std::memory_order_relaxed);
        done += w;
        if (done == n) {
            return true;
        }
        if (stop.load()) {
            return false;
        }
        pollfd pfd{line_.MasterFd(), POLLOUT, 0};
        if (::poll(&pfd, 1, static_cast<int>(kStopCheck.count())) > 0 &&
            (pfd.revents & (POLLERR | POLLHUP | POLLNVAL)) != 0) {
            // A broken line never takes data again; don't spin on it.
            std::this_thread::sleep_for(kStopCheck);
        }
    }
}

}  // namespace camsim
