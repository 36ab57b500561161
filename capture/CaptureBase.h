// The acquisition engine each capture page is built on: a worker thread that
// waits for the serial port's data (at most 50 ms at a time), frame reception
// with header search, and drawing passes that paint the frame and feed the
// page's value listing. One class in three files by concern: the worker's
// life (CaptureBase.cpp), reception (CaptureBaseReception.cpp) and drawing
// (CaptureBaseRendering.cpp); pixel conversion and geometry are pure
// functions in PixelFormat.h.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "capture/AutoResetEvent.h"
#include "capture/FrameCopy.h"
#include "capture/LinkStatistics.h"
#include "capture/PictureSurface.h"
#include "capture/PixelFormat.h"
#include "serial/PortOwner.h"
#include "serial/WakeEvent.h"
#include "stream/Framer.h"
#include "stream/JpegDecoder.h"
#include "stream/StreamFormat.h"

class CRecordingWriter;

// A recording's state as the page shows it.
struct CRecordingState {
    bool active = false;  // bytes read go into the recording
    bool failed = false;  // a write failed: the recording ended there
    uint64_t bytes = 0;   // line bytes recorded
    std::string path;
    std::string error;  // why it failed, for the user
};

// The welcome text a page shows when it opens and after every capture
// (Chinese); WelcomeText() is it in the chosen language, for display.
extern const char kWelcomeText[];
const char* WelcomeText();

class CCaptureBase {
public:
    CCaptureBase();
    // Stops the worker and waits until it and every drawing pass have ended
    // before the buffers go. A derived page must call ShutdownEngine() first
    // in its own destructor: the engine's threads call the page's operations.
    virtual ~CCaptureBase();

    // --- The page's operations, called on the engine's threads -------------
    // The engine never waits for the user-interface thread: a page carries
    // ShowStatus, OnCaptureBegin and OnCaptureEnd over to it without waiting,
    // in call order. The others must be safe to call from any thread.
    virtual void ShowStatus(std::string text) = 0;  // UTF-8
    virtual void OnCaptureBegin() = 0;
    virtual void OnCaptureEnd() = 0;
    virtual void ClearPicture() = 0;
    virtual void ClearValueList() = 0;
    // (v, 0) appends one pixel value, (0, 1) ends a displayed row.
    virtual void AppendValue(uint8_t value, int endOfRow) = 0;

    // --- Control, from the user-interface thread ----------------------------
    // 1 when a worker thread was started, 0 otherwise (one already runs).
    // Takes the port owner's current port choice (m_portChoice) first.
    int StartWorker();
    // Asks the worker to stop and waits for it at most 500 ms.
    void StopWorker();
    // Stops the worker and waits, without bound, until the worker and every
    // drawing pass have ended. Idempotent.
    void ShutdownEngine();

    // --- Worker ------------------------------------------------------------
    void ResetState();
    void Execute_Base();
    static unsigned WorkerProc(void* param);
    // A drawing pass has drawn the last row of the frame: reception looks for
    // the next header. One step as far as the worker can see.
    void OnFrameDone();

    // --- Reception: one poll each; 1 when a read failed, else 0 -------------
    // A poll drains what the port has queued into the receive buffer and
    // takes frames from it. `space`, the frame's free space, is not needed:
    // no read is bounded by it any more.
    int ReceiveSingle(uint32_t space);
    int ReceiveContinuous(uint32_t space);
    // Shows the searching text and looks for the header in the receive
    // buffer: the first header byte that is followed, a frame later, by
    // another header byte; when the buffer is too short to tell, or no header
    // is followed by one, the first header byte.
    int FindHeader(uint32_t& position);

    // What reception has seen since the capture started; any thread.
    CLinkStatistics GetLinkStatistics() const { return m_link.Snapshot(); }
    // The rows and columns of the last frame whose size the line carried
    // (formats with geometry from the wire); false before the first such
    // frame of this capture. Any thread.
    bool WireGeometry(uint32_t& rows, uint32_t& columns) const;

