#include "capture/LinkStatistics.h"

#include <initializer_list>

CLinkStatistics CLinkCounters::Snapshot() const {
    CLinkStatistics s;
    s.bytesReceived = m_bytesReceived.load(std::memory_order_relaxed);
    s.framesStarted = m_framesStarted.load(std::memory_order_relaxed);
    s.framesDrawn = m_framesDrawn.load(std::memory_order_relaxed);
    s.framesSkipped = m_framesSkipped.load(std::memory_order_relaxed);
    s.resyncs = m_resyncs.load(std::memory_order_relaxed);
    s.suspectFrames = m_suspectFrames.load(std::memory_order_relaxed);
    s.lastLatencyMicroseconds = m_lastLatency.load(std::memory_order_relaxed);
    return s;
}

void CLinkCounters::Reset() {
    for (std::atomic<uint64_t>* c :
         {&m_bytesReceived, &m_framesStarted, &m_framesDrawn, &m_framesSkipped, &m_resyncs,
          &m_suspectFrames, &m_lastLatency})
        c->store(0, std::memory_order_relaxed);
}

void CLinkCounters::FrameDrawn(uint64_t latencyMicroseconds) {
    m_lastLatency.store(latencyMicroseconds, std::memory_order_relaxed);
    Add(m_framesDrawn, 1);
}

void CLinkCounters::Resync() {
    Add(m_resyncs, 1);
    Add(m_suspectFrames, 1);
}
