#include "capture/CaptureBase.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "capture/RecordingWriter.h"
#include "capture/ThreadPriority.h"
#include "serial/PortOwner.h"
#include "settings/Translation.h"

// Reception. Every poll drains the port into the receive buffer, then takes
// frames out of it: a header starts a frame, the bytes after it fill the frame
// buffer, and while a full frame waits to be drawn the bytes behind it stay in
// the receive buffer as the next frames' data. Nothing in step with the frames
// is dropped, except whole frames passed over for a newer whole frame behind
// them.

namespace {

using Clock = std::chrono::steady_clock;

const char kSearching[] = TX_NOOP("CCaptureBase", "正在找数据头，请稍等...");
const char kDrawing[] = TX_NOOP("CCaptureBase", "显示整幅图可能需要几十秒哦，请稍等...");
const char kNoData[] = TX_NOOP("CCaptureBase", "未接收到串口数据");
const char kSearchReadFailed[] = TX_NOOP("CCaptureBase", "出错啦！读串口数据失败");
const char kFrameReadFailed[] = TX_NOOP("CCaptureBase", "读串口数据失败");
const char kRollbackReadFailed[] = TX_NOOP("CCaptureBase", "读回滚数据失败");

// The receive buffer holds two whole frames (so that a newer whole frame can
// be found behind one) and a read's worth besides. For frames beyond this size
// it holds one frame and this much more: such a frame takes minutes on a line.
constexpr uint64_t kLargeFrame = 16u << 20;
constexpr uint64_t kReadRoom = 64u << 10;

uint32_t RxCapacity(uint64_t frameSize) {
    const uint64_t whole = frameSize + 1;
    const uint64_t capacity = whole + std::min(whole, kLargeFrame) + kReadRoom;
    return static_cast<uint32_t>(std::min<uint64_t>(capacity, UINT32_MAX));
}

// A compressed frame's buffer starts at this size and doubles up to the
// largest compressed frame taken; a frame without an end by then is dropped.
constexpr uint32_t kCompressedStart = 256u << 10;
constexpr uint32_t kCompressedMax = 16u << 20;
// After a frame whose end did not check out, this many of its last bytes are
// searched again for the next frame's start (a lost byte or two pulled it in).
constexpr uint32_t kTailSearched = 8;

constexpr uint32_t kNoHeader = 0xFFFFFFFFu;

const char kTooLarge[] = TX_NOOP("CCaptureBase", "数据流中的帧太大，已跳过");

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
    m_nFrameCapacity = 0;
    const uint32_t frameCapacity =
        stream::Info(m_frameEncoding).compressed && m_nFrameSize == UINT32_MAX ? kCompressedStart
                                                                               : m_nFrameSize;
    const uint32_t capacity = RxCapacity(frameCapacity);
    m_pFrame = AllocateBuffer(frameCapacity);
    if (m_pFrame)
        m_pRxBuffer = AllocateBuffer(capacity);
    if (m_pFrame && m_pRxBuffer) {
        m_nRxCapacity = capacity;
        m_nFrameCapacity = frameCapacity;
        return true;
    }
    m_pFrame.reset();
    m_pRxBuffer.reset();
    return false;
}

void CCaptureBase::SetUpFormat() {
    m_formatEncoding = m_streamFormat.Resolved(m_byFormat == pixel::kUyv);
    stream::FramerSetup setup;
    setup.format = m_streamFormat;
    setup.headerByte = m_byHeader;
    setup.rows = m_nRows;
    setup.columns = m_nColumns;
    setup.encoding = m_formatEncoding;
    m_pFramer = stream::MakeFramer(setup);
    m_marks.clear();
    m_bInStep = false;
    m_bFrameDamaged = false;
    m_bHaveCounter = false;
    m_nLastCounter = 0;
    m_nWireGeometry = 0;
    std::lock_guard<std::mutex> lock(m_stateLock);
    m_nFrameRows = m_nRows;
    m_nFrameColumns = m_nColumns;
    // A page format the engine does not know keeps the frame as it was.
    if (m_streamFormat.encoding == stream::Encoding::Page && m_byFormat != pixel::kGray &&
        m_byFormat != pixel::kUyv)
        return;
    m_frameEncoding = m_formatEncoding;
    if (stream::Info(m_formatEncoding).compressed) {
        m_nFrameSize = UINT32_MAX;
    } else {
        const uint64_t size = stream::FrameBytes(m_formatEncoding, m_nColumns, m_nRows);
        m_nFrameSize = static_cast<uint32_t>(std::min<uint64_t>(size, UINT32_MAX - 1));
    }
}

