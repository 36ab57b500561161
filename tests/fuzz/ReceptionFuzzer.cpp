// libFuzzer target: random byte streams, chunk sizes, headers, frame sizes and
// modes through reception and rendering, over a real pseudo-terminal.
//
// Input layout: 8 bytes of parameters, then chunks (a length byte, then up to
// 63 bytes). With the "clean" bit set the chunks' bytes become the pixels of
// back-to-back frames instead, and the frames must all come through. Without
// it, another bit picks one of the stream formats' presets.
#include <signal.h>
#include <sys/syscall.h>
#include <time.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <thread>
#include <vector>

#include "capture/CaptureBase.h"
#include "serial/PortDevices.h"
#include "serial/PortOwner.h"
#include "stream/StreamFormat.h"
#include "tools/camsim/PseudoTerminal.h"

// The engine's fixed pauses (the 20 ms after a start, the 50 ms of a purge)
// are skipped so that thousands of streams run per second; every other sleep
// is real.
extern "C" int nanosleep(const struct timespec* req, struct timespec* rem) {
    if (req != nullptr && req->tv_sec == 0 &&
        (req->tv_nsec == 20000000L || req->tv_nsec == 50000000L))
        return 0;
    return static_cast<int>(syscall(SYS_nanosleep, req, rem));
}

namespace {

[[noreturn]] void Fail(const char* what) {
    std::fprintf(stderr, "invariant broken: %s\n", what);
    std::abort();
}

class Owner : public CPortOwner {
protected:
    int GetBaudSelection() override { return 1; }
    std::string GetBaudText() override { return "115200"; }
    int GetPortSelection() override { return 1; }
    std::string GetPortText() override { return "COM9"; }
    void ShowPortMessage(const std::string&, const std::string&) override {}
};

class Page : public CCaptureBase {
public:
    ~Page() override { ShutdownEngine(); }
    void ShowStatus(std::string) override {}
    void OnCaptureBegin() override {}
    void OnCaptureEnd() override {}
    void ClearPicture() override {
        m_wndPicture.Fill(0xF0F0F0);
        ++clears;
    }
    void ClearValueList() override {
        listed = 0;
        ++listClears;
    }
    void AppendValue(uint8_t, int) override { ++listed; }
    std::atomic<int> clears{0};
    std::atomic<int> listClears{0};
    std::atomic<size_t> listed{0};
};

struct Line {
    camsim::PseudoTerminal board;
    Owner owner;
    Line() {
        if (!board.Open())
            Fail("no pseudo-terminal");
        SetPortDevicePath(9, board.DevicePath());
        SetPortOwner(&owner);
        if (owner.OpenPort() != 1)
            Fail("port did not open");
    }
};

Line& TheLine() {
    static Line* line = new Line;
    return *line;
}

void WaitForPass(Page& page) {
    while (page.m_bDrawing)
        std::this_thread::yield();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 8)
        return 0;
    Line& line = TheLine();
    // Nothing of the previous stream may leak into this one.
    line.owner.m_port.Purge();
    for (uint8_t sink[512];;) {
        uint32_t n = 0;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
        if (line.owner.m_port.ReadAvailable(sink, sizeof sink, n) != 0 || n == 0)
            break;
    }

    Page page;
    page.m_byHeader = data[0];
    page.m_nRows = 1 + data[1] % 12;
    page.m_nColumns = 1 + data[2] % 12;
    const uint8_t flags = data[3];
    page.m_nMode = flags & 1;
    page.m_byFormat = (flags >> 1) & 1;
    page.m_bShowImage = (flags >> 2) & 1;
    page.m_bShowValues = (flags >> 3) & 1;
    page.m_bScaleToArea = (flags >> 4) & 1;
    const bool clean = (flags >> 5) & 1;
    // Bit 6 of a stream that is not clean: one of the other stream formats,
    // so that every framing's path through the engine meets garbage too.
    if (!clean && ((flags >> 6) & 1)) {
        const auto& presets = stream::Presets();
        page.m_streamFormat = presets[data[4] % presets.size()].format;
    }
    page.m_nRowGap = data[4] % 5;
    page.m_nColumnGap = data[5] % 5;
    page.m_nAreaWidth = data[6];
    page.m_nAreaHeight = data[7];
    page.m_wndPicture.Resize(page.m_nAreaWidth, page.m_nAreaHeight);
    page.ResetState();
    if (!page.AllocateBuffers())
        Fail("allocation");
    const uint32_t frameSize = page.m_nFrameSize;

