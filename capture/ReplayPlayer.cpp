#include "capture/ReplayPlayer.h"

#include <algorithm>
#include <cstring>
#include "settings/Translation.h"

namespace {

// Fast replay waits at most this long for the page between sends, so a
// stream the page cannot take (garbage, the wrong sizes) still plays on.
constexpr auto kFastWait = std::chrono::milliseconds(200);
// The longest wait for the reading side's start gate.
constexpr auto kGateWait = std::chrono::milliseconds(1500);

}  // namespace

CReplayPlayer::~CReplayPlayer() {
    Stop();
}

bool CReplayPlayer::Open(const std::string& path, std::string& error) {
    Stop();
    if (!m_reader.Open(path, error))
        return false;
    if (!m_line.IsOpen() && !m_line.Open(&error)) {
        error = tx::Format(tx::Tr("CReplayPlayer", "无法为回放创建虚拟串口：%1"), error);
        return false;
    }
    std::lock_guard<std::mutex> lock(m_lock);
    m_progress = Progress();
    m_progress.totalMicroseconds = m_reader.DurationMicroseconds();
    return true;
}

uint64_t CReplayPlayer::FrameBytes() const {
    const RecordingHeader& h = m_reader.Header();
    const uint64_t perPixel = h.format == recording::PixelFormat::Colour ? 3 : 1;
    return uint64_t{h.rows} * h.columns * perPixel + 1;
}

void CReplayPlayer::Start(bool fast, bool paused) {
    Stop();
    std::lock_guard<std::mutex> lock(m_lock);
    m_bStop = false;
    m_bFast = fast;
    m_bPaused = paused;
    m_nStepBytes = 0;
    m_bRestart = true;  // the thread starts from the first chunk
    m_thread = std::thread(&CReplayPlayer::Run, this);
}

void CReplayPlayer::Stop() {
    {
        std::lock_guard<std::mutex> lock(m_lock);
        m_bStop = true;
    }
    m_cv.notify_all();
    if (m_thread.joinable())
        m_thread.join();
}

void CReplayPlayer::SetFast(bool fast) {
    std::lock_guard<std::mutex> lock(m_lock);
    if (m_bFast == fast)
        return;
    m_bFast = fast;
    // Paced from here on: the next chunk is due as recorded after this one.
    m_base = Clock::now() - std::chrono::microseconds(m_progress.playedMicroseconds);
    m_cv.notify_all();
}

void CReplayPlayer::SetPaused(bool paused) {
    std::lock_guard<std::mutex> lock(m_lock);
    if (m_bPaused == paused)
        return;
    m_bPaused = paused;
    m_nStepBytes = 0;
    if (paused)
        m_pausedAt = Clock::now();
    else
        m_base = Clock::now() - std::chrono::microseconds(m_progress.playedMicroseconds);
    m_cv.notify_all();
}

void CReplayPlayer::Step() {
    std::lock_guard<std::mutex> lock(m_lock);
    if (!m_bPaused)
        return;
    m_nStepBytes += FrameBytes();
    m_cv.notify_all();
}

void CReplayPlayer::Restart() {
    std::lock_guard<std::mutex> lock(m_lock);
    m_bRestart = true;
    m_cv.notify_all();
}

CReplayPlayer::Progress CReplayPlayer::GetProgress() const {
    std::lock_guard<std::mutex> lock(m_lock);
    Progress p = m_progress;
    p.fast = m_bFast;
    p.paused = m_bPaused;
    return p;
}

bool CReplayPlayer::MaySendFast() const {
    if (!m_framesDone)
        return true;
    const uint64_t done = m_framesDone() - m_nFramesAtStart;
    const uint64_t frame = FrameBytes();
    return m_nBytesSinceStart < m_nLead + (done + 1) * frame + frame / 2;
}