    // --- What a capture leaves; any thread ---------------------------------
    // The last frame drawn whole, exactly as received; false before the first.
    bool LastFrame(CFrameCopy& frame) const;
    // Called on the drawing thread with every frame drawn whole, once
    // LastFrame has it. Set only while no capture runs.
    std::function<void(const CFrameCopy&)> m_onFrameDrawn;
    // Shows `frame` as if it had been received whole (its rows, columns and
    // bytes; the page's format, gaps, scaling and area): one drawing pass on
    // the calling thread. False while a capture runs or when the buffers
    // cannot be had. User-interface thread.
    bool ShowStillFrame(const CFrameCopy& frame);

    // --- Recording: every byte the port delivers, as it comes --------------
    // Writes every chunk read from now on into `writer` (open), with its time
    // since this call; a recording already running is closed first. A write
    // that fails ends the recording; the capture goes on. Any thread.
    void StartRecording(std::unique_ptr<CRecordingWriter> writer);
    // Closes the recording; its state as it ended.
    CRecordingState StopRecording();
    CRecordingState GetRecordingState() const;

    // The last bytes the port delivered in this or the last capture (at most
    // kRecentBytes), for a look at what the line carries; `seconds` is the
    // time from the first of them to the last. False when there are none.
    // Any thread.
    bool RecentBytes(std::vector<uint8_t>& bytes, double& seconds) const;
    static constexpr size_t kRecentBytes = 1u << 20;

    // --- Rendering -----------------------------------------------------------
    static unsigned DrawSingleProc(void* param);
    static unsigned DrawContinuousProc(void* param);
    int DrawImage(uint32_t rowGap, uint32_t columnGap);
    int DrawGrayWithValues(uint32_t rowGap, uint32_t columnGap);
    int ListValues(uint32_t rowGap, uint32_t columnGap);
    int DrawRolling(uint32_t rowGap, uint32_t columnGap);
    int PlotPixel(uint32_t row, uint32_t column, uint8_t block, uint64_t displayRow,
                  uint64_t displayColumn, CPictureSurface::DC& dc);
    // PlotPixel for every displayed column of one row, the row's colours made
    // in one go (the rolling pass: a flat-out board's frames are drawn at the
    // decoder's pace, not at a call per pixel).
    void PlotRow(uint32_t row, uint64_t columnStep, uint8_t block, uint64_t displayRow,
                 CPictureSurface::DC& dc);

    // Replaces m_pFrame and m_pRxBuffer with new buffers for frames of
    // m_nFrameSize bytes: false when they cannot be had.
    bool AllocateBuffers();
    // Bytes m_pFrame holds (a frame's payload never goes beyond).
    uint32_t FrameCapacity() const { return m_nFrameCapacity; }

    // --- Parameters, set by the page before StartWorker -------------------
    uint8_t m_byHeader;
    // -1 none, 0 single frame, 1 continuous. Atomic: a stop click sets it
    // again (to the same value) while the worker reads it.
    std::atomic<int> m_nMode;
    CPictureSurface m_wndPicture;
    // How pixels are shown, changeable at any time (read per pixel):
    // grayscale pixels above m_nPreviewThreshold white and the rest black
    // (-1: as received); colour pixels as their U (0), Y (1) or V (2) byte
    // alone in gray (-1: in colour).
    std::atomic<int> m_nPreviewThreshold{-1};
    std::atomic<int> m_nChannel{-1};
    // Nonzero: the picture changes only when a whole frame has arrived (one
    // pass draws it at once); zero: rows are drawn as their bytes arrive.
    // Changeable at any time.
    std::atomic<int> m_bWholeFramesOnly{0};
    int m_nAreaHeight;
    int m_nAreaWidth;
    int m_bScaleToArea;
    uint8_t m_byFormat;  // 0 grayscale, 1 colour (U, Y, V)
    // What the board sends: framing, encoding (Page: m_byFormat's), request
    // bytes. The design's format by default. Set before StartWorker.
    stream::CStreamFormat m_streamFormat;
    // The current frame's payload bytes: worked out at a capture's start
    // from the format and the page's rows and columns, and at each frame's
    // start where the line carries the size (a compressed frame: UINT32_MAX
    // until its end is found).
    uint32_t m_nFrameSize;
    uint32_t m_nRows;
    uint32_t m_nColumns;
    uint32_t m_nRowGap;
    uint32_t m_nColumnGap;
    int m_bShowImage;
    int m_bShowValues;
    // Nonzero: a continuous capture takes its first frame start only once
    // the next frame's start confirms it (or the line goes quiet), so that a
    // capture begun inside a saturated patch does not take frames out of
    // step; the first frame is then drawn a frame later. Zero (the window):
    // the first header byte found starts the first frame at once. Set before
    // StartWorker.
    int m_bConfirmFirstStart = 0;
    // While a frame is still coming in, drawing passes start at most this
    // often (a slow line's rows are drawn a few at a time, as often as a
    // screen shows them); a frame's last rows are drawn at once. 0: a pass
    // per complete row.
    std::chrono::milliseconds m_passInterval{25};

