#include "capture/CaptureBase.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "capture/RecordingWriter.h"
#include "capture/ThreadPriority.h"
#include "serial/PortOwner.h"

// Reception. Every poll drains the port into the receive buffer, then takes
// frames out of it: a header starts a frame, the bytes after it fill the frame
// buffer, and while a full frame waits to be drawn the bytes behind it stay in
// the receive buffer as the next frames' data. Nothing in step with the frames
// is dropped, except whole frames passed over for a newer whole frame behind
// them.

namespace {

using Clock = std::chrono::steady_clock;

const char kSearching[] = "正在找数据头，请稍等...";
const char kDrawing[] = "显示整幅图可能需要几十秒哦，请稍等...";
const char kNoData[] = "未接收到串口数据";
const char kSearchReadFailed[] = "出错啦！读串口数据失败";
const char kFrameReadFailed[] = "读串口数据失败";
const char kRollbackReadFailed[] = "读回滚数据失败";

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

}  // namespace

SerialPort* CCaptureBase::OwnersPort() {
    CPortOwner* owner = GetPortOwner();
    return owner != nullptr ? &owner->m_port : nullptr;
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
            m_bDrawingShown = false;
            if (continuous) {
                // With whole frames only, the listing too keeps the last
                // frame until the next is drawn (the pass clears it).
                if (!m_bWholeFramesOnly)
                    ClearValueList();
                // Each frame is drawn over the one before, so that the
                // picture is always whole; only new display choices (which
                // would mix with the old rows) clear it first.
                const int threshold = m_nPreviewThreshold, channel = m_nChannel;
                if (threshold != m_nShownThreshold || channel != m_nShownChannel) {
                    m_nShownThreshold = threshold;
                    m_nShownChannel = channel;
                    ClearPicture();
                }
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
            Record(m_pRxBuffer.get() + m_nRxLength, n);
            got = true;
            m_lastData = Clock::now();
            m_link.AddBytes(n);
            m_nRxLength += n;
            if (m_nBytesRead == 0)
                m_firstData = m_lastData;
            m_nBytesRead += n;
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
    if (continuous && !got && m_nRxLength == 0 && m_bHeaderFound == 0 && LineQuiet())
        ShowStatus(kNoData);  // searching, and nothing came for a while
    StartDrawingPass();
    return 0;
}

bool CCaptureBase::LineQuiet() const {
    // A board pauses between frames; the line counts as quiet after a second
    // without a byte, or three frame times for slower frames. Before the
    // first byte the time counts from the capture's start.
    const auto interval = std::chrono::microseconds(m_link.Snapshot().frameIntervalMicroseconds);
    const Clock::duration quiet = std::max<Clock::duration>(kQuietLine, 3 * interval);
    return Clock::now() - m_lastData >= quiet;
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
        if (m_bDrawing || !PassDueLocked())
            return;
        // Part of a frame waits for the pass interval; the poll that follows
        // it (data, or the 50 ms time-out) draws it.
        const auto now = Clock::now();
        if (m_nReceived < m_nFrameSize && now - m_lastPass < m_passInterval)
            return;
        m_lastPass = now;
        // Marked here rather than by the new thread, so that the next poll
        // cannot miss a pass that has not run yet.
        m_bDrawing = 1;
        if (m_nMode == 1)
            m_bFrameDone = 0;
    }
    if (!m_bDrawingShown) {
        m_bDrawingShown = true;
        ShowStatus(kDrawing);
    }
    JoinDrawingPass();  // the previous pass has cleared m_bDrawing: it is done
    try {
        m_drawThread = std::thread([this, proc = m_nMode == 1 ? &CCaptureBase::DrawContinuousProc
                                                              : &CCaptureBase::DrawSingleProc] {
            NameThisThread("tavix-draw");
            s_ownThread = this;
            proc(this);
        });
    } catch (const std::exception&) {
        m_bDrawing = 0;
    }
}

bool CCaptureBase::PassDueLocked() const {
    const uint32_t received = m_nReceived;
    if (received == 0 || received <= m_nDrawn || (!m_bShowImage && !m_bShowValues))
        return false;
    if (m_bWholeFramesOnly)
        return received >= m_nFrameSize;
    // A pass draws complete rows only: one is started per row that has come
    // in, not per chunk of bytes.
    const bool listingOnly = !m_bShowImage && m_nMode != 1;
    return received >= m_nFrameSize ||
           pixel::CompleteRows(received, m_nRows, m_nColumns, m_byFormat, listingOnly) >
               pixel::CompleteRows(m_nDrawn, m_nRows, m_nColumns, m_byFormat, listingOnly);
}

void CCaptureBase::JoinDrawingPass() {
    if (m_drawThread.joinable())
        m_drawThread.join();
}

// ---------------------------------------------------------------------------
// Recording

namespace {

CRecordingState StateOf(const CRecordingWriter* writer) {
    CRecordingState state;
    if (writer == nullptr)
        return state;
    state.active = writer->IsOpen() && !writer->Failed();
    state.failed = writer->Failed();
    state.bytes = writer->BytesRecorded();
    state.path = writer->Path();
    state.error = writer->ErrorText();
    return state;
}

}  // namespace

void CCaptureBase::StartRecording(std::unique_ptr<CRecordingWriter> writer) {
    StopRecording();
    std::lock_guard<std::mutex> lock(m_recordLock);
    m_pRecorder = std::move(writer);
    m_recordStart = Clock::now();
}

CRecordingState CCaptureBase::StopRecording() {
    std::lock_guard<std::mutex> lock(m_recordLock);
    if (m_pRecorder)
        m_pRecorder->Close();
    CRecordingState state = StateOf(m_pRecorder.get());
    state.active = false;
    m_pRecorder.reset();
    return state;
}

CRecordingState CCaptureBase::GetRecordingState() const {
    std::lock_guard<std::mutex> lock(m_recordLock);
    return StateOf(m_pRecorder.get());
}

bool CCaptureBase::RecentBytes(std::vector<uint8_t>& bytes, double& seconds) const {
    std::lock_guard<std::mutex> lock(m_recentLock);
    bytes.clear();
    seconds = 0;
    if (m_recent.empty())
        return false;
    bytes.reserve(m_nRecentBytes);
    for (const auto& chunk : m_recent)
        bytes.insert(bytes.end(), chunk.second.begin(), chunk.second.end());
    seconds = std::chrono::duration<double>(m_recent.back().first - m_recent.front().first).count();
    return true;
}

void CCaptureBase::Record(const uint8_t* data, uint32_t n) {
    {
        // The newest bytes are kept for a look at the line; the oldest go.
        std::lock_guard<std::mutex> lock(m_recentLock);
        m_recent.emplace_back(Clock::now(), std::vector<uint8_t>(data, data + n));
        m_nRecentBytes += n;
        while (m_recent.size() > 1 &&
               m_nRecentBytes - m_recent.front().second.size() >= kRecentBytes) {
            m_nRecentBytes -= m_recent.front().second.size();
            m_recent.pop_front();
        }
    }
    std::lock_guard<std::mutex> lock(m_recordLock);
    if (!m_pRecorder || m_pRecorder->Failed())
        return;
    const auto since =
        std::chrono::duration_cast<std::chrono::microseconds>(Clock::now() - m_recordStart);
    m_pRecorder->Write(static_cast<uint64_t>(since.count()), data, n);
}
