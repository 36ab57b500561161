// The acquisition engine each capture page is built on: a worker thread that
// polls the serial port every 50 ms, frame reception with header search, and
// drawing passes that paint the frame and feed the page's value listing.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "capture/AutoResetEvent.h"
#include "capture/PictureSurface.h"

// The welcome text a page shows when it opens and after every capture.
extern const char kWelcomeText[];

class CCaptureBase {
public:
    CCaptureBase();
    // Stops the worker and waits until it and every drawing pass have ended
    // before the buffers go. A derived page must call ShutdownEngine() first
    // in its own destructor: the engine's threads call the page's operations.
    virtual ~CCaptureBase();

    // --- The page's operations, called on the engine's threads -------------
    virtual void ShowStatus(std::string text) = 0;  // UTF-8
    virtual void OnCaptureBegin() = 0;
    virtual void OnCaptureEnd() = 0;
    virtual void ClearPicture() = 0;
    virtual void ClearValueList() = 0;
    // (v, 0) appends one pixel value, (0, 1) ends a displayed row.
    virtual void AppendValue(uint8_t value, int endOfRow) = 0;

    // --- Control, from the user-interface thread ----------------------------
    // 1 when a worker thread was started, 0 otherwise (one already runs).
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
    int ReceiveSingle(uint32_t space);
    int ReceiveContinuous(uint32_t space);
    int FindHeader(uint32_t& position);

    // --- Rendering -----------------------------------------------------------
    static unsigned DrawSingleProc(void* param);
    static unsigned DrawContinuousProc(void* param);
    int DrawImage(uint32_t rowGap, uint32_t columnGap);
    int DrawGrayWithValues(uint32_t rowGap, uint32_t columnGap);
    int ListValues(uint32_t rowGap, uint32_t columnGap);
    int DrawRolling(uint32_t rowGap, uint32_t columnGap);
    int PlotPixel(uint32_t row, uint32_t column, uint8_t block, uint64_t displayRow,
                  uint64_t displayColumn, CPictureSurface::DC& dc);

    // Replaces m_pFrame and m_pRxBuffer with new buffers of m_nFrameSize bytes:
    // false when they cannot be had.
    bool AllocateBuffers();

    // --- Parameters, set by the page before StartWorker -------------------
    uint8_t m_byHeader;
    int m_nMode;  // -1 none, 0 single frame, 1 continuous
    CPictureSurface m_wndPicture;
    int m_nAreaHeight;
    int m_nAreaWidth;
    int m_bScaleToArea;
    uint8_t m_byFormat;  // 0 grayscale, 1 colour (U, Y, V)
    uint32_t m_nFrameSize;
    uint32_t m_nRows;
    uint32_t m_nColumns;
    uint32_t m_nRowGap;
    uint32_t m_nColumnGap;
    int m_bShowImage;
    int m_bShowValues;

    // --- Reception and drawing state ----------------------------------------
    std::unique_ptr<uint8_t[]> m_pFrame;
    std::atomic<uint32_t> m_nReceived;
    std::atomic<uint32_t> m_nDrawn;
    std::unique_ptr<uint8_t[]> m_pRxBuffer;
    uint32_t m_nRxLength;  // worker only
    std::atomic<int> m_bHeaderFound;
    CAutoResetEvent m_hStopEvent;
    std::atomic<int> m_bStopped;
    std::atomic<int> m_bDrawing;
    std::atomic<int> m_bFrameDone;
    std::atomic<uint32_t> m_nNextRow;
    std::atomic<uint32_t> m_nNextDisplayRow;

protected:
    // The page's hook for its cross-thread calls: the user-interface thread
    // (the thread that constructed the engine) runs it while it waits for the
    // engine's threads, so that a worker blocked in a page call can go on.
    virtual void RunPendingPageCalls();
    // Wakes a waiting user-interface thread to run RunPendingPageCalls; a page
    // calls it, from any thread, after queuing a call.
    void WakeWaiter();

public:
    // Wakes the user-interface thread wherever it waits inside an engine, so
    // that it runs the port owner's pending calls (RunPendingOwnerCalls): a
    // worker may be blocked in the owner's OpenPort while the user-interface
    // thread waits for that worker.
    static void WakeAllWaiters();

protected:
    // Where the frame and receive buffers come from; null when the memory
    // cannot be had (the capture then ends with a status text).
    virtual std::unique_ptr<uint8_t[]> AllocateBuffer(uint32_t size);

private:
    struct PassGeometry {
        uint64_t rowStep, columnStep;
        uint64_t displayRows, displayColumns;
        uint8_t block;
        uint32_t availableRows;
    };
    PassGeometry Geometry(uint32_t received, uint32_t rowGap, uint32_t columnGap,
                          bool listingOnly) const;
    // Marks the pass begun and returns the m_nReceived it may read below.
    uint32_t BeginPass(bool rolling);
    enum class Pass { Image, GrayWithValues, Values };
    // The single-frame renderers: one pass from row 0 over the complete rows.
    int SinglePass(Pass kind, uint32_t rowGap, uint32_t columnGap);
    void TakeFrameStart(uint32_t position);
    void StartDrawingPass();
    void JoinDrawingPass();
    void EndWorker();
    // Waits until every worker started has ended, then joins them.
    void JoinEndedWorkers();
    // Waits on m_threadCv (lock held) until done() or the deadline; on the
    // user-interface thread it runs the page's pending calls meanwhile.
    void Wait(std::unique_lock<std::mutex>& lock, const std::function<bool()>& done,
              std::chrono::steady_clock::time_point deadline);
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
    bool m_bWakeWaiter = false;    // a page call is waiting for the UI thread
    const std::thread::id m_uiThread;

    // The running drawing pass, started and joined by the worker only.
    std::thread m_drawThread;
};
