// tavix-capture's command line: what to read, how the board sends, what to
// take and what to write. Parsing checks everything it can before a port is
// touched, so that a wrong option is exit code 1 and nothing else.
#pragma once

#include <cstdint>
#include <string>

#include "stream/StreamFormat.h"

struct CCaptureOptions {
    std::string input;  // a device path, COMn, or a recording
    uint32_t baud = 0;  // 0: not given (115200, or the recording's)
    bool formatGiven = false;
    stream::CStreamFormat format;  // the design's unless given
    uint32_t rows = 0;             // 0: not given (60 x 80, or the preset's or the recording's)
    uint32_t columns = 0;
    bool colour = false;  // the design's format with U,Y,V triplets
    int header = -1;      // -1: not given (255, or the settings' or the recording's)

    uint64_t frames = 1;  // frames to take; 0: no limit
    bool framesGiven = false;
    double seconds = 0;        // 0: no limit
    int64_t untilStable = -1;  // -1: off; else fewer differing pixels than this end it
    double timeout = 10;       // the longest wait for a frame

    std::string out;      // file name pattern, e.g. frame-%04d.png
    std::string record;   // recording file
    std::string listing;  // listing file (pattern or one name)
    int threshold = 128;
    bool thresholdGiven = false;
    bool json = false;
    uint64_t maxSuspect = 0;
    bool settings = false;     // read the settings file
    std::string settingsPath;  // its path; empty: the window's
    bool paced = false;        // a recording at its recorded pace (else as fast as taken)
    bool help = false;
};

// Reads argv into `options`. False with the reason (one line, in the chosen
// language).
bool ParseCaptureOptions(int argc, char** argv, CCaptureOptions& options, std::string& error);

// The --help text in the chosen language.
std::string CaptureHelp();

// A file name pattern with at most one printf number (%d, %5d, %05d) and %%
// for a percent sign: the name for frame `index`. `numbered` tells whether it
// has the number; false with the reason when the pattern is not one.
bool CheckPattern(const std::string& pattern, bool& numbered, std::string& error);
std::string PatternName(const std::string& pattern, uint64_t index);