stream::ScanContext CCaptureBase::ScanContextNow() const {
    stream::ScanContext context;
    context.inStep = m_bInStep;
    context.marks = m_marks.data();
    context.markCount = m_marks.size();
    return context;
}

namespace {

// The marks of `marks` from `offset` on, moved to start there.
struct ShiftedContext {
    std::vector<uint64_t> marks;
    stream::ScanContext context;
    ShiftedContext(const std::vector<uint64_t>& all, uint64_t offset, bool inStep) {
        for (uint64_t m : all)
            if (m >= offset)
                marks.push_back(m - offset);
        context.inStep = inStep;
        context.marks = marks.data();
        context.markCount = marks.size();
    }
};

}  // namespace

int CCaptureBase::FindHeader(uint32_t& position) {
    ShowStatus(tx::Tr("CCaptureBase", kSearching));
    position = SearchHeader();
    return position != kNoHeader ? 1 : 0;
}

uint32_t CCaptureBase::SearchHeader() const {
    if (m_nRxLength == 0 || !m_pFramer)
        return kNoHeader;
    const stream::Search s = m_pFramer->FindStart(m_pRxBuffer.get(), m_nRxLength, ScanContextNow());
    return s.found ? static_cast<uint32_t>(s.offset) : kNoHeader;
}

void CCaptureBase::DropRx(uint32_t n) {
    n = std::min(n, m_nRxLength);
    if (n == 0)
        return;
    if (n < m_nRxLength)
        std::memmove(m_pRxBuffer.get(), m_pRxBuffer.get() + n, m_nRxLength - n);
    m_nRxLength -= n;
    m_bInStep = false;
    if (!m_marks.empty()) {
        size_t kept = 0;
        for (uint64_t m : m_marks)
            if (m >= n)
                m_marks[kept++] = m - n;
        m_marks.resize(kept);
    }
}

void CCaptureBase::SkipToNewestFrame() {
    stream::FrameHeader unused;
    SkipToNewestFrame(unused);
}

void CCaptureBase::SkipToNewestFrame(stream::FrameHeader& header) {
    // The frame at the front is passed over when it lies whole and a newer
    // whole frame follows it.
    const uint8_t* rx = m_pRxBuffer.get();
    for (;;) {
        const size_t length = m_nRxLength;
        const size_t first = m_pFramer->WholeFrameLength(rx, length, ScanContextNow());
        if (first == 0)
            break;
        const ShiftedContext after(m_marks, first, true);
        const stream::Search next = m_pFramer->FindStart(rx + first, length - first, after.context);
        if (!next.found || (next.offset > 0 && m_pFramer->InStepOnly()))
            break;
        const size_t at = first + next.offset;
        const ShiftedContext there(m_marks, at, next.offset == 0);
        if (m_pFramer->WholeFrameLength(rx + at, length - at, there.context) == 0)
            break;
        // A skipped frame's number is no loss of the board's.
        const stream::Search skipped = m_pFramer->FindStart(rx, length, ScanContextNow());
        if (skipped.found && skipped.header.hasCounter) {
            m_bHaveCounter = true;
            m_nLastCounter = skipped.header.counter;
        }
        DropRx(static_cast<uint32_t>(at));
        m_bInStep = next.offset == 0;
        header = next.header;  // the frame now at the front
        m_link.FrameSkipped();
        // A frame passed over came whole: the board is asked for the next.
        if (m_nMode == 1)
            SendRequest(m_streamFormat.requestPerFrame);
    }
}

