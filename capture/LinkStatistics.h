// What a capture's reception saw on the line: the figures a link-health
// display and the benchmarks read. CLinkStatistics is one copy; CLinkCounters
// are the live counters the engine's threads update.
#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>

// The clock the frame times below are read on (steady, in microseconds).
uint64_t LinkClockMicroseconds();

struct CLinkStatistics {
    uint64_t bytesReceived = 0;  // bytes read from the port
    uint64_t framesStarted = 0;  // headers taken as frame starts (skipped frames excluded)
    uint64_t framesDrawn = 0;    // frames whose last row was drawn (or listed)
    uint64_t framesSkipped = 0;  // whole frames passed over for a newer one
    uint64_t resyncs = 0;        // times the byte after a frame was not the header
    uint64_t suspectFrames = 0;  // frames whose successor's header was not in its place
    // Last frame: from the read that brought its last byte to its last row drawn.
    uint64_t lastLatencyMicroseconds = 0;
    // On the link clock, 0 before the first: the last frame started or passed
    // over, and the last frame drawn. They belong to the counts beside them
    // (taken together), so that a rate over a few frames is exact.
    uint64_t lastFrameMicroseconds = 0;
    uint64_t lastDrawnMicroseconds = 0;
    // Between the last two frame starts; 0 before the second.
    uint64_t frameIntervalMicroseconds = 0;
    // Frames the board numbered and the line never brought (gaps in the
    // frame counter of formats that carry one).
    uint64_t framesLost = 0;
};

class CLinkCounters {
public:
    // Any thread, at any time.
    CLinkStatistics Snapshot() const;
    // At the start of a capture, before its threads run.
    void Reset();

    void AddBytes(uint64_t n) { Add(m_bytesReceived, n); }
    void FrameStarted();
    void FrameDrawn(uint64_t latencyMicroseconds);
    void FrameSkipped();
    // The byte after a frame was not the header: the frame is suspect.
    void Resync();
    // A frame whose bytes showed a loss (a check bit, a JPEG that does not
    // decode cleanly, a frame cut short) without losing sync: suspect only.
    void Suspect() { Add(m_suspectFrames, 1); }
    // The board's frame counter skipped n frames.
    void FramesLost(uint64_t n) { Add(m_framesLost, n); }

private:
    static void Add(std::atomic<uint64_t>& counter, uint64_t n) {
        counter.fetch_add(n, std::memory_order_relaxed);
    }

    std::atomic<uint64_t> m_bytesReceived{0};
    std::atomic<uint64_t> m_resyncs{0};
    std::atomic<uint64_t> m_suspectFrames{0};
    std::atomic<uint64_t> m_lastLatency{0};
    std::atomic<uint64_t> m_framesLost{0};

    // A frame count and its time change together (a few hundred times a
    // second at most), so they share a lock.
    mutable std::mutex m_frameLock;
    uint64_t m_framesStarted = 0;
    uint64_t m_framesDrawn = 0;
    uint64_t m_framesSkipped = 0;
    uint64_t m_lastFrame = 0;
    uint64_t m_lastStart = 0;
    uint64_t m_lastDrawn = 0;
    uint64_t m_frameInterval = 0;
};
