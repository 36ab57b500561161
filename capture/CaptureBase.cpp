#include "capture/CaptureBase.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include "capture/PixelFormat.h"
#include "capture/RecordingWriter.h"
#include "capture/ThreadPriority.h"
#include "serial/PortOwner.h"
#include "settings/Translation.h"

// The worker's life: started and stopped by the page, it opens the port,
// allocates the buffers and polls reception until it is asked to stop.
// Reception is in CaptureBaseReception.cpp, drawing in CaptureBaseRendering.cpp.

const char kWelcomeText[] = TX_NOOP("CCaptureBase", "Tavix工作室欢迎您使用TavixTool！");

const char* WelcomeText() {
    return tx::Tr("CCaptureBase", kWelcomeText);
}

namespace {

using std::chrono::milliseconds;
using Clock = std::chrono::steady_clock;

const char kOpenFailed[] = TX_NOOP("CCaptureBase", "打开串口失败，请检查串口是否无效或者被占用");
const char kNoMemory[] = TX_NOOP("CCaptureBase", "内存不足，无法分配图像缓冲区");

const milliseconds kStopWait(500);

}  // namespace

thread_local const CCaptureBase* CCaptureBase::s_ownThread = nullptr;

CCaptureBase::CCaptureBase()
    : m_byHeader(255),
      m_nMode(-1),
      m_nAreaHeight(0),
      m_nAreaWidth(0),
      m_bScaleToArea(0),
      m_byFormat(1),
      m_nFrameSize(0),
      m_nRows(0),
      m_nColumns(0),
      m_nRowGap(0),
      m_nColumnGap(0),
      m_bShowImage(0),
      m_bShowValues(0),
      m_nReceived(0),
      m_nDrawn(0),
      m_nRxLength(0),
      m_nRxCapacity(0),
      m_bHeaderFound(0),
      m_bStopped(0),
      m_bDrawing(0),
      m_bFrameDone(0),
      m_nNextRow(0),
      m_nNextDisplayRow(0) {}

CCaptureBase::~CCaptureBase() {
    ShutdownEngine();
    StopRecording();
}

int CCaptureBase::StartWorker() {
    // A stop request left over from an earlier capture is discarded.
    m_hStopEvent.Reset();
    {
        std::lock_guard<std::mutex> lock(m_threadLock);
        if (m_hThread)
            return 0;
    }
    // The previous worker released its handle and is in its last steps: make
    // sure it is gone before the new one resets the state and the buffers.
    JoinEndedWorkers();
    // The port choice as the lists hold it now, read here on the
    // user-interface thread: the worker opens a closed port with it.
    if (CPortOwner* owner = GetPortOwner())
        m_portChoice = owner->CurrentChoice();
    {
        std::lock_guard<std::mutex> lock(m_threadLock);
        if (m_hThread)
            return 0;
        ++m_nWorkerSerial;
        try {
            // Created under the lock, so a worker that stops itself at once
            // always finds its own handle.
            m_hThread = std::make_unique<std::thread>(&CCaptureBase::WorkerProc, this);
        } catch (const std::exception&) {
            --m_nWorkerSerial;
            m_hThread.reset();
            return 0;
        }
    }
    std::this_thread::sleep_for(milliseconds(20));
    return 1;
}

void CCaptureBase::StopWorker() {
    m_hStopEvent.Set();
    m_wake.Signal();  // a worker waiting for data looks at once
    std::unique_lock<std::mutex> lock(m_threadLock);
    if (!m_hThread)
        return;
    const std::thread* held = m_hThread.get();
    const uint64_t serial = m_nWorkerSerial;
    // Waits for the worker's end, at most 500 ms; it comes within
    // milliseconds. The worker itself and its drawing passes do not wait:
    // the worker would wait for its own end, and a pass for the worker that
    // joins it.
    if (s_ownThread != this)
        m_threadCv.wait_until(lock, std::chrono::steady_clock::now() + kStopWait,
                              [&] { return m_nWorkerEnded >= serial; });
    // Released once, by whichever caller gets here first; joined later.
    if (m_hThread && m_hThread.get() == held)
        m_released.push_back(std::move(m_hThread));
}