bool CCaptureBase::BeginFrame(const stream::FrameHeader& header) {
    uint32_t rows = m_nRows, columns = m_nColumns;
    const bool wire = header.width > 0 && header.height > 0;
    if (wire) {
        rows = header.height;
        columns = header.width;
    }
    const stream::Encoding encoding =
        header.encoding != stream::Encoding::Page ? header.encoding : m_formatEncoding;
    const bool compressed = stream::Info(encoding).compressed;
    uint64_t size = UINT32_MAX;
    if (!compressed)
        size = header.payloadLength != stream::kUntilEnd
                   ? header.payloadLength
                   : stream::FrameBytes(encoding, columns, rows);
    if (!compressed && (size == 0 || size > stream::kMaxPayload))
        return false;
    const uint32_t needed =
        compressed ? std::max(m_nFrameCapacity, kCompressedStart) : static_cast<uint32_t>(size);
    if (needed > m_nFrameCapacity || RxCapacity(needed) > m_nRxCapacity) {
        // A larger frame than the buffers hold: new ones, once the last pass
        // (which may still be ending the frame before) is gone.
        JoinDrawingPass();
        std::unique_ptr<uint8_t[]> frame = AllocateBuffer(std::max(needed, m_nFrameCapacity));
        const uint32_t rxCapacity = std::max(RxCapacity(needed), m_nRxCapacity);
        std::unique_ptr<uint8_t[]> rx = AllocateBuffer(rxCapacity);
        if (!frame || !rx)
            return false;
        std::memcpy(rx.get(), m_pRxBuffer.get(), m_nRxLength);
        m_pFrame = std::move(frame);
        m_pRxBuffer = std::move(rx);
        m_nFrameCapacity = std::max(needed, m_nFrameCapacity);
        m_nRxCapacity = rxCapacity;
    }
    {
        std::lock_guard<std::mutex> lock(m_stateLock);
        m_nFrameSize = static_cast<uint32_t>(size);
        m_nFrameRows = rows;
        m_nFrameColumns = columns;
        m_frameEncoding = encoding;
    }
    if (wire)
        m_nWireGeometry = (uint64_t{rows} << 32) | columns;
    if (header.hasCounter) {
        // Numbers the board skipped are frames the line never brought; a
        // jump backwards or by more than 65535 is a board that started over.
        const uint32_t gap = header.counter - m_nLastCounter - 1;
        if (m_bHaveCounter && header.counter != m_nLastCounter + 1 && gap < 65536)
            m_link.FramesLost(gap);
        m_bHaveCounter = true;
        m_nLastCounter = header.counter;
    }
    m_pFramer->BeginFrame(header);
    m_bFrameDamaged = false;
    return true;
}

bool CCaptureBase::TakeFrameStart(uint32_t position, stream::FrameHeader header) {
    DropRx(position);  // what came before the frame's start
    // The frame at the front now: this one, or the newest whole one behind it.
    SkipToNewestFrame(header);
    if (!BeginFrame(header)) {
        // Its size cannot be held: passed over as a false start.
        DropRx(std::max<uint32_t>(1, header.headerLength));
        m_link.Resync();
        ShowStatus(tx::Tr("CCaptureBase", kTooLarge));
        return false;
    }
    DropRx(header.headerLength);  // the header
    // The frame begins empty; the filling step moves the payload into it.
    {
        std::lock_guard<std::mutex> lock(m_stateLock);
        m_nReceived = 0;
        m_bHeaderFound = 1;
    }
    m_link.FrameStarted();
    return true;
}

void CCaptureBase::SendRequest(const std::vector<uint8_t>& bytes) {
    if (bytes.empty())
        return;
    m_lastAsked = Clock::now();
    SerialPort* port = OwnersPort();
    uint32_t written = 0;
    if (port != nullptr)
        port->Write(bytes.data(), static_cast<uint32_t>(bytes.size()), written);
    // What arrives from now on answers the request.
    if (m_marks.empty() || m_marks.back() != m_nRxLength)
        m_marks.push_back(m_nRxLength);
}

