#include "capture/LinkRateMeter.h"

#include <algorithm>

namespace {

// Samples older than this go; frames slower than one per minute read 0.
constexpr uint64_t kKeepMicroseconds = 60000000;
// A line counts as quiet when no frame came for two frame times, and at least
// this long.
constexpr uint64_t kQuietMicroseconds = 1000000;

uint64_t Seen(const CLinkStatistics& s) {
    return s.framesStarted + s.framesSkipped;
}

}  // namespace

CLinkHealth CLinkRateMeter::Add(const CLinkStatistics& now, uint64_t nowMicroseconds, int baud) {
    if (!m_samples.empty()) {
        const CLinkStatistics& last = m_samples.back().stats;
        if (now.bytesReceived < last.bytesReceived || Seen(now) < Seen(last) ||
            now.framesDrawn < last.framesDrawn || nowMicroseconds < m_samples.back().time)
            m_samples.clear();
    }
    m_samples.push_back({nowMicroseconds, now});
    while (m_samples.size() > 2 && m_samples.front().time + kKeepMicroseconds < nowMicroseconds)
        m_samples.pop_front();

    const double frames =
        FramesPerSecond([](const CLinkStatistics& s) { return Seen(s); },
                        [](const CLinkStatistics& s) { return s.lastFrameMicroseconds; });
    const double drawn =
        FramesPerSecond([](const CLinkStatistics& s) { return s.framesDrawn; },
                        [](const CLinkStatistics& s) { return s.lastDrawnMicroseconds; });
    return CLinkHealth::Of(now, frames, drawn, BytesPerSecond(), baud);
}

double CLinkRateMeter::BytesPerSecond() const {
    const Sample& last = m_samples.back();
    const Sample* from = &m_samples.front();
    for (const Sample& s : m_samples) {
        if (s.time + kWindowMicroseconds > last.time)
            break;
        from = &s;
    }
    if (last.time <= from->time || last.stats.bytesReceived < from->stats.bytesReceived)
        return 0;
    return static_cast<double>(last.stats.bytesReceived - from->stats.bytesReceived) * 1e6 /
           static_cast<double>(last.time - from->time);
}

template <typename Count, typename Time>
double CLinkRateMeter::FramesPerSecond(Count count, Time time) const {
    const CLinkStatistics& last = m_samples.back().stats;
    const uint64_t n = count(last), t = time(last);
    if (n == 0 || t == 0)
        return 0;
    // The reference is an earlier frame: the oldest one within the window
    // before the last frame, else the newest before it.
    const CLinkStatistics* ref = nullptr;
    for (const Sample& s : m_samples) {
        const uint64_t c = count(s.stats), ct = time(s.stats);
        if (c == 0 || c >= n || ct == 0 || ct >= t)
            continue;
        ref = &s.stats;
        if (ct + kWindowMicroseconds >= t)
            break;
    }
    if (ref == nullptr)
        return 0;
    double rate = static_cast<double>(n - count(*ref)) * 1e6 / static_cast<double>(t - time(*ref));
    // No frame for longer than two frame times: the line has slowed down or
    // stopped, and the rate is at most one frame in the time since the last.
    const uint64_t now = m_samples.back().time;
    const uint64_t quiet = now > t ? now - t : 0;
    if (quiet > std::max<uint64_t>(kQuietMicroseconds, static_cast<uint64_t>(2e6 / rate)))
        rate = 1e6 / static_cast<double>(quiet);
    return rate;
}
