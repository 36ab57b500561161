#include "capture/CaptureBase.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <new>

#include "serial/PortOwner.h"

const char kWelcomeText[] = "Tavix工作室欢迎您使用TavixTool！";

namespace {

using std::chrono::milliseconds;

const char kOpenFailed[] = "打开串口失败，请检查串口是否无效或者被占用";
const char kNoMemory[] = "内存不足，无法分配图像缓冲区";
const char kSearching[] = "正在找数据头，请稍等...";
const char kDrawing[] = "显示整幅图可能需要几十秒哦，请稍等...";
const char kNoData[] = "未接收到串口数据";
const char kSearchReadFailed[] = "出错啦！读串口数据失败";
const char kFrameReadFailed[] = "读串口数据失败";
const char kRollbackReadFailed[] = "读回滚数据失败";

const milliseconds kPoll(50);
const milliseconds kStopWait(500);

SerialPort* OwnersPort() {
    CPortOwner* owner = GetPortOwner();
    return owner != nullptr ? &owner->m_port : nullptr;
}

// A search reads at most half the free space, but never nothing: a one-byte
// frame would otherwise never find its header.
uint32_t SearchChunk(uint32_t space) {
    return space > 1 ? space / 2 : space;
}

// The terms of the U, Y, V to RGB conversion per byte value, computed as the
// formula does, so sums of them give exactly the formula's results:
// yc = (Y - 16) * 1.164, red = yc + (V - 128) * 1.596,
// green = yc - (V - 128) * 0.813 - (U - 128) * 0.391, blue = yc + (U - 128) * 2.018.
struct YuvTables {
    double y[256], vRed[256], vGreen[256], uGreen[256], uBlue[256];
    YuvTables() {
        for (int i = 0; i < 256; ++i) {
            const double d = i;
            y[i] = (d - 16) * 1.164;
            vRed[i] = (d - 128) * 1.596;
            vGreen[i] = (d - 128) * 0.813;
            uGreen[i] = (d - 128) * 0.391;
            uBlue[i] = (d - 128) * 2.018;
        }
    }
};

const YuvTables& Yuv() {
    static const YuvTables tables;
    return tables;
}

// Truncates toward zero, then keeps the channel inside 0..255.
int Channel(double value) {
    const int v = static_cast<int>(value);
    return std::clamp(v, 0, 255);
}

// Every live engine, so that the port owner can wake a waiting one.
std::mutex g_enginesLock;
std::vector<CCaptureBase*> g_engines;

}  // namespace

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
      m_bHeaderFound(0),
      m_bStopped(0),
      m_bDrawing(0),
      m_bFrameDone(0),
      m_nNextRow(0),
      m_nNextDisplayRow(0),
      m_uiThread(std::this_thread::get_id()) {
    std::lock_guard<std::mutex> lock(g_enginesLock);
    g_engines.push_back(this);
}

CCaptureBase::~CCaptureBase() {
    ShutdownEngine();
    std::lock_guard<std::mutex> lock(g_enginesLock);
    g_engines.erase(std::find(g_engines.begin(), g_engines.end(), this));
}

void CCaptureBase::WakeAllWaiters() {
    std::lock_guard<std::mutex> lock(g_enginesLock);
    for (CCaptureBase* engine : g_engines)
        engine->WakeWaiter();
}

// ---------------------------------------------------------------------------
// Worker lifecycle

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
    std::unique_lock<std::mutex> lock(m_threadLock);
    if (!m_hThread)
        return;
    const std::thread* held = m_hThread.get();
    const uint64_t serial = m_nWorkerSerial;
    // Waits for the worker's end. Called by the worker itself, the wait cannot
    // end early and lasts the full time.
    Wait(
        lock, [&] { return m_nWorkerEnded >= serial; },
        std::chrono::steady_clock::now() + kStopWait);
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
        // join their drawing passes before they end.
        Wait(
            lock, [&] { return m_nWorkerEnded >= m_nWorkerSerial; },
            std::chrono::steady_clock::time_point::max());
        threads.swap(m_released);
        if (m_hThread)
            threads.push_back(std::move(m_hThread));
    }
    for (auto& t : threads)
        if (t->joinable())
            t->join();
}

