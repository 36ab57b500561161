// One run of tavix-capture: the page set up from the command line, the
// settings file and a recording's header; the capture through the engine;
// the frames taken handed to the output; the exit code a script can trust.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "capture/FrameCopy.h"
#include "capture/LinkStatistics.h"
#include "tools/capture/CaptureOptions.h"
#include "tools/capture/FrameOutput.h"

class CHeadlessPage;
class SerialPort;

// The exit codes, as documented in --help.
enum CaptureExit {
    kExitOk = 0,
    kExitBadArguments = 1,
    kExitPort = 2,
    kExitNoFrame = 3,
    kExitSuspect = 4,
};

class CCaptureSession {
public:
    // `stop` is set from a signal handler: the capture ends cleanly.
    CCaptureSession(const CCaptureOptions& options, const std::atomic<bool>& stop);
    ~CCaptureSession();

    // Runs the capture to its end; messages on `err`, the summary (or the
    // JSON lines) on `out`.
    int Run(std::FILE* out, std::FILE* err);

private:
    // The page's settings: options over the recording's over the settings
    // file's over the defaults. kExitOk, or the exit code with the reason
    // (a recording that cannot be read: kExitPort; anything else: bad
    // arguments).
    int Resolve(std::string& error);
    // A frame drawn whole, on the drawing thread.
    void OnFrame(const CFrameCopy& frame);
    // One line of the stream diagnosis on what the line carried, read on
    // from `port` (null: not) while the bytes are too few for an answer.
    std::string DiagnosisHint(SerialPort* port) const;
    void ShowProgress(std::FILE* err, bool last);

    CCaptureOptions m_o;
    const std::atomic<bool>& m_stop;

    // Resolved settings.
    bool m_isRecording = false;
    uint32_t m_baud = 115200;
    int m_header = 255;
    uint32_t m_rows = 60, m_columns = 80;
    bool m_colourPage = false;
    stream::CStreamFormat m_format;
    int m_threshold = 128;

    std::unique_ptr<CHeadlessPage> m_page;
    CFrameOutput m_output;
    std::chrono::steady_clock::time_point m_start;

    // The drawing thread's (through OnFrame), read by the main thread.
    std::atomic<uint64_t> m_taken{0};
    std::atomic<bool> m_goal{false};  // frames or stability reached: no more are taken
    std::atomic<int64_t> m_lastFrameNs{0};
    std::atomic<uint64_t> m_suspectBefore{0};  // suspect frames before the first taken
    std::atomic<bool> m_stable{false};
    // The drawing thread only: the last frame's picture, for stability.
    std::vector<uint8_t> m_previous;
    bool m_havePrevious = false;

    std::chrono::steady_clock::time_point m_lastShown;
};