    // --- Reception and drawing state ----------------------------------------
    std::unique_ptr<uint8_t[]> m_pFrame;
    std::atomic<uint32_t> m_nReceived;
    std::atomic<uint32_t> m_nDrawn;
    // The receive buffer: bytes read and not yet taken (searched bytes, and
    // the next frames' bytes while a frame waits to be drawn). Room for two
    // whole frames and a read, so that the newest whole frame can be found.
    std::unique_ptr<uint8_t[]> m_pRxBuffer;
    uint32_t m_nRxLength;    // worker only
    uint32_t m_nRxCapacity;  // set by AllocateBuffers
    std::atomic<int> m_bHeaderFound;
    CAutoResetEvent m_hStopEvent;
    std::atomic<int> m_bStopped;
    std::atomic<int> m_bDrawing;
    std::atomic<int> m_bFrameDone;
    std::atomic<uint32_t> m_nNextRow;
    std::atomic<uint32_t> m_nNextDisplayRow;

    // The port choice the worker opens a closed port with; taken from the
    // port owner by StartWorker on the user-interface thread.
    CPortChoice m_portChoice;

protected:
    // Where the frame and receive buffers come from; null when the memory
    // cannot be had (the capture then ends with a status text).
    virtual std::unique_ptr<uint8_t[]> AllocateBuffer(uint32_t size);

private:
    // The longest wait for data; the stop request and a pass's end cut it short.
    static constexpr std::chrono::milliseconds kPoll{50};
    // On a slow line, after the first bytes wake it, the worker waits this
    // long for more before it reads, so that it wakes per few milliseconds of
    // bytes rather than per chunk the line happens to deliver. Slow: below
    // kSlowLine bytes per millisecond so far (about 320 kbaud), so that the
    // bytes gathered meanwhile never come near what the port buffers.
    static constexpr std::chrono::milliseconds kGather{8};
    static constexpr uint64_t kSlowLine = 32;
    // The most the worker reads at once.
    static constexpr uint32_t kReadPiece = 64 * 1024;
    // The line has been slow since the capture's first byte. Worker only.
    bool SlowLine() const;

    // The engine whose worker or drawing pass runs on this thread, if any:
    // such a thread never waits for the worker to end.
    static thread_local const CCaptureBase* s_ownThread;
    // The display choices the picture was last cleared or drawn with; a frame
    // start clears the picture only when they have changed since. Worker only.
    int m_nShownThreshold = -1;
    int m_nShownChannel = -1;
    // The drawing status has been shown for the current frame. Worker only.
    bool m_bDrawingShown = false;
    // The capture's first byte and the bytes read since. Worker only.
    std::chrono::steady_clock::time_point m_firstData;
    uint64_t m_nBytesRead = 0;
    // When the worker last started a pass. Worker only.
    std::chrono::steady_clock::time_point m_lastPass;
    // A pass is worth starting: complete rows it may draw that no pass has
    // drawn (all of them, when only whole frames are shown). m_stateLock held.
    bool PassDueLocked() const;
    // The least time without data before the line is said to be quiet.
    static constexpr std::chrono::milliseconds kQuietLine{1000};

    // The port of the process's port owner; null without one.
    static SerialPort* OwnersPort();
    // Clears the current frame's reception and drawing progress; the caller
    // holds m_stateLock.
    void ClearFrameLocked();

