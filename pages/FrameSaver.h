// Saves every frame drawn whole during a capture into a folder as numbered
// PGM (grayscale) or PPM (colour) files, on a thread of its own, so drawing
// never waits for the disk. Each file appears whole or not at all. After a
// failed write (disk full, folder gone) it stops saving and says why; the
// capture goes on.
#pragma once

#include <QString>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>

#include "capture/FrameCopy.h"

class CFrameSaver {
public:
    CFrameSaver() = default;
    ~CFrameSaver();
    CFrameSaver(const CFrameSaver&) = delete;
    CFrameSaver& operator=(const CFrameSaver&) = delete;

    // Starts saving into `folder` as "<stem>-000001.pgm", ... where the stem
    // names the start time. False with a message when the folder cannot be
    // written.
    bool Start(const QString& folder, QString& error);
    // Saves what is queued, then stops. Idempotent.
    void Stop();
    // Any thread: queues a copy of the frame; while more than kQueueBytes
    // wait, the frame is counted as dropped instead.
    void Push(const CFrameCopy& frame);

    struct Status {
        bool active = false;
        QString folder;
        uint64_t saved = 0;
        uint64_t dropped = 0;
        QString error;  // set once saving has stopped on a failure
    };
    Status GetStatus() const;

    static constexpr size_t kQueueBytes = 64u << 20;

private:
    void Run();

    mutable std::mutex m_lock;
    std::condition_variable m_cv;
    std::deque<CFrameCopy> m_queue;
    size_t m_queuedBytes = 0;
    bool m_bStop = false;
    QString m_stem;
    Status m_status;
    std::thread m_thread;
};