void CCaptureBase::ShutdownEngine() {
    StopWorker();
    JoinEndedWorkers();
    // No worker is left; a pass started by a poll run outside a worker (tests
    // drive polls directly) is joined here.
    JoinDrawingPass();
}

void CCaptureBase::JoinEndedWorkers() {
    std::vector<std::unique_ptr<std::thread>> threads;
    {
        std::unique_lock<std::mutex> lock(m_threadLock);
        // Every worker started has ended (the newest one included); they
        // join their drawing passes before they end. A worker never waits for
        // the user-interface thread, so this wait always ends.
        m_threadCv.wait(lock, [&] { return m_nWorkerEnded >= m_nWorkerSerial; });
        threads.swap(m_released);
        if (m_hThread)
            threads.push_back(std::move(m_hThread));
    }
    for (auto& t : threads)
        if (t->joinable())
            t->join();
}

unsigned CCaptureBase::WorkerProc(void* param) {
    auto* engine = static_cast<CCaptureBase*>(param);
    // The worker reads the port above normal priority where the system
    // allows it, so the line's data is taken before the kernel's buffer fills.
    RaiseThreadPriority();
    NameThisThread("tavix-worker");
    s_ownThread = engine;
    engine->Execute_Base();
    s_ownThread = nullptr;
    std::lock_guard<std::mutex> lock(engine->m_threadLock);
    engine->m_nWorkerEnded = engine->m_nWorkerSerial;
    engine->m_threadCv.notify_all();
    return 0;
}

void CCaptureBase::ResetState() {
    {
        std::lock_guard<std::mutex> lock(m_stateLock);
        m_nRxLength = 0;
        ClearFrameLocked();
        m_bStopped = 0;
        m_bFrameDone = 0;
    }
    m_bCheckSuccessor = false;
    m_bWaitingSinceData = false;
    m_bDrawingShown = false;
    m_nBytesRead = 0;
    m_firstData = Clock::time_point();
    m_nShownThreshold = m_nPreviewThreshold;
    m_nShownChannel = m_nChannel;
    m_lastData = Clock::now();  // a quiet line is told a while after the start
    m_nFrameCompleteNs = 0;
    m_link.Reset();
    {
        std::lock_guard<std::mutex> lock(m_frameLock);
        m_nFramesDrawn = 0;
    }
    m_nCompletedSize = 0;
    SetUpFormat();
    ClearPicture();
    ClearValueList();
}

bool CCaptureBase::ShowStillFrame(const CFrameCopy& frame) {
    {
        std::lock_guard<std::mutex> lock(m_threadLock);
        if (m_hThread)
            return false;
    }
    JoinEndedWorkers();
    JoinDrawingPass();
    m_nRows = frame.rows;
    m_nColumns = frame.columns;
    m_nMode = 0;
    ResetState();
    // The frame's own encoding, whatever the format chosen now.
    const stream::Encoding encoding = frame.encoding != stream::Encoding::Page ? frame.encoding
                                      : frame.format == pixel::kUyv ? stream::Encoding::Uyv
                                                                    : stream::Encoding::Gray8;
    const bool compressed = stream::Info(encoding).compressed;
    const uint64_t size =
        compressed ? frame.bytes.size() : stream::FrameBytes(encoding, frame.columns, frame.rows);
    if (frame.bytes.size() != size || size == 0 || size >= UINT32_MAX)
        return false;
    {
        std::lock_guard<std::mutex> lock(m_stateLock);
        m_frameEncoding = encoding;
        m_nFrameSize = static_cast<uint32_t>(size);
    }
    if (!AllocateBuffers())
        return false;
    std::copy(frame.bytes.begin(), frame.bytes.end(), m_pFrame.get());
    {
        std::lock_guard<std::mutex> lock(m_stateLock);
        m_nReceived = m_nFrameSize;
        m_bHeaderFound = 1;
    }
    // One single-frame pass, here: it draws every row and ends the frame.
    DrawSingleProc(this);
    return true;
}

bool CCaptureBase::SlowLine() const {
    if (m_nBytesRead == 0)
        return false;
    const auto elapsed =
        std::chrono::duration_cast<milliseconds>(Clock::now() - m_firstData).count();
    // The first 50 ms tell too little; until then the worker reads at once.
    return elapsed >= 50 && m_nBytesRead < kSlowLine * static_cast<uint64_t>(elapsed);
}