void CCaptureBase::PayloadComplete(bool continuous) {
    m_nFrameCompleteNs =
        std::chrono::duration_cast<std::chrono::nanoseconds>(Clock::now().time_since_epoch())
            .count();
    m_bCheckSuccessor = continuous;
    m_nCompletedSize = m_nReceived;
    if (m_bFrameDamaged)
        m_link.Suspect();
    // The next frame is asked for at once (a single capture wants no more).
    if (continuous)
        SendRequest(m_streamFormat.requestPerFrame);
}

void CCaptureBase::AbandonFrame() {
    m_link.Suspect();
    // A pass may be drawing the frame's first rows; the frame ends once it
    // has (passes never wait for the worker).
    JoinDrawingPass();
    std::lock_guard<std::mutex> lock(m_stateLock);
    ClearFrameLocked();
}

void CCaptureBase::ReturnTail() {
    // The frame's bytes stay in m_pFrame until the next frame starts, which
    // cannot happen before this check.
    const uint32_t size = m_nCompletedSize;
    const uint32_t tail = std::min(kTailSearched, size);
    if (tail == 0 || tail > m_nFrameCapacity || m_nRxLength + tail > m_nRxCapacity)
        return;
    std::memmove(m_pRxBuffer.get() + tail, m_pRxBuffer.get(), m_nRxLength);
    std::memcpy(m_pRxBuffer.get(), m_pFrame.get() + size - tail, tail);
    m_nRxLength += tail;
    for (uint64_t& m : m_marks)
        m += tail;
    // The start nearest the frame's end wins: a lost byte pulled in the
    // start's first byte, while a pixel of the start's value further back
    // (a saturated picture) is no start at all.
    const uint8_t* rx = m_pRxBuffer.get();
    size_t best = tail;
    for (size_t p = tail; p-- > 0;) {
        const ShiftedContext context(m_marks, p, false);
        const stream::Search s = m_pFramer->FindStart(rx + p, m_nRxLength - p, context.context);
        if (s.found && s.offset == 0) {
            best = p;
            break;
        }
    }
    DropRx(static_cast<uint32_t>(best));
}

