#include "capture/CaptureBase.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <new>

#include "serial/PortOwner.h"

const char kWelcomeText[] = "Tavix工作室欢迎您使用TavixTool！";

namespace {

using std::chrono::milliseconds;
using Clock = std::chrono::steady_clock;

const char kOpenFailed[] = "打开串口失败，请检查串口是否无效或者被占用";
const char kNoMemory[] = "内存不足，无法分配图像缓冲区";
const char kSearching[] = "正在找数据头，请稍等...";
const char kDrawing[] = "显示整幅图可能需要几十秒哦，请稍等...";
const char kNoData[] = "未接收到串口数据";
const char kSearchReadFailed[] = "出错啦！读串口数据失败";
const char kFrameReadFailed[] = "读串口数据失败";
const char kRollbackReadFailed[] = "读回滚数据失败";

// The longest wait for data; the stop request and a pass's end cut it short.
const milliseconds kPoll(50);
const milliseconds kStopWait(500);

// The receive buffer holds two whole frames (so that a newer whole frame can
// be found behind one) and a read's worth besides. For frames beyond this size
// it holds one frame and this much more: such a frame takes minutes on a line.
constexpr uint64_t kLargeFrame = 16u << 20;
constexpr uint64_t kReadRoom = 64u << 10;

uint32_t RxCapacity(uint32_t frameSize) {
    const uint64_t whole = uint64_t{frameSize} + 1;
    const uint64_t capacity = whole + std::min(whole, kLargeFrame) + kReadRoom;
    return static_cast<uint32_t>(std::min<uint64_t>(capacity, UINT32_MAX));
}

constexpr uint32_t kNoHeader = 0xFFFFFFFFu;

SerialPort* OwnersPort() {
    CPortOwner* owner = GetPortOwner();
    return owner != nullptr ? &owner->m_port : nullptr;
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
      m_nRxCapacity(0),
      m_bHeaderFound(0),
      m_bStopped(0),
      m_bDrawing(0),
      m_bFrameDone(0),
      m_nNextRow(0),
      m_nNextDisplayRow(0) {}

CCaptureBase::~CCaptureBase() {
    ShutdownEngine();
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
    // Waits for the worker's end. Called by the worker itself, the wait cannot
    // end early and lasts the full time.
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
    m_bCheckSuccessor = false;
    m_lastData = Clock::time_point();
    m_nFrameCompleteNs = 0;
    m_link.Reset();
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
    m_nRxCapacity = 0;
    const uint32_t capacity = RxCapacity(m_nFrameSize);
    m_pFrame = AllocateBuffer(m_nFrameSize);
    if (m_pFrame)
        m_pRxBuffer = AllocateBuffer(capacity);
    if (m_pFrame && m_pRxBuffer) {
        m_nRxCapacity = capacity;
        return true;
    }
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
        owner->OpenPort(m_portChoice);
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
    // The page's controls are disabled while the worker runs; the mode it was
    // started with holds to the end.
    const int mode = m_nMode;

    while (!m_hStopEvent.TryWait()) {
        // Waits for data, a stop request or the end of a drawing pass, at most
        // 50 ms. With the receive buffer full, or no mode to receive in, the
        // port's data would wake it at once without being taken: then only
        // the wake and the time-out count.
        const bool takesData = (mode == 0 || mode == 1) && m_nRxLength < m_nRxCapacity;
        if (SerialPort* port = OwnersPort())
            port->WaitForData(static_cast<int>(kPoll.count()), &m_wake, takesData);
        else
            std::this_thread::sleep_for(kPoll);
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
//
// Every poll drains the port into the receive buffer, then takes frames out of
// it: a header starts a frame, the bytes after it fill the frame buffer, and
// while a full frame waits to be drawn the bytes behind it stay in the receive
// buffer as the next frames' data. Nothing in step with the frames is dropped,
// except whole frames passed over for a newer whole frame behind them.

int CCaptureBase::FindHeader(uint32_t& position) {
    ShowStatus(kSearching);
    position = SearchHeader();
    return position != kNoHeader ? 1 : 0;
}

uint32_t CCaptureBase::SearchHeader() const {
    const uint32_t length = m_nRxLength;
    if (length == 0)
        return kNoHeader;
    const uint8_t* rx = m_pRxBuffer.get();
    const uint8_t* end = rx + length;
    const uint64_t step = uint64_t{m_nFrameSize} + 1;
    const void* first = std::memchr(rx, m_byHeader, length);
    // A header byte whose successor, a frame later, is a header too is a real
    // frame start; a pixel of the header's value rarely is. Without such
    // evidence the first header byte is taken.
    for (const uint8_t* p = static_cast<const uint8_t*>(first); p != nullptr;) {
        const uint64_t next = static_cast<uint64_t>(p - rx) + step;
        if (next >= length)
            break;  // too short to tell, here and further on
        if (rx[next] == m_byHeader)
            return static_cast<uint32_t>(p - rx);
        p = static_cast<const uint8_t*>(std::memchr(p + 1, m_byHeader, end - (p + 1)));
    }
    return first != nullptr ? static_cast<uint32_t>(static_cast<const uint8_t*>(first) - rx)
                            : kNoHeader;
}

void CCaptureBase::DropRx(uint32_t n) {
    n = std::min(n, m_nRxLength);
    if (n < m_nRxLength)
        std::memmove(m_pRxBuffer.get(), m_pRxBuffer.get() + n, m_nRxLength - n);
    m_nRxLength -= n;
}

void CCaptureBase::SkipToNewestFrame() {
    // Frame k of the buffer starts at k * (frame size + 1). It is passed over
    // when it starts with a header and frame k + 1, whole, starts with one too.
    const uint64_t step = uint64_t{m_nFrameSize} + 1;
    const uint8_t* rx = m_pRxBuffer.get();
    uint64_t skip = 0;
    while ((skip + 2) * step <= m_nRxLength && rx[skip * step] == m_byHeader &&
           rx[(skip + 1) * step] == m_byHeader) {
        ++skip;
        m_link.FrameSkipped();
    }
    DropRx(static_cast<uint32_t>(skip * step));
}

void CCaptureBase::TakeFrameStart(uint32_t position) {
    DropRx(position);  // what came before the header
    SkipToNewestFrame();
    DropRx(1);  // the header
    // The frame begins empty; the filling step moves the bytes behind the
    // header into it.
    {
        std::lock_guard<std::mutex> lock(m_stateLock);
        m_nReceived = 0;
        m_bHeaderFound = 1;
    }
    m_link.FrameStarted();
}

void CCaptureBase::Consume(bool continuous) {
    const uint32_t frameSize = m_nFrameSize;
    for (;;) {
        int headerFound, frameDone;
        uint32_t received;
        {
            std::lock_guard<std::mutex> lock(m_stateLock);
            headerFound = m_bHeaderFound;
            frameDone = m_bFrameDone;
            received = m_nReceived;
        }
        // A single-frame capture whose frame has been drawn takes nothing more.
        if (!continuous && frameDone) {
            m_nRxLength = 0;
            return;
        }
        // In step, the byte after a frame is the next frame's header. When it
        // is not, bytes were lost or the settings are wrong: the frame just
        // received is suspect, and the stream is searched again.
        if (m_bCheckSuccessor && m_nRxLength > 0) {
            m_bCheckSuccessor = false;
            if (m_pRxBuffer[0] != m_byHeader)
                m_link.Resync();
        }

        if (headerFound && received >= frameSize) {
            // Full: the frame waits to be drawn. In a single-frame capture
            // what follows it goes. In a continuous one it is the next frames'
            // data, kept from a header on, newest whole frame first.
            if (!continuous) {
                m_nRxLength = 0;
                return;
            }
            if (m_nRxLength > 0 && m_pRxBuffer[0] != m_byHeader) {
                const uint32_t position = SearchHeader();
                DropRx(position != kNoHeader ? position : m_nRxLength);
            }
            SkipToNewestFrame();
            return;
        }

        if (!headerFound) {
            if (m_nRxLength == 0)
                return;
            uint32_t position;
            if (!FindHeader(position)) {
                m_nRxLength = 0;  // no header in it: nothing to keep
                return;
            }
            TakeFrameStart(position);
            if (continuous) {
                ClearValueList();
                ClearPicture();
            }
            continue;
        }

        // Filling.
        if (m_nRxLength == 0)
            return;
        const uint32_t n = std::min(m_nRxLength, frameSize - received);
        std::memcpy(m_pFrame.get() + received, m_pRxBuffer.get(), n);
        DropRx(n);
        if (received + n >= frameSize) {
            m_nFrameCompleteNs = std::chrono::duration_cast<std::chrono::nanoseconds>(
                                     Clock::now().time_since_epoch())
                                     .count();
            m_bCheckSuccessor = continuous;
        }
        // Published under the lock: a pass that reads m_nReceived then sees
        // the bytes below it.
        std::lock_guard<std::mutex> lock(m_stateLock);
        m_nReceived = received + n;
    }
}

const char* CCaptureBase::Drain(bool continuous, bool& got) {
    got = false;
    SerialPort* port = OwnersPort();
    for (;;) {
        Consume(continuous);
        const uint32_t room = m_nRxCapacity - m_nRxLength;
        if (room == 0)
            return nullptr;  // the rest waits in the port until bytes are taken
        uint32_t n = 0;
        if (port == nullptr || port->ReadAvailable(m_pRxBuffer.get() + m_nRxLength, room, n) != 0) {
            // The text says where reception was when the read failed.
            std::lock_guard<std::mutex> lock(m_stateLock);
            if (!m_bHeaderFound)
                return kSearchReadFailed;
            if (continuous && m_nReceived >= m_nFrameSize)
                return kRollbackReadFailed;
            return kFrameReadFailed;
        }
        if (n > 0) {
            got = true;
            m_lastData = Clock::now();
            m_link.AddBytes(n);
            m_nRxLength += n;
        }
        if (n < room) {  // the port is drained
            Consume(continuous);
            return nullptr;
        }
    }
}

int CCaptureBase::Receive(bool continuous) {
    if (!m_pFrame || !m_pRxBuffer)
        return 0;
    bool got = false;
    if (const char* failure = Drain(continuous, got)) {
        ShowStatus(failure);
        // A device that has gone stays closed, not open on a dead descriptor.
        if (CPortOwner* owner = GetPortOwner())
            owner->OnReadFailed();
        StopWorker();
        return 1;
    }
    if (continuous && !got && m_nRxLength == 0 && m_bHeaderFound == 0 &&
        (m_lastData == Clock::time_point() || Clock::now() - m_lastData >= kPoll))
        ShowStatus(kNoData);  // searching, and the line has been quiet for a poll
    StartDrawingPass();
    return 0;
}

int CCaptureBase::ReceiveSingle(uint32_t) {
    return Receive(false);
}

int CCaptureBase::ReceiveContinuous(uint32_t) {
    return Receive(true);
}

void CCaptureBase::StartDrawingPass() {
    {
        std::lock_guard<std::mutex> lock(m_stateLock);
        const uint32_t received = m_nReceived;
        if (received == 0 || received <= m_nDrawn || (!m_bShowImage && !m_bShowValues) ||
            m_bDrawing)
            return;
        // Marked here rather than by the new thread, so that the next poll
        // cannot miss a pass that has not run yet.
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
    }
}

void CCaptureBase::JoinDrawingPass() {
    if (m_drawThread.joinable())
        m_drawThread.join();
}

// ---------------------------------------------------------------------------
// Rendering

void CCaptureBase::EndPass() {
    {
        std::lock_guard<std::mutex> lock(m_stateLock);
        m_bDrawing = 0;
    }
    // More may have arrived while this pass drew: the worker looks at once
    // instead of at its next data or time-out.
    m_wake.Signal();
}

void CCaptureBase::CountFrameDrawn() {
    const int64_t complete = m_nFrameCompleteNs.load();
    const int64_t now =
        std::chrono::duration_cast<std::chrono::nanoseconds>(Clock::now().time_since_epoch())
            .count();
    m_link.FrameDrawn(complete > 0 && now > complete ? static_cast<uint64_t>(now - complete) / 1000
                                                     : 0);
}

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
        EndPass();
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
                EndPass();
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
        CountFrameDrawn();
        if (kind == Pass::Image) {
            OnFrameDone();
            StopWorker();
        } else {
            StopWorker();
            OnFrameDone();
        }
    }
    EndPass();
    return 1;
}

int CCaptureBase::DrawRolling(uint32_t rowGap, uint32_t columnGap) {
    const uint32_t received = BeginPass(true);
    if (!m_pFrame || received == 0) {
        EndPass();
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
                {
                    std::lock_guard<std::mutex> lock(m_stateLock);
                    m_bFrameDone = 1;
                }
                EndPass();
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
    if (g.availableRows >= m_nRows) {
        CountFrameDrawn();
        OnFrameDone();
    }
    EndPass();
    return 1;
}