void CCaptureBase::Wait(std::unique_lock<std::mutex>& lock, const std::function<bool()>& done,
                        std::chrono::steady_clock::time_point deadline) {
    if (std::this_thread::get_id() != m_uiThread) {
        m_threadCv.wait_until(lock, deadline, done);
        return;
    }
    // The user-interface thread carries out the page calls that the engine's
    // threads are blocked on while it waits for them.
    while (!done() && std::chrono::steady_clock::now() < deadline) {
        m_bWakeWaiter = false;
        lock.unlock();
        RunPendingPageCalls();
        if (CPortOwner* owner = GetPortOwner())
            owner->RunPendingOwnerCalls();
        lock.lock();
        m_threadCv.wait_until(lock, deadline, [&] { return done() || m_bWakeWaiter; });
    }
}

void CCaptureBase::WakeWaiter() {
    {
        std::lock_guard<std::mutex> lock(m_threadLock);
        m_bWakeWaiter = true;
    }
    m_threadCv.notify_all();
}

void CCaptureBase::RunPendingPageCalls() {}

unsigned CCaptureBase::WorkerProc(void* param) {
    auto* engine = static_cast<CCaptureBase*>(param);
    engine->Execute_Base();
    std::lock_guard<std::mutex> lock(engine->m_threadLock);
    engine->m_nWorkerEnded = engine->m_nWorkerSerial;
    engine->m_threadCv.notify_all();
    return 0;
}

void CCaptureBase::ResetState() {
    {
        std::lock_guard<std::mutex> lock(m_stateLock);
        m_nRxLength = 0;
        m_nDrawn = 0;
        m_nReceived = 0;
        m_bHeaderFound = 0;
        m_bStopped = 0;
        m_bFrameDone = 0;
        m_nNextRow = 0;
        m_nNextDisplayRow = 0;
    }
    if (m_byFormat == 0)
        m_nFrameSize = m_nColumns * m_nRows;
    else if (m_byFormat == 1)
        m_nFrameSize = m_nColumns * m_nRows * 3;
    ClearPicture();
    ClearValueList();
}

std::unique_ptr<uint8_t[]> CCaptureBase::AllocateBuffer(uint32_t size) {
    return std::unique_ptr<uint8_t[]>(new (std::nothrow) uint8_t[size]);
}

bool CCaptureBase::AllocateBuffers() {
    m_pFrame.reset();
    m_pRxBuffer.reset();
    m_pFrame = AllocateBuffer(m_nFrameSize);
    if (m_pFrame)
        m_pRxBuffer = AllocateBuffer(m_nFrameSize);
    if (m_pFrame && m_pRxBuffer)
        return true;
    m_pFrame.reset();
    m_pRxBuffer.reset();
    return false;
}

void CCaptureBase::EndEarly(const char* text) {
    ShowStatus(text);
    StopWorker();
    OnCaptureEnd();
}

void CCaptureBase::Execute_Base() {
    OnCaptureBegin();
    ResetState();

    CPortOwner* owner = GetPortOwner();
    if (owner != nullptr && owner->IsPortOpen() == 0)
        owner->OpenPort();
    if (owner == nullptr || owner->IsPortOpen() == 0) {
        EndEarly(kOpenFailed);
        return;
    }
    // Whatever arrived before the capture is discarded.
    owner->m_port.Purge();
    if (!AllocateBuffers()) {
        EndEarly(kNoMemory);
        return;
    }
    const uint32_t frameSize = m_nFrameSize;

    while (!m_hStopEvent.TryWait()) {
        const uint32_t space = frameSize - m_nReceived.load();
        if (m_nMode == 0)
            ReceiveSingle(space);
        else if (m_nMode == 1)
            ReceiveContinuous(space);
        std::this_thread::sleep_for(kPoll);
    }
    EndWorker();
}

