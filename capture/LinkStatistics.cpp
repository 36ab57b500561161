#include "capture/LinkStatistics.h"

#include <chrono>
#include <initializer_list>

uint64_t LinkClockMicroseconds() {
    return static_cast<uint64_t>(std::chrono::duration_cast<std::chrono::microseconds>(
                                     std::chrono::steady_clock::now().time_since_epoch())
                                     .count());
}

CLinkStatistics CLinkCounters::Snapshot() const {
    CLinkStatistics s;
    s.bytesReceived = m_bytesReceived.load(std::memory_order_relaxed);
    s.resyncs = m_resyncs.load(std::memory_order_relaxed);
    s.suspectFrames = m_suspectFrames.load(std::memory_order_relaxed);
    s.framesLost = m_framesLost.load(std::memory_order_relaxed);
    s.lastLatencyMicroseconds = m_lastLatency.load(std::memory_order_relaxed);
    std::lock_guard<std::mutex> lock(m_frameLock);
    s.framesStarted = m_framesStarted;
    s.framesDrawn = m_framesDrawn;
    s.framesSkipped = m_framesSkipped;
    s.lastFrameMicroseconds = m_lastFrame;
    s.lastDrawnMicroseconds = m_lastDrawn;
    s.frameIntervalMicroseconds = m_frameInterval;
    return s;
}

void CLinkCounters::Reset() {
    for (std::atomic<uint64_t>* c :
         {&m_bytesReceived, &m_resyncs, &m_suspectFrames, &m_lastLatency, &m_framesLost})
        c->store(0, std::memory_order_relaxed);
    std::lock_guard<std::mutex> lock(m_frameLock);
    m_framesStarted = m_framesDrawn = m_framesSkipped = 0;
    m_lastFrame = m_lastStart = m_lastDrawn = m_frameInterval = 0;
}

void CLinkCounters::FrameStarted() {
    const uint64_t now = LinkClockMicroseconds();
    std::lock_guard<std::mutex> lock(m_frameLock);
    ++m_framesStarted;
    if (m_lastStart != 0 && now > m_lastStart)
        m_frameInterval = now - m_lastStart;
    m_lastStart = now;
    m_lastFrame = now;
}

void CLinkCounters::FrameSkipped() {
    const uint64_t now = LinkClockMicroseconds();
    std::lock_guard<std::mutex> lock(m_frameLock);
    ++m_framesSkipped;
    m_lastFrame = now;
}

void CLinkCounters::FrameDrawn(uint64_t latencyMicroseconds) {
    m_lastLatency.store(latencyMicroseconds, std::memory_order_relaxed);
    const uint64_t now = LinkClockMicroseconds();
    std::lock_guard<std::mutex> lock(m_frameLock);
    ++m_framesDrawn;
    m_lastDrawn = now;
}

void CLinkCounters::Resync() {
    Add(m_resyncs, 1);
    Add(m_suspectFrames, 1);
}
