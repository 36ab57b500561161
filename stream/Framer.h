// A framing: where frames start on the line, how their payload is taken out,
// and whether what follows a frame checks out. One subclass per framing, each
// pure C++ on bytes the engine has buffered (no threads, no clock, no
// copies beyond the payload it is asked to move), so each can be tested and
// fuzzed alone. The engine owns the receive buffer and calls, in turn:
//
//   searching:  FindStart -> drop `offset` bytes; when found, BeginFrame with
//               the header, drop its headerLength bytes
//   filling:    TakePayload until the payload is whole (or `ended`)
//   after it:   CheckEnd on the bytes that follow, once there are any
//
// and WholeFrameLength to pass over whole frames while a newer whole frame
// follows (the newest frame is drawn first).
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "stream/PixelEncoding.h"
#include "stream/StreamFormat.h"

namespace stream {

// A payload whose length only its end tells (JPEG).
constexpr uint64_t kUntilEnd = UINT64_MAX;
// The longest payload any framing accepts (a length field beyond it is
// taken for a false start): 64 MiB.
constexpr uint64_t kMaxPayload = 64ull << 20;

// What a frame's start says about the frame.
struct FrameHeader {
    uint32_t headerLength = 0;   // bytes before the payload (the start marker, the header)
    uint64_t payloadLength = 0;  // payload bytes (<= kMaxPayload), or kUntilEnd
    // Geometry and encoding the framing carries (0 x 0: the page's; for JPEG
    // known only once the frame is decoded).
    uint32_t width = 0;
    uint32_t height = 0;
    Encoding encoding = Encoding::Page;  // Page: the format's own
    bool hasCounter = false;             // the frame carries the board's frame counter
    uint32_t counter = 0;
};

// What the engine knows when it makes a framer.
struct FramerSetup {
    CStreamFormat format;
    uint8_t headerByte = 255;  // the 帧头 box, for Framing::HeaderByte
    uint32_t rows = 0;         // the page's geometry
    uint32_t columns = 0;
    Encoding encoding = Encoding::Gray8;  // the format's encoding, Page resolved
};

// Where a search stands in the bytes it was shown.
struct ScanContext {
    // bytes[0] directly follows a frame whose end checked out: a framing
    // that cannot tell a start from the bytes (headerless) starts one here.
    bool inStep = false;
    // Positions in bytes before which the line was quiet for the format's gap,
    // or a request was sent (ascending): headerless frames start there.
    const uint64_t* marks = nullptr;
    size_t markCount = 0;
};

struct Search {
    bool found = false;
    // found: the frame's header starts at bytes[offset]. Otherwise the first
    // `offset` bytes hold no start and can go; the rest may begin one.
    size_t offset = 0;
    FrameHeader header;   // found: what the header says
    size_t rejected = 0;  // false starts passed over (a length that does not agree, ...)
    // found: a single-byte start whose value may also be a pixel's was seen
    // too short of the next frame's start to be checked against it.
    bool unchecked = false;
};

struct Take {
    size_t consumed = 0;   // bytes of the buffer used (payload and any packets among it)
    size_t produced = 0;   // payload bytes written to dst
    bool ended = false;    // the payload ended here (its end found, or cut short)
    bool damaged = false;  // the bytes show a loss (a check bit, a new frame before the end)
    std::string text;      // text the board sent among the pixels, UTF-8 (a debug packet)
};

struct End {
    enum Kind { NeedMore, Good, Bad } kind = NeedMore;
    size_t consumed = 0;  // Good: the trailer's bytes; Bad: 0 (the search starts there)
};

class CFramer {
public:
    explicit CFramer(const FramerSetup& setup) : m_setup(setup) {}
    virtual ~CFramer() = default;

    const FramerSetup& Setup() const { return m_setup; }

    // The first frame start in bytes[0, n). Never consumes; the engine drops.
    virtual Search FindStart(const uint8_t* bytes, size_t n, const ScanContext& context) const = 0;
    // A frame starts with `header` (its header bytes already dropped).
    virtual void BeginFrame(const FrameHeader& header);
    // Moves up to `room` payload bytes from bytes[0, n) to dst. The default
    // copies min(n, room) bytes and ends nothing: a payload of known length
    // that lies whole on the line. A payload of kUntilEnd ends when its end is
    // found (ended, with the end's bytes produced).
    virtual Take TakePayload(const uint8_t* bytes, size_t n, uint8_t* dst, size_t room);
    // Whether what follows a whole payload checks out: an end marker, the next
    // frame's start. The default: Good, consuming nothing.
    virtual End CheckEnd(const uint8_t* bytes, size_t n, const ScanContext& context) const;
    // The length of the whole frame (header, payload and an end marker where
    // the framing has one, not what must follow it) that starts at bytes[0],
    // when it lies whole and sound in bytes[0, n); 0 otherwise. The default:
    // FindStart finds a start at 0 and its known payload lies whole.
    virtual size_t WholeFrameLength(const uint8_t* bytes, size_t n,
                                    const ScanContext& context) const;
    // A quiet gap (a mark) inside a payload ends the frame there, cut short:
    // frames that only the line's pauses mark off (headerless).
    virtual bool GapEndsFrame() const { return false; }
    // Frames follow each other directly: only a frame whose successor starts
    // right behind it is passed over for a newer one. (A single header byte
    // found further on may be a pixel of its value; passing frames over on
    // such evidence would misframe the stream.)
    virtual bool InStepOnly() const { return false; }

protected:
    FramerSetup m_setup;
};

// The framer of setup.format.framing.
std::unique_ptr<CFramer> MakeFramer(const FramerSetup& setup);

}  // namespace stream