void CCaptureBase::EndWorker() {
    std::fputs("Execute_Base() 正常退出线程\r\n", stderr);
    m_bStopped = 1;
    // A running pass aborts at its next pixel; it must have ended before the
    // page gets its controls back and may change the parameters it reads.
    JoinDrawingPass();
    ShowStatus(kWelcomeText);
    StopWorker();
    OnCaptureEnd();
}

// ---------------------------------------------------------------------------
// Reception

int CCaptureBase::FindHeader(uint32_t& position) {
    ShowStatus(kSearching);
    position = 0xFFFFFFFFu;
    if (m_nRxLength == 0)
        return 0;
    const uint8_t* begin = m_pRxBuffer.get();
    const uint8_t* hit = static_cast<const uint8_t*>(std::memchr(begin, m_byHeader, m_nRxLength));
    if (hit == nullptr)
        return 0;
    position = static_cast<uint32_t>(hit - begin);
    return 1;
}

void CCaptureBase::TakeFrameStart(uint32_t position) {
    // At most m_nFrameSize - 1 bytes follow the header, so they always fit.
    const uint32_t count = m_nRxLength - position - 1;
    std::memcpy(m_pFrame.get(), m_pRxBuffer.get() + position + 1, count);
    std::lock_guard<std::mutex> lock(m_stateLock);
    m_nReceived = count;
    m_bHeaderFound = 1;
}

int CCaptureBase::ReceiveSingle(uint32_t space) {
    if (!m_pFrame || !m_pRxBuffer)
        return 0;
    SerialPort* port = OwnersPort();
    int headerFound;
    uint32_t received;
    {
        std::lock_guard<std::mutex> lock(m_stateLock);
        headerFound = m_bHeaderFound;
        received = m_nReceived;
    }
    if (!headerFound) {
        std::this_thread::sleep_for(kPoll);
        uint32_t n = 0;
        if (port == nullptr || port->ReadAvailable(m_pRxBuffer.get(), SearchChunk(space), n) != 0) {
            ShowStatus(kSearchReadFailed);
            StopWorker();
            return 1;
        }
        m_nRxLength = n;
    } else if (received < m_nFrameSize) {
        uint32_t n = 0;
        const uint32_t wanted = std::min(space, m_nFrameSize - received);
        if (port == nullptr || port->ReadAvailable(m_pFrame.get() + received, wanted, n) != 0) {
            ShowStatus(kFrameReadFailed);
            StopWorker();
            return 1;
        }
        m_nReceived = std::min(received + n, m_nFrameSize);
    } else {
        // The frame is full and waits to be drawn: what arrives meanwhile goes.
        if (port != nullptr)
            port->Purge();
    }

    if (m_nRxLength > 0) {
        ShowStatus(kSearching);
        const uint8_t* begin = m_pRxBuffer.get();
        const void* hit = std::memchr(begin, m_byHeader, m_nRxLength);
        if (hit != nullptr) {
            TakeFrameStart(static_cast<uint32_t>(static_cast<const uint8_t*>(hit) - begin));
            m_nRxLength = 0;
        }
        // Without a header the chunk is overwritten by the next read.
    }
    StartDrawingPass();
    return 0;
}