    struct PassGeometry : pixel::Geometry {
        uint32_t availableRows;  // complete rows the pass may draw
    };
    PassGeometry Geometry(uint32_t received, uint32_t rowGap, uint32_t columnGap,
                          bool listingOnly) const;
    // Marks the pass begun and returns the m_nReceived it may read below.
    uint32_t BeginPass(bool rolling);
    // The end of a pass: m_bDrawing cleared, and the worker woken when there
    // is more to do at once (the next frame, or rows that came meanwhile).
    void EndPass();
    // A pass has drawn the frame's last row: counted, with its latency.
    void CountFrameDrawn();
    enum class Pass { Image, GrayWithValues, Values };
    // The single-frame renderers: one pass from row 0 over the complete rows.
    int SinglePass(Pass kind, uint32_t rowGap, uint32_t columnGap);
    // One poll of either mode.
    int Receive(bool continuous);
    // Reads what is queued into the receive buffer until the port is drained
    // or the buffer is full, taking frames out of it in between. The failure
    // text when a read failed, else null; `got` tells whether any byte came.
    const char* Drain(bool continuous, bool& got);
    // Takes what the receive buffer holds: frame starts, frame bytes, checks
    // and skips. Worker only.
    void Consume(bool continuous);
    // Header search over the receive buffer (no status text); 0xFFFFFFFF
    // when there is none.
    uint32_t SearchHeader() const;
    // Skips whole frames at the front of the receive buffer while a newer
    // whole frame follows at its exact place.
    void SkipToNewestFrame();
    // The same; `header` becomes the header of the frame left at the front
    // when frames were passed over.
    void SkipToNewestFrame(stream::FrameHeader& header);
    // Drops the first n bytes of the receive buffer.
    void DropRx(uint32_t n);
    // Takes the frame whose start is at `position`: false when it was not
    // one after all (the bytes it dropped are gone).
    bool TakeFrameStart(uint32_t position, stream::FrameHeader header);
    void StartDrawingPass();
    void JoinDrawingPass();
    void EndWorker();
    // Waits until every worker started has ended, then joins them.
    void JoinEndedWorkers();
    void EndEarly(const char* text);

    // Guards the reception state shared with drawing passes: m_nReceived,
    // m_bHeaderFound, m_nDrawn, m_bDrawing and m_bFrameDone change together
    // under it, so neither side sees half of an update. Never held while a
    // page operation runs.
    std::mutex m_stateLock;

    // Worker thread bookkeeping. m_hThread is the held handle; a released
    // handle moves to m_released and is joined later by the user-interface
    // thread, never by the thread itself.
    std::mutex m_threadLock;
    std::condition_variable m_threadCv;
    std::unique_ptr<std::thread> m_hThread;
    std::vector<std::unique_ptr<std::thread>> m_released;
    uint64_t m_nWorkerSerial = 0;  // serial of the newest worker started
    uint64_t m_nWorkerEnded = 0;   // serial of the newest worker that has ended

    // The running drawing pass, started and joined by the worker only.
    std::thread m_drawThread;

    // Ends the worker's wait for data early: a stop request, or a pass that
    // has ended (the worker may start the next one at once).
    CWakeEvent m_wake;
    CLinkCounters m_link;

    // Worker only.
    bool m_bCheckSuccessor = false;  // the byte after the last full frame is still to check
    std::chrono::steady_clock::time_point m_lastData;  // the last byte, or the capture's start
    // No byte for a second, or for three frame times on a slow line.
    bool LineQuiet() const;
    // Passes a chunk just read to the recording, if one runs. Worker only.
    void Record(const uint8_t* data, uint32_t n);
    mutable std::mutex m_recentLock;
    std::deque<std::pair<std::chrono::steady_clock::time_point, std::vector<uint8_t>>> m_recent;
    size_t m_nRecentBytes = 0;
    mutable std::mutex m_recordLock;
    std::unique_ptr<CRecordingWriter> m_pRecorder;
    std::chrono::steady_clock::time_point m_recordStart;