bool CReplayPlayer::Send(const uint8_t* data, size_t n) {
    // While the line is full it waits for the page to read, seeing a stop or
    // restart at once.
    return m_line.WriteUntil(data, n, [this] {
        std::lock_guard<std::mutex> lock(m_lock);
        return m_bStop || m_bRestart;
    }) == n;
}

void CReplayPlayer::Run() {
    CRecordingReader::Chunk chunk;
    size_t done = 0;  // bytes of `chunk` already sent
    bool haveChunk = false;
    std::unique_lock<std::mutex> lock(m_lock);
    if (m_startGate) {
        const auto until = Clock::now() + kGateWait;
        while (!m_bStop && !m_startGate() && Clock::now() < until)
            m_cv.wait_for(lock, std::chrono::milliseconds(2));
    }
    while (!m_bStop) {
        if (m_bRestart) {
            m_bRestart = false;
            m_reader.Rewind();
            haveChunk = false;
            m_base = Clock::now();
            m_nFramesAtStart = m_framesDone ? m_framesDone() : 0;
            m_nBytesSinceStart = 0;
            const uint64_t total = m_progress.totalMicroseconds;
            m_progress = Progress();
            m_progress.totalMicroseconds = total;
            continue;
        }
        if (!haveChunk) {
            if (!m_reader.Next(chunk)) {
                m_progress.finished = true;
                m_progress.cutText = m_reader.CutText();
                m_cv.wait(lock, [&] { return m_bStop || m_bRestart; });
                continue;
            }
            if (m_progress.bytesSent == 0) {
                m_nLead = 0;
                m_bLeadKnown = false;
            }
            if (!m_bLeadKnown) {
                // The recording may start inside a frame: its first header
                // is where the frames the page can draw begin. A slow line
                // records small chunks, so it may lie a few chunks in.
                const auto* p = static_cast<const uint8_t*>(
                    memchr(chunk.bytes.data(), m_reader.Header().headerByte, chunk.bytes.size()));
                m_bLeadKnown = p != nullptr;
                m_nLead += p != nullptr ? static_cast<uint64_t>(p - chunk.bytes.data())
                                        : chunk.bytes.size();
            }
            haveChunk = true;
            done = 0;
        }
        size_t n = chunk.bytes.size() - done;
        if (m_bPaused) {
            if (m_nStepBytes == 0) {
                m_cv.wait(lock);
                continue;
            }
            n = static_cast<size_t>(std::min<uint64_t>(n, m_nStepBytes));
        } else if (m_bFast) {
            if (!MaySendFast()) {
                // The page is behind: wait for it, but never for long.
                const auto until = Clock::now() + kFastWait;
                while (!m_bStop && !m_bRestart && !m_bPaused && m_bFast && !MaySendFast() &&
                       Clock::now() < until)
                    m_cv.wait_for(lock, std::chrono::milliseconds(1));
                if (m_bStop || m_bRestart || m_bPaused || !m_bFast)
                    continue;
                // Waited in vain: the page needs more bytes for its next
                // frame than the lead says (a pixel of the header's value
                // was taken for the first header). Half a frame more from
                // here on, or every chunk would wait again.
                if (!MaySendFast())
                    m_nLead += FrameBytes() / 2;
            }
        } else {
            const auto due = m_base + std::chrono::microseconds(chunk.timeMicroseconds);
            if (Clock::now() < due) {
                m_cv.wait_until(lock, due);
                continue;  // woken early by a change, or due now
            }
        }
        lock.unlock();
        const bool sent = Send(chunk.bytes.data() + done, n);
        lock.lock();
        if (!sent)
            continue;  // stopped or restarted
        done += n;
        m_nBytesSinceStart += n;
        m_progress.bytesSent += n;
        m_progress.playedMicroseconds = chunk.timeMicroseconds;
        if (m_bPaused)
            m_nStepBytes -= std::min<uint64_t>(m_nStepBytes, n);
        if (done == chunk.bytes.size())
            haveChunk = false;
    }
}
