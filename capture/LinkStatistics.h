// What a capture's reception saw on the line: the figures a link-health
// display and the benchmarks read. CLinkStatistics is one consistent-enough
// copy; CLinkCounters are the live counters the engine's threads update.
#pragma once

#include <atomic>
#include <cstdint>

struct CLinkStatistics {
    uint64_t bytesReceived = 0;  // bytes read from the port
    uint64_t framesStarted = 0;  // headers taken as frame starts (skipped frames excluded)
    uint64_t framesDrawn = 0;    // frames whose last row was drawn (or listed)
    uint64_t framesSkipped = 0;  // whole frames passed over for a newer one
    uint64_t resyncs = 0;        // times the byte after a frame was not the header
    uint64_t suspectFrames = 0;  // frames whose successor's header was not in its place
    // Last frame: from the read that brought its last byte to its last row drawn.
    uint64_t lastLatencyMicroseconds = 0;
};

class CLinkCounters {
public:
    // Any thread, at any time.
    CLinkStatistics Snapshot() const;
    // At the start of a capture, before its threads run.
    void Reset();

    void AddBytes(uint64_t n) { Add(m_bytesReceived, n); }
    void FrameStarted() { Add(m_framesStarted, 1); }
    void FrameDrawn(uint64_t latencyMicroseconds);
    void FrameSkipped() { Add(m_framesSkipped, 1); }
    // The byte after a frame was not the header: the frame is suspect.
    void Resync();

private:
    static void Add(std::atomic<uint64_t>& counter, uint64_t n) {
        counter.fetch_add(n, std::memory_order_relaxed);
    }

    std::atomic<uint64_t> m_bytesReceived{0};
    std::atomic<uint64_t> m_framesStarted{0};
    std::atomic<uint64_t> m_framesDrawn{0};
    std::atomic<uint64_t> m_framesSkipped{0};
    std::atomic<uint64_t> m_resyncs{0};
    std::atomic<uint64_t> m_suspectFrames{0};
    std::atomic<uint64_t> m_lastLatency{0};
};