int CCaptureBase::ReceiveContinuous(uint32_t space) {
    if (!m_pFrame || !m_pRxBuffer)
        return 0;
    SerialPort* port = OwnersPort();
    int headerFound, frameDone;
    uint32_t received;
    {
        std::lock_guard<std::mutex> lock(m_stateLock);
        headerFound = m_bHeaderFound;
        frameDone = m_bFrameDone;
        received = m_nReceived;
    }

    if (!headerFound) {
        if (m_nRxLength == 0) {
            uint32_t n = 0;
            if (port == nullptr ||
                port->ReadAvailable(m_pRxBuffer.get(), SearchChunk(space), n) != 0) {
                ShowStatus(kSearchReadFailed);
                StopWorker();
                return 1;
            }
            m_nRxLength = n;
        }
        if (m_nRxLength > 0) {
            // Fresh bytes or the rollback data of the previous frame; either is
            // searched once and then dropped.
            uint32_t position;
            if (FindHeader(position)) {
                TakeFrameStart(position);
                ClearValueList();
                ClearPicture();
            }
            m_nRxLength = 0;
        } else {
            ShowStatus(kNoData);
        }
    } else if (m_nRxLength > 0 && frameDone) {
        // Rollback data lies behind a frame and no rolling pass has begun since
        // the previous frame was finished. Data that starts with a header is
        // the next frame right behind this one: it waits until this frame has
        // been drawn. Otherwise look for a header in it now.
        if (m_pRxBuffer[0] != m_byHeader) {
            uint32_t position;
            if (FindHeader(position)) {
                TakeFrameStart(position);
                m_nRxLength = 0;
                ClearValueList();
                ClearPicture();
            } else {
                std::lock_guard<std::mutex> lock(m_stateLock);
                m_bHeaderFound = 0;
            }
        }
        std::lock_guard<std::mutex> lock(m_stateLock);
        m_bFrameDone = 0;
    } else if (received < m_nFrameSize) {
        uint32_t n = 0;
        const uint32_t wanted = std::min(space, m_nFrameSize - received);
        if (port == nullptr || port->ReadAvailable(m_pFrame.get() + received, wanted, n) != 0) {
            ShowStatus(kFrameReadFailed);
            StopWorker();
            return 1;
        }
        m_nReceived = std::min(received + n, m_nFrameSize);
    } else {
        // The frame is full and waits to be drawn: collect what follows it.
        if (m_nRxLength >= m_nFrameSize)
            m_nRxLength = 0;
        uint32_t n = 0;
        if (port == nullptr || port->ReadAvailable(m_pRxBuffer.get() + m_nRxLength,
                                                   m_nFrameSize - m_nRxLength, n) != 0) {
            ShowStatus(kRollbackReadFailed);
            StopWorker();
            return 1;
        }
        m_nRxLength += n;
    }
    StartDrawingPass();
    return 0;
}

void CCaptureBase::StartDrawingPass() {
    {
        std::lock_guard<std::mutex> lock(m_stateLock);
        const uint32_t received = m_nReceived;
        if (received == 0 || received <= m_nDrawn || (!m_bShowImage && !m_bShowValues) ||
            m_bDrawing)
            return;
        // Marked here rather than by the new thread, so that neither the next
        // poll nor the rollback check can miss a pass that has not run yet.
        m_bDrawing = 1;
        if (m_nMode == 1)
            m_bFrameDone = 0;
    }
    ShowStatus(kDrawing);
    JoinDrawingPass();  // the previous pass has cleared m_bDrawing: it is done
    try {
        m_drawThread = std::thread(
            m_nMode == 1 ? &CCaptureBase::DrawContinuousProc : &CCaptureBase::DrawSingleProc, this);
    } catch (const std::exception&) {
        m_bDrawing = 0;
        return;
    }
    std::this_thread::sleep_for(kPoll);
}

void CCaptureBase::JoinDrawingPass() {
    if (m_drawThread.joinable())
        m_drawThread.join();
}

// ---------------------------------------------------------------------------
// Rendering

unsigned CCaptureBase::DrawSingleProc(void* param) {
    auto* e = static_cast<CCaptureBase*>(param);
    if (e->m_bShowImage) {
        if (e->m_bShowValues)
            e->DrawGrayWithValues(e->m_nRowGap, e->m_nColumnGap);
        else
            e->DrawImage(e->m_nRowGap, e->m_nColumnGap);
    } else if (e->m_bShowValues) {
        e->ListValues(e->m_nRowGap, e->m_nColumnGap);
    }
    return 0;
}