    // The chunks as they go on the line.
    std::vector<std::vector<uint8_t>> chunks;
    for (size_t i = 8; i < size;) {
        const size_t len = std::min<size_t>(data[i] % 64, size - i - 1);
        chunks.emplace_back(data + i + 1, data + i + 1 + len);
        i += 1 + len;
    }
    std::vector<std::vector<uint8_t>> cleanFrames;
    size_t frames = 0;
    if (clean) {
        // Re-cut the same bytes into whole frames, each behind its header.
        std::vector<uint8_t> pixels;
        for (auto& c : chunks)
            pixels.insert(pixels.end(), c.begin(), c.end());
        std::vector<uint8_t> stream;
        for (size_t at = 0; at + frameSize <= pixels.size() && frames < 4; at += frameSize) {
            std::vector<uint8_t> frame(pixels.begin() + at, pixels.begin() + at + frameSize);
            // Each header stands alone: the framer rightly prefers a lone
            // header byte confirmed a frame later to one inside a run of
            // the header's value, so a pixel of that value next to a header
            // would make another start just as true. Inside the frame such
            // pixels stay.
            for (uint8_t* edge : {&frame.front(), &frame.back()})
                if (*edge == page.m_byHeader)
                    *edge ^= 1;
            stream.push_back(page.m_byHeader);
            stream.insert(stream.end(), frame.begin(), frame.end());
            cleanFrames.push_back(std::move(frame));
            ++frames;
        }
        std::vector<std::vector<uint8_t>> recut;
        size_t at = 0;
        for (auto& c : chunks) {
            const size_t len = std::min(std::max<size_t>(c.size(), 1), stream.size() - at);
            if (len == 0)
                break;
            recut.emplace_back(stream.begin() + at, stream.begin() + at + len);
            at += len;
        }
        if (at < stream.size())
            recut.emplace_back(stream.begin() + at, stream.end());
        chunks.swap(recut);
    }

    bool stopped = false;
    auto poll = [&] {
        const uint32_t space = frameSize - page.m_nReceived;
        if (page.m_nMode == 0)
            page.ReceiveSingle(space);
        else
            page.ReceiveContinuous(space);
        WaitForPass(page);
        if (page.m_nReceived > page.FrameCapacity() ||
            (page.m_streamFormat.IsDesignFormat() && page.m_nReceived > frameSize))
            Fail("m_nReceived above the frame size");
        if (page.m_nRxLength > page.m_nRxCapacity)
            Fail("m_nRxLength above the receive buffer's capacity");
        if (page.m_hStopEvent.TryWait())
            stopped = true;
    };
    for (auto& c : chunks) {
        if (stopped)
            break;
        if (!c.empty()) {
            const size_t before = line.board.QueuedForHost();
            if (!line.board.WriteAll(c.data(), c.size(), 2000))
                Fail("write");
            if (!line.board.WaitQueued(before + c.size(), 2000))
                Fail("queue");
        }
        poll();
    }
    // Let reception take what is still queued.
    for (int i = 0; i < 2 * static_cast<int>(frames) + 4 && !stopped; ++i)
        poll();

    const CLinkStatistics st = page.GetLinkStatistics();
    if (st.framesDrawn > st.framesStarted)
        Fail("more frames drawn than started");
    if (clean && st.resyncs != 0)
        Fail("a resync in a clean stream");
    if (clean && frames > 0 && (page.m_bShowImage || page.m_bShowValues)) {
        // The listing takes grayscale frames only: with image and listing a
        // colour frame is never drawn, and a listing-only pass counts a colour
        // frame's rows as if it were grayscale and ends it a third of the way.
        const bool drawn = !(page.m_bShowValues && page.m_byFormat != 0);
        if (page.m_nMode == 0 && drawn) {
            // A single-frame capture ends by itself on the first frame taken:
            // the newest whole frame when the first search saw several.
            if (!stopped)
                Fail("single frame capture did not end");
            if (st.framesStarted != 1 || st.framesSkipped >= frames)
                Fail("single frame capture took other than one frame");
            if (std::memcmp(page.m_pFrame.get(), cleanFrames[st.framesSkipped].data(), frameSize) !=
                0)
                Fail("single frame bytes differ");
        } else if (page.m_nMode == 1) {
            // Every frame of a clean stream is started or passed over for a
            // newer whole one. The picture is cleared once, at the start:
            // each frame is drawn over the one before. The listing starts
            // afresh with every frame.
            if (st.framesStarted + st.framesSkipped != frames)
                Fail("continuous frame lost");
            if (page.clears != 1)
                Fail("picture cleared between frames");
            if (page.listClears != 1 + static_cast<int>(st.framesStarted))
                Fail("listing clears differ from frame starts");
        }
    }
    return 0;
}