    // The last frame drawn whole, and the frames drawn whole so far.
    mutable std::mutex m_frameLock;
    CFrameCopy m_lastFrame;
    uint64_t m_nFramesDrawn = 0;  // drawing passes only, one at a time

    // When the current frame's last byte was read (steady clock, ns); read by
    // the pass that ends the frame.
    std::atomic<int64_t> m_nFrameCompleteNs{0};
    // Rows << 32 | columns of the last frame sized by the wire; 0 before one.
    std::atomic<uint64_t> m_nWireGeometry{0};

    // --- Stream format ---------------------------------------------------
    // Made at each capture's start from m_streamFormat. Worker only.
    std::unique_ptr<stream::CFramer> m_pFramer;
    stream::Encoding m_formatEncoding = stream::Encoding::Gray8;  // Page resolved
    // Receive-buffer positions before which the line was quiet for the
    // format's gap or a request went out (headerless frames start there).
    std::vector<uint64_t> m_marks;
    bool m_bInStep = false;        // the receive buffer starts right after a frame that checked out
    bool m_bFrameDamaged = false;  // the current frame's bytes showed a loss
    bool m_bHaveCounter = false;   // the board's frame counter, once one came
    uint32_t m_nLastCounter = 0;
    uint32_t m_nFrameCapacity = 0;  // bytes m_pFrame holds
    uint32_t m_nCompletedSize = 0;  // payload bytes of the last frame that came whole
    // The current frame's shape, set at its start under m_stateLock (a
    // compressed frame's by the pass that decodes it); passes draw with it.
    uint32_t m_nFrameRows = 0;
    uint32_t m_nFrameColumns = 0;
    stream::Encoding m_frameEncoding = stream::Encoding::Gray8;
    // A compressed frame's pixels, decoded by the pass that draws it.
    std::vector<uint8_t> m_decoded;
    stream::CJpegDecoder m_jpeg;

    // The framer's view of where the receive buffer stands.
    stream::ScanContext ScanContextNow() const;
    // Makes the framer and works out the frame size: the capture's start.
    void SetUpFormat();
    // A frame starts with `header` at the receive buffer's front: its shape,
    // buffers and counter. False when its buffers cannot be had.
    bool BeginFrame(const stream::FrameHeader& header);
    // Sends `bytes` to the board (a request); a mark for headerless frames.
    void SendRequest(const std::vector<uint8_t>& bytes);
    // A board that sends per request and has gone quiet mid-frame or before
    // answering: the frame is given up and the board asked again.
    void AskAgainIfStalled(bool continuous);
    static constexpr std::chrono::milliseconds kAskAgain{500};
    std::chrono::steady_clock::time_point m_lastAsked;
    // The worker has waited for data since the last bytes came, from
    // m_waitingSince on. Worker only.
    bool m_bWaitingSinceData = false;
    std::chrono::steady_clock::time_point m_waitingSince;
    // The frame's payload is whole (or ended): completion time, the check of
    // what follows, the per-frame request.
    void PayloadComplete(bool continuous);
    // Gives up the current frame (cut short, overlong): counted suspect,
    // reception searches again.
    void AbandonFrame();
    // After a frame whose end did not check out: its last bytes go back in
    // front of the receive buffer, so that a start a lost byte pulled into
    // the payload is found again.
    void ReturnTail();
    // A compressed frame: decodes it into m_decoded and sets its shape. False
    // when it does not decode.
    bool DecodeFrame();
    // A frame that does not decode: counted suspect, not drawn, reception
    // takes the next one.
    void DropUndecodable();
    // What a pass draws from, set at its start (pass only): the payload, or
    // a compressed frame's decoded pixels, their encoding and row length.
    bool PreparePass();
    const uint8_t* m_passPixels = nullptr;
    stream::Encoding m_passEncoding = stream::Encoding::Gray8;
    uint64_t m_passRowBytes = 0;
    // A row's colours and brightness as PlotRow makes them (pass only).
    std::vector<uint32_t> m_rowRgb;
    std::vector<uint8_t> m_rowLuma;
    // The listing's value of a frame pixel.
    uint8_t ListedValue(uint64_t row, uint64_t column) const;
    uint32_t RowsReceived(uint32_t received, bool listingOnly) const;
};
