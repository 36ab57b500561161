// Rates for the link's status pane, over a window long enough for slow
// frames: a UART line often carries only one or two frames a second, which a
// quarter-second interval between two snapshots cannot count. Frame rates come
// from the engine's own frame times, so the received and drawn rates agree
// when nothing is passed over.
#pragma once

#include <cstdint>
#include <deque>

#include "capture/LinkHealth.h"
#include "capture/LinkStatistics.h"

class CLinkRateMeter {
public:
    // Bytes are counted over this much time, frames over the frames of this
    // much time (at least the last two frames, however slow).
    static constexpr uint64_t kWindowMicroseconds = 2000000;

    // A snapshot taken at `nowMicroseconds` on the link clock; `baud` 0 when
    // unknown. Counters that fell (a new capture) start the history again.
    CLinkHealth Add(const CLinkStatistics& now, uint64_t nowMicroseconds, int baud);
    // Forgets the history (another page, or none).
    void Clear() { m_samples.clear(); }

private:
    struct Sample {
        uint64_t time;
        CLinkStatistics stats;
    };
    double BytesPerSecond() const;
    template <typename Count, typename Time>
    double FramesPerSecond(Count count, Time time) const;

    std::deque<Sample> m_samples;
};
