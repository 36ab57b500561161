// Plays a recording down a pseudo-terminal of its own, so that a page reads it
// through the same port, engine and drawing as a live board: at the recorded
// pace or as fast as the page takes it, with pause, single frames and restart.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

#include "capture/RecordingReader.h"
#include "serial/PseudoTerminal.h"

class CReplayPlayer {
public:
    CReplayPlayer() = default;
    ~CReplayPlayer();  // stops
    CReplayPlayer(const CReplayPlayer&) = delete;
    CReplayPlayer& operator=(const CReplayPlayer&) = delete;

    // Opens the recording and the pseudo-terminal it plays into. False with
    // the reason (the recording's own message for a file that is no
    // recording, cut short in its header, of a newer version, ...).
    bool Open(const std::string& path, std::string& error);
    const RecordingHeader& Header() const { return m_reader.Header(); }
    // The device the page opens as its port.
    const std::string& DevicePath() const { return m_line.DevicePath(); }
    // Bytes of one frame on the line: the header byte and the pixels.
    uint64_t FrameBytes() const;

    // How many frames the reading side has finished (drawn whole or passed
    // over). Fast replay keeps less than two whole frames ahead of it (two
    // whole frames waiting would let the page pass the older one over), so
    // the page draws every frame it would have drawn live. Set before Start.
    void SetProgressProbe(std::function<uint64_t()> framesDone) {
        m_framesDone = std::move(framesDone);
    }

    // The reading side's word that it is ready for the first byte (a starting
    // capture purges its port, which would take bytes written before). The
    // playing waits for it at most a second and a half. Set before Start.
    void SetStartGate(std::function<bool()> ready) { m_startGate = std::move(ready); }

    // Starts playing from the first chunk, paused if asked.
    void Start(bool fast, bool paused = false);
    void Stop();
    void SetFast(bool fast);
    void SetPaused(bool paused);
    // While paused: plays one frame's bytes more.
    void Step();
    // From the first chunk again, on the same line. What the line still holds
    // stays there: a reader that must not see it starts afresh on its own
    // (CReplayBar restarts its page's capture and the playing instead).
    void Restart();

    struct Progress {
        uint64_t playedMicroseconds = 0;  // the time stamp of the last chunk played
        uint64_t totalMicroseconds = 0;
        uint64_t bytesSent = 0;
        bool fast = false;
        bool paused = false;
        bool finished = false;
        std::string cutText;  // set when the file ended inside a chunk
    };
    Progress GetProgress() const;

private:
    using Clock = std::chrono::steady_clock;
    void Run();
    // Writes n bytes into the line as it takes them; false when stopped or
    // the line failed. Called without m_lock.
    bool Send(const uint8_t* data, size_t n);
    // Whether fast replay may send more now.
    bool MaySendFast() const;

    CRecordingReader m_reader;  // the playing thread only, once started
    CPseudoTerminal m_line;
    std::function<uint64_t()> m_framesDone;
    std::function<bool()> m_startGate;

    mutable std::mutex m_lock;
    std::condition_variable m_cv;
    std::thread m_thread;
    bool m_bStop = false;
    bool m_bRestart = false;
    bool m_bFast = false;
    bool m_bPaused = false;
    uint64_t m_nStepBytes = 0;  // bytes still to play while paused
    Clock::time_point m_base;   // when a chunk of time 0 is due
    Clock::time_point m_pausedAt;
    uint64_t m_nFramesAtStart = 0;  // m_framesDone() when playing (re)started
    uint64_t m_nBytesSinceStart = 0;
    uint64_t m_nLead = 0;       // bytes before the recording's first frame header
    bool m_bLeadKnown = false;  // that header was seen
    Progress m_progress;
};
