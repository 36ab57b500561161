// The link's health at a glance: rates worked out from two snapshots of a
// capture's link statistics, a colour, and the texts a status pane shows.
#pragma once

#include <string>

#include "capture/LinkStatistics.h"

struct CLinkHealth {
    enum class Level {
        Idle,    // nothing received yet
        Green,   // every frame whole
        Yellow,  // frames passed over: the screen cannot follow, nothing is damaged
        Red,     // resyncs or suspect frames: bytes lost or the settings are wrong
    };

    CLinkStatistics totals;      // since the capture started
    double framesPerSecond = 0;  // frames started or passed over, per second
    double drawnPerSecond = 0;
    double bytesPerSecond = 0;
    double lineShare = 0;  // bytesPerSecond against the line's capacity (baud / 10); 0 unknown
    Level level = Level::Idle;

    // `before` and `now` taken `seconds` apart; `baud` 0 when unknown. A
    // capture that restarted in between (counters fell) counts from zero.
    static CLinkHealth From(const CLinkStatistics& before, const CLinkStatistics& now,
                            double seconds, int baud);
    // The totals `now` with rates worked out elsewhere (CLinkRateMeter).
    static CLinkHealth Of(const CLinkStatistics& now, double framesPerSecond, double drawnPerSecond,
                          double bytesPerSecond, int baud);

    // One line for the status bar, in the chosen language.
    std::string Text() const;
    // One sentence per figure, for the tooltip.
    static std::string Explanation();
};
