// What tavix-capture writes about the frames it takes, on a thread of its own
// so that the drawing passes never wait for a disk: the picture or byte files
// by a name pattern, the 0/1 listing, and a JSON line per frame on the
// standard output. Files appear whole or not at all; the first failed write
// stops the writing and is kept as the error.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <cstdio>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "capture/FrameCopy.h"

// `s` as a JSON string literal, quotes included.
std::string JsonString(const std::string& s);

class CFrameOutput {
public:
    struct Settings {
        std::string out;      // pattern, or empty
        std::string listing;  // pattern, or empty
        int threshold = 128;
        bool json = false;
        std::FILE* jsonTo = stdout;
    };
    // One frame taken.
    struct Taken {
        uint64_t index = 0;  // from 1
        double seconds = 0;  // since the capture started
        uint64_t bytes = 0;  // payload bytes as received
        uint64_t latencyMicroseconds = 0;
        uint32_t rows = 0, columns = 0;
    };

    CFrameOutput() = default;
    ~CFrameOutput();  // finishes
    CFrameOutput(const CFrameOutput&) = delete;
    CFrameOutput& operator=(const CFrameOutput&) = delete;

    void Start(const Settings& settings);
    // Whether Push needs the frame's bytes (files to write).
    bool NeedsFrames() const { return !m_settings.out.empty() || !m_settings.listing.empty(); }
    // Any thread: queues a frame (null when NeedsFrames is false). While more
    // than kQueueBytes wait, the frame's files are not written and it is
    // counted as dropped.
    void Push(const Taken& taken, std::shared_ptr<const CFrameCopy> frame);
    // Writes what is queued, then the last frame's files for patterns
    // without a number. Idempotent.
    void Finish();

    uint64_t FilesWritten() const;
    uint64_t Dropped() const;
    std::string Error() const;  // empty while every write succeeded

    static constexpr size_t kQueueBytes = size_t{256} << 20;

private:
    void Run();
    // Writes one frame's files; false (and m_error set) on a failure.
    bool Write(const std::string& pattern, bool listing, const CFrameCopy& frame, uint64_t index,
               std::string* name);

    Settings m_settings;
    bool m_outNumbered = false;
    bool m_listingNumbered = false;
    mutable std::mutex m_lock;
    std::condition_variable m_cv;
    std::deque<std::pair<Taken, std::shared_ptr<const CFrameCopy>>> m_queue;
    size_t m_queuedBytes = 0;
    bool m_stop = false;
    bool m_finished = false;
    uint64_t m_written = 0;
    uint64_t m_dropped = 0;
    std::string m_error;
    std::thread m_thread;
    // The writing thread only: the last frame and its index.
    std::shared_ptr<const CFrameCopy> m_last;
    uint64_t m_lastIndex = 0;
};