unsigned CCaptureBase::DrawContinuousProc(void* param) {
    auto* e = static_cast<CCaptureBase*>(param);
    e->DrawRolling(e->m_nRowGap, e->m_nColumnGap);
    return 0;
}

void CCaptureBase::OnFrameDone() {
    std::lock_guard<std::mutex> lock(m_stateLock);
    m_bFrameDone = 1;
    m_nReceived = 0;
    m_nDrawn = 0;
    m_bHeaderFound = 0;
    m_nNextRow = 0;
    m_nNextDisplayRow = 0;
}

uint32_t CCaptureBase::BeginPass(bool rolling) {
    std::lock_guard<std::mutex> lock(m_stateLock);
    m_bDrawing = 1;
    if (rolling)
        m_bFrameDone = 0;
    const uint32_t received = m_nReceived;
    m_nDrawn = received;
    return received;
}

CCaptureBase::PassGeometry CCaptureBase::Geometry(uint32_t received, uint32_t rowGap,
                                                  uint32_t columnGap, bool listingOnly) const {
    // 64-bit steps: a gap of 4294967295 is a step past every row, not 0.
    PassGeometry g{};
    g.rowStep = uint64_t{rowGap} + 1;
    g.columnStep = uint64_t{columnGap} + 1;
    g.displayRows = (uint64_t{m_nRows} + rowGap) / g.rowStep;
    g.displayColumns = (uint64_t{m_nColumns} + columnGap) / g.columnStep;
    if (!m_bScaleToArea) {
        g.block = 1;
    } else if (g.displayRows == 0 || g.displayColumns == 0) {
        g.block = 0;
    } else {
        // Each side is kept within 0..255 rather than cut to its low 8 bits.
        const int64_t w = std::clamp<int64_t>(
            std::max(m_nAreaWidth, 0) / static_cast<int64_t>(g.displayColumns), 0, 255);
        const int64_t h = std::clamp<int64_t>(
            std::max(m_nAreaHeight, 0) / static_cast<int64_t>(g.displayRows), 0, 255);
        g.block = static_cast<uint8_t>(std::min(w, h));
    }
    uint32_t rows = 0;
    if (m_nColumns != 0)
        rows =
            (m_byFormat == 1 && !listingOnly) ? (received / 3) / m_nColumns : received / m_nColumns;
    g.availableRows = std::min(rows, m_nRows);
    return g;
}

int CCaptureBase::PlotPixel(uint32_t row, uint32_t column, uint8_t block, uint64_t displayRow,
                            uint64_t displayColumn, CPictureSurface::DC& dc) {
    const uint64_t index = uint64_t{row} * m_nColumns + column;
    uint32_t rgb;
    if (m_byFormat == 0) {
        const uint32_t v = m_pFrame[index];
        rgb = (v << 16) | (v << 8) | v;
    } else if (m_byFormat == 1) {
        const uint64_t t = index * 3;
        const YuvTables& k = Yuv();
        const uint8_t u = m_pFrame[t], y = m_pFrame[t + 1], v = m_pFrame[t + 2];
        const double yc = k.y[y];
        const int red = Channel(yc + k.vRed[v]);
        const int green = Channel(yc - k.vGreen[v] - k.uGreen[u]);
        const int blue = Channel(yc + k.uBlue[u]);
        rgb = (static_cast<uint32_t>(red) << 16) | (static_cast<uint32_t>(green) << 8) |
              static_cast<uint32_t>(blue);
    } else {
        return 1;
    }
    const int64_t x = static_cast<int64_t>(std::min<uint64_t>(displayColumn * block, INT64_MAX));
    const int64_t y = static_cast<int64_t>(std::min<uint64_t>(displayRow * block, INT64_MAX));
    dc.FillBlock(x, y, block, rgb);
    return 1;
}