void CCaptureBase::EndEarly(const char* text) {
    ShowStatus(text);
    StopWorker();
    OnCaptureEnd();
}

void CCaptureBase::ClearFrameLocked() {
    m_nReceived = 0;
    m_nDrawn = 0;
    m_bHeaderFound = 0;
    m_nNextRow = 0;
    m_nNextDisplayRow = 0;
}

void CCaptureBase::Execute_Base() {
    OnCaptureBegin();
    ResetState();
    // What the line carried is kept per capture (a picture shown in between
    // leaves it).
    {
        std::lock_guard<std::mutex> lock(m_recentLock);
        m_recent.clear();
        m_nRecentBytes = 0;
    }

    CPortOwner* owner = GetPortOwner();
    if (owner != nullptr && owner->IsPortOpen() == 0)
        owner->OpenPort(m_portChoice);
    if (owner == nullptr || owner->IsPortOpen() == 0) {
        EndEarly(tx::Tr("CCaptureBase", kOpenFailed));
        return;
    }
    // Whatever arrived before the capture is discarded.
    owner->m_port.Purge();
    if (!AllocateBuffers()) {
        EndEarly(tx::Tr("CCaptureBase", kNoMemory));
        return;
    }
    // A board that sends on request is asked now: with its start request,
    // or, where it has none, with the request for a frame.
    SendRequest(!m_streamFormat.requestAtStart.empty() ? m_streamFormat.requestAtStart
                                                       : m_streamFormat.requestPerFrame);
    // A quiet line from here on is a pause before a frame.
    m_lastData = Clock::now();
    const uint32_t frameSize = m_nFrameSize;
    // The page's controls are disabled while the worker runs; the mode it was
    // started with holds to the end.
    const int mode = m_nMode;

    while (!m_hStopEvent.TryWait()) {
        // Waits for data, a stop request or the end of a drawing pass, at most
        // 50 ms. With the receive buffer full, or no mode to receive in, the
        // port's data would wake it at once without being taken: then only
        // the wake and the time-out count.
        const bool takesData = (mode == 0 || mode == 1) && m_nRxLength < m_nRxCapacity;
        if (SerialPort* port = OwnersPort()) {
            // The line is seen quiet from the first wait after the last
            // bytes: only a wait tells a pause from a worker that was busy.
            if (!m_bWaitingSinceData) {
                m_bWaitingSinceData = true;
                m_waitingSince = Clock::now();
            }
            const int woke = port->WaitForData(static_cast<int>(kPoll.count()), &m_wake, takesData);
            // A slow line's first bytes: a few milliseconds more bring a
            // useful amount (the wait still ends at a stop or a pass's end).
            if (woke == SerialPort::kDataReady && SlowLine())
                port->WaitForData(static_cast<int>(kGather.count()), &m_wake, false);
        } else {
            std::this_thread::sleep_for(kPoll);
        }
        m_wake.Clear();
        if (m_hStopEvent.TryWait())
            break;
        const uint32_t space = frameSize - m_nReceived.load();
        if (mode == 0)
            ReceiveSingle(space);
        else if (mode == 1)
            ReceiveContinuous(space);
    }
    EndWorker();
}

void CCaptureBase::EndWorker() {
    // The worker's end line is a developer's trace: on the standard error
    // only when TAVIX_DEBUG is set, never on a user's terminal.
    if (const char* debug = std::getenv("TAVIX_DEBUG"); debug != nullptr && debug[0] != '\0')
        std::fputs("Execute_Base() 正常退出线程\r\n", stderr);
    m_bStopped = 1;
    SendRequest(m_streamFormat.requestAtStop);
    // A running pass aborts at its next pixel; it must have ended before the
    // page gets its controls back and may change the parameters it reads.
    JoinDrawingPass();
    ShowStatus(WelcomeText());
    StopWorker();
    OnCaptureEnd();
}

bool CCaptureBase::WireGeometry(uint32_t& rows, uint32_t& columns) const {
    const uint64_t packed = m_nWireGeometry.load();
    if (packed == 0)
        return false;
    rows = static_cast<uint32_t>(packed >> 32);
    columns = static_cast<uint32_t>(packed);
    return true;
}