void CCaptureBase::Consume(bool continuous) {
    // The header byte may be changed while a capture runs; the search uses
    // the new one from now on.
    if (m_pFramer && m_pFramer->Setup().headerByte != m_byHeader) {
        stream::FramerSetup setup = m_pFramer->Setup();
        setup.headerByte = m_byHeader;
        m_pFramer = stream::MakeFramer(setup);
    }
    for (;;) {
        int headerFound, frameDone;
        uint32_t received, frameSize;
        {
            std::lock_guard<std::mutex> lock(m_stateLock);
            headerFound = m_bHeaderFound;
            frameDone = m_bFrameDone;
            received = m_nReceived;
            frameSize = m_nFrameSize;
        }
        // A single-frame capture whose frame has been drawn takes nothing more.
        if (!continuous && frameDone) {
            m_nRxLength = 0;
            m_marks.clear();
            return;
        }
        // In step, what follows a frame is its end marker or the next frame's
        // start. When it is not, bytes were lost or the settings are wrong:
        // the frame just received is suspect, and the stream is searched
        // again, from the frame's last bytes on.
        if (m_bCheckSuccessor && m_nRxLength > 0) {
            const stream::End end =
                m_pFramer->CheckEnd(m_pRxBuffer.get(), m_nRxLength, ScanContextNow());
            if (end.kind == stream::End::NeedMore)
                return;
            m_bCheckSuccessor = false;
            if (end.kind == stream::End::Good) {
                DropRx(static_cast<uint32_t>(end.consumed));
                m_bInStep = true;
            } else {
                m_link.Resync();
                ReturnTail();
            }
        }

        if (headerFound && received >= frameSize) {
            // Full: the frame waits to be drawn. In a single-frame capture
            // what follows it goes. In a continuous one it is the next frames'
            // data, kept from a frame start on, newest whole frame first.
            if (!continuous) {
                m_nRxLength = 0;
                m_marks.clear();
                return;
            }
            if (m_bCheckSuccessor || m_nRxLength == 0)
                return;
            const stream::Search s =
                m_pFramer->FindStart(m_pRxBuffer.get(), m_nRxLength, ScanContextNow());
            DropRx(static_cast<uint32_t>(s.offset));
            if (s.found)
                SkipToNewestFrame();
            return;
        }

        if (!headerFound) {
            if (m_nRxLength == 0)
                return;
            ShowStatus(tx::Tr("CCaptureBase", kSearching));
            const stream::Search s =
                m_pFramer->FindStart(m_pRxBuffer.get(), m_nRxLength, ScanContextNow());
            if (!s.found) {
                // Nothing in it starts a frame; only a tail that may begin a
                // start is kept.
                DropRx(static_cast<uint32_t>(s.offset));
                return;
            }
            // Asked to, a capture's first start, a single byte that the next
            // frame's start cannot yet confirm (it may be a pixel of the
            // header's value: the capture began inside a saturated patch of a
            // streaming board's picture), waits for the bytes up to the next
            // frame's start, unless the line has gone quiet or the buffer is
            // full.
            if (m_bConfirmFirstStart && continuous && s.unchecked && !m_bInStep &&
                m_nRxLength < m_nRxCapacity && m_link.Snapshot().framesStarted == 0 && !LineQuiet())
                return;
            if (!TakeFrameStart(static_cast<uint32_t>(s.offset), s.header))
                continue;
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
        size_t available = m_nRxLength;
        bool gapInside = false;
        if (m_pFramer->GapEndsFrame()) {
            // A pause inside a headerless frame: the frame was cut short, and
            // the bytes after the pause start the next one.
            for (uint64_t m : m_marks) {
                if (m < available && (m > 0 || received > 0)) {
                    available = static_cast<size_t>(m);
                    gapInside = true;
                    break;
                }
            }
        }
        const bool compressed = frameSize == UINT32_MAX;
        size_t room = compressed ? m_nFrameCapacity - received : frameSize - received;
        if (compressed && room == 0 && m_nFrameCapacity < kCompressedMax) {
            // A compressed frame longer than its buffer so far: a larger one,
            // with what came of the frame.
            const uint32_t grown = std::min(kCompressedMax, m_nFrameCapacity * 2);
            std::unique_ptr<uint8_t[]> frame = AllocateBuffer(grown);
            if (frame) {
                std::memcpy(frame.get(), m_pFrame.get(), received);
                m_pFrame = std::move(frame);
                m_nFrameCapacity = grown;
                room = grown - received;
            }
        }
        if (compressed && room == 0) {
            AbandonFrame();  // no end within the largest frame taken
            ShowStatus(tx::Tr("CCaptureBase", kTooLarge));
            continue;
        }
        const stream::Take take =
            m_pFramer->TakePayload(m_pRxBuffer.get(), available, m_pFrame.get() + received, room);
        DropRx(static_cast<uint32_t>(take.consumed));
        if (!take.text.empty())
            ShowStatus(take.text);
        if (take.damaged)
            m_bFrameDamaged = true;
        const uint32_t now = received + static_cast<uint32_t>(take.produced);
        const bool whole = !compressed && now >= frameSize;
        if (whole || take.ended) {
            if (!whole && !compressed) {
                // Ended before its size: what came is drawn no further.
                AbandonFrame();
                continue;
            }
            {
                std::lock_guard<std::mutex> lock(m_stateLock);
                if (compressed)
                    m_nFrameSize = now;
                m_nReceived = now;
            }
            PayloadComplete(continuous);
            continue;
        }
        if (gapInside && take.consumed == available) {
            AbandonFrame();  // cut short by the pause
            continue;
        }
        // Published under the lock: a pass that reads m_nReceived then sees
        // the bytes below it.
        {
            std::lock_guard<std::mutex> lock(m_stateLock);
            m_nReceived = now;
        }
        if (take.consumed == 0)
            return;  // the framer waits for more bytes
    }
}

const char* CCaptureBase::Drain(bool continuous, bool& got) {
    got = false;
    SerialPort* port = OwnersPort();
    for (;;) {
        Consume(continuous);
        // A line that never runs dry (a board sending flat out) keeps the
        // worker here: a frame that has come whole is drawn meanwhile.
        StartDrawingPass();
        // Read in pieces: a frame that has come whole is started between
        // them, not after a read of everything the port has gathered.
        const uint32_t room = std::min(m_nRxCapacity - m_nRxLength, kReadPiece);
        if (room == 0)
            return nullptr;  // the rest waits in the port until bytes are taken
        uint32_t n = 0;
        if (port == nullptr || port->ReadAvailable(m_pRxBuffer.get() + m_nRxLength, room, n) != 0) {
            // The text says where reception was when the read failed.
            std::lock_guard<std::mutex> lock(m_stateLock);
            if (!m_bHeaderFound)
                return tx::Tr("CCaptureBase", kSearchReadFailed);
            if (continuous && m_nReceived >= m_nFrameSize)
                return tx::Tr("CCaptureBase", kRollbackReadFailed);
            return tx::Tr("CCaptureBase", kFrameReadFailed);
        }
        if (n > 0) {
            Record(m_pRxBuffer.get() + m_nRxLength, n);
            got = true;
            const auto now = Clock::now();
            // Frames that only the line's pauses mark off start after one:
            // the worker waited that long for these bytes (the capture's
            // first bytes too; bytes that were waiting already are mid-frame).
            if (m_pFramer && m_pFramer->GapEndsFrame() && m_bWaitingSinceData &&
                now - m_waitingSince >= std::chrono::milliseconds(m_streamFormat.gapMilliseconds) &&
                (m_marks.empty() || m_marks.back() != m_nRxLength))
                m_marks.push_back(m_nRxLength);
            m_bWaitingSinceData = false;
            m_lastData = now;
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
        ShowStatus(tx::Tr("CCaptureBase", kNoData));  // searching, and nothing came for a while
    // A first start waiting for the next frame's is taken once the line is
    // quiet.
    if (m_bConfirmFirstStart && continuous && !got && m_nRxLength > 0 && m_bHeaderFound == 0 &&
        LineQuiet())
        Consume(true);
    if (!got)
        AskAgainIfStalled(continuous);
    StartDrawingPass();
    return 0;
}

void CCaptureBase::AskAgainIfStalled(bool continuous) {
    // A board that sends a frame per request waits for the next request; a
    // frame that lost a byte never ends, a request the board missed is never
    // answered. After a quiet while the frame is given up and asked again.
    if (!continuous || m_streamFormat.requestPerFrame.empty())
        return;
    const auto now = Clock::now();
    if (now - m_lastData < kAskAgain || now - m_lastAsked < kAskAgain)
        return;
    bool partial;
    {
        std::lock_guard<std::mutex> lock(m_stateLock);
        partial = m_bHeaderFound && m_nReceived < m_nFrameSize;
        if (m_bHeaderFound && !partial)
            return;  // a whole frame waits to be drawn
    }
    if (partial)
        AbandonFrame();
    m_nRxLength = 0;
    m_marks.clear();
    m_lastAsked = now;
    SendRequest(m_streamFormat.requestPerFrame);
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
        ShowStatus(tx::Tr("CCaptureBase", kDrawing));
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
           RowsReceived(received, listingOnly) > RowsReceived(m_nDrawn, listingOnly);
}

uint32_t CCaptureBase::RowsReceived(uint32_t received, bool listingOnly) const {
    const stream::Encoding encoding = m_frameEncoding;
    if (encoding == stream::Encoding::Gray8 || encoding == stream::Encoding::Uyv)
        return pixel::CompleteRows(received, m_nFrameRows, m_nFrameColumns,
                                   encoding == stream::Encoding::Uyv ? pixel::kUyv : pixel::kGray,
                                   listingOnly);
    // A compressed frame is drawn once it is whole.
    if (stream::Info(encoding).compressed)
        return received >= m_nFrameSize ? m_nFrameRows : 0;
    return stream::CompleteRows(encoding, received, m_nFrameColumns, m_nFrameRows);
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