int CCaptureBase::DrawImage(uint32_t rowGap, uint32_t columnGap) {
    return SinglePass(Pass::Image, rowGap, columnGap);
}

int CCaptureBase::DrawGrayWithValues(uint32_t rowGap, uint32_t columnGap) {
    return SinglePass(Pass::GrayWithValues, rowGap, columnGap);
}

int CCaptureBase::ListValues(uint32_t rowGap, uint32_t columnGap) {
    return SinglePass(Pass::Values, rowGap, columnGap);
}

int CCaptureBase::SinglePass(Pass kind, uint32_t rowGap, uint32_t columnGap) {
    const uint32_t received = BeginPass(false);
    // The picture with the listing is for grayscale frames only.
    if ((kind == Pass::GrayWithValues && m_byFormat != 0) || !m_pFrame || received == 0) {
        m_bDrawing = 0;
        return 0;
    }
    const bool image = kind != Pass::Values;
    const bool values = kind != Pass::Image;
    if (values)
        ClearValueList();
    const PassGeometry g = Geometry(received, rowGap, columnGap, kind == Pass::Values);
    CPictureSurface::DC dc(m_wndPicture);
    // Every pass starts at row 0 and draws the complete rows it was given.
    uint64_t displayRow = 0;
    for (uint64_t row = 0; row < g.availableRows; row += g.rowStep, ++displayRow) {
        uint64_t displayColumn = 0;
        for (uint64_t column = 0; column < m_nColumns; column += g.columnStep, ++displayColumn) {
            if (m_bStopped) {
                // Aborted: what is drawn stays; neither the frame nor the
                // capture ends here.
                dc.Flush();
                m_bDrawing = 0;
                return 1;
            }
            if (image)
                PlotPixel(static_cast<uint32_t>(row), static_cast<uint32_t>(column), g.block,
                          displayRow, displayColumn, dc);
            if (values)
                AppendValue(m_pFrame[row * m_nColumns + column], 0);
        }
        dc.Flush();
        if (values)
            AppendValue(0, 1);
    }
    if (g.availableRows >= m_nRows) {
        if (kind == Pass::Image) {
            OnFrameDone();
            StopWorker();
        } else {
            StopWorker();
            OnFrameDone();
        }
    }
    m_bDrawing = 0;
    return 1;
}

int CCaptureBase::DrawRolling(uint32_t rowGap, uint32_t columnGap) {
    const uint32_t received = BeginPass(true);
    if (!m_pFrame || received == 0) {
        m_bDrawing = 0;
        return 0;
    }
    const PassGeometry g = Geometry(received, rowGap, columnGap, false);
    CPictureSurface::DC dc(m_wndPicture);
    uint64_t row = m_nNextRow;
    uint64_t displayRow = m_nNextDisplayRow;
    while (row < g.availableRows) {
        uint64_t displayColumn = 0;
        for (uint64_t column = 0; column < m_nColumns; column += g.columnStep, ++displayColumn) {
            if (m_bStopped) {
                dc.Flush();
                StopWorker();
                std::lock_guard<std::mutex> lock(m_stateLock);
                m_bDrawing = 0;
                m_bFrameDone = 1;
                return 1;
            }
            PlotPixel(static_cast<uint32_t>(row), static_cast<uint32_t>(column), g.block,
                      displayRow, displayColumn, dc);
            if (m_bShowValues)
                AppendValue(m_pFrame[row * m_nColumns + column], 0);
        }
        dc.Flush();
        if (m_bShowValues)
            AppendValue(0, 1);
        row += g.rowStep;
        ++displayRow;
        m_nNextRow = static_cast<uint32_t>(std::min<uint64_t>(row, UINT32_MAX));
        m_nNextDisplayRow = static_cast<uint32_t>(std::min<uint64_t>(displayRow, UINT32_MAX));
    }
    if (g.availableRows >= m_nRows)
        OnFrameDone();
    m_bDrawing = 0;
    return 1;
}
