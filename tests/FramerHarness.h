// Plays the engine's side of a framer over a byte stream fed in chunks: the
// search (FindStart, drop, BeginFrame, drop the header), the filling
// (TakePayload) and the check after the payload (CheckEnd), with the quiet
// gaps or requests of a headerless line as marks. Returns the frames and the
// counts, and every broken promise of the framer (a call that neither takes
// bytes nor waits for more, more output than the room, a drop past the end)
// as a fault. Used by the framer tests and the framer fuzzer.
#pragma once

#include <algorithm>
#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "stream/Framer.h"

namespace framertest {

using Bytes = std::vector<uint8_t>;

struct PlayedFrame {
    stream::FrameHeader header;
    Bytes payload;
    bool damaged = false;   // the framer saw a loss in it (or it was cut short)
    bool cutShort = false;  // ended before its known length (a new frame, a gap)
    bool suspect = false;   // what followed it did not check out
    std::string text;       // text the board sent among its pixels

    // Delivered as good: whole, nothing seen wrong with it.
    bool Good() const { return !damaged && !cutShort && !suspect; }
};

struct PlayResult {
    std::vector<PlayedFrame> frames;
    size_t rejected = 0;  // false starts the search passed over
    size_t resyncs = 0;   // frames whose end did not check out
    size_t overlong = 0;  // frames of no known length that outgrew the room
    size_t skipped = 0;   // whole frames passed over for a newer one (newestFirst)
    std::vector<std::string> faults;
};

struct PlayOptions {
    std::vector<size_t> chunks;     // sizes fed in turn (cycled); empty: all at once
    std::vector<uint64_t> marks;    // stream positions after a quiet gap or a request
    size_t untilEndRoom = 1 << 20;  // the room of a frame that only its end tells
    bool newestFirst = false;       // pass over whole frames while a newer whole one follows
};

inline PlayOptions Chunked(std::vector<size_t> chunks) {
    PlayOptions options;
    options.chunks = std::move(chunks);
    return options;
}

inline PlayResult Play(stream::CFramer& framer, const Bytes& stream, const PlayOptions& options) {
    using stream::End;
    using stream::kUntilEnd;
    PlayResult result;
    Bytes buf;
    uint64_t base = 0;  // stream position of buf[0]
    enum class Phase { Search, Fill, Check } phase = Phase::Search;
    bool inStep = false;
    PlayedFrame frame;
    uint64_t want = 0;
    std::vector<uint64_t> relative;

    auto fault = [&](const std::string& what) {
        result.faults.push_back(what + " at stream position " + std::to_string(base));
    };
    auto drop = [&](size_t k) {
        buf.erase(buf.begin(), buf.begin() + static_cast<std::ptrdiff_t>(k));
        base += k;
    };
    auto context = [&](size_t shift = 0) {
        relative.clear();
        for (uint64_t mark : options.marks)
            if (mark >= base + shift)
                relative.push_back(mark - base - shift);
        stream::ScanContext ctx;
        ctx.inStep = inStep && shift == 0;
        ctx.marks = relative.data();
        ctx.markCount = relative.size();
        return ctx;
    };
    // Runs the framer over what is buffered until it waits for more bytes.
    auto run = [&]() -> bool {
        // Each byte is searched, filled and checked at most a few times over.
        const size_t budget = 4 * buf.size() + 64;
        for (size_t guard = 0; guard < budget; ++guard) {
            const size_t n = buf.size();
            if (phase == Phase::Search) {
                if (n == 0)
                    return true;
                const stream::Search s = framer.FindStart(buf.data(), n, context());
                result.rejected += s.rejected;
                if (s.offset > n) {
                    fault("FindStart offset beyond the bytes");
                    return false;
                }
                if (!s.found) {
                    if (s.offset == 0)
                        return true;
                    drop(s.offset);
                    inStep = false;
                    continue;
                }
                if (s.offset > 0)
                    inStep = false;
                drop(s.offset);
                if (s.header.headerLength > buf.size()) {
                    fault("a start found before its header is whole");
                    return false;
                }
                if (s.header.payloadLength != kUntilEnd &&
                    s.header.payloadLength > stream::kMaxPayload) {
                    fault("a payload beyond kMaxPayload");
                    return false;
                }
                if (options.newestFirst) {
                    const size_t length =
                        framer.WholeFrameLength(buf.data(), buf.size(), context());
                    if (length > buf.size()) {
                        fault("WholeFrameLength beyond the bytes");
                        return false;
                    }
                    if (length > 0 &&
                        framer.WholeFrameLength(buf.data() + length, buf.size() - length,
                                                context(length)) > 0) {
                        drop(length);
                        ++result.skipped;
                        inStep = false;
                        continue;
                    }
                }
                frame = PlayedFrame();
                frame.header = s.header;
                framer.BeginFrame(s.header);
                drop(s.header.headerLength);
                inStep = false;
                want = s.header.payloadLength == kUntilEnd ? options.untilEndRoom
                                                           : s.header.payloadLength;
                phase = Phase::Fill;
                continue;
            }
            if (phase == Phase::Fill) {
                const bool untilEnd = frame.header.payloadLength == kUntilEnd;
                if (!untilEnd && frame.payload.size() == want) {
                    result.frames.push_back(frame);
                    phase = Phase::Check;
                    continue;
                }
                if (untilEnd && frame.payload.size() == want) {
                    ++result.overlong;
                    phase = Phase::Search;
                    continue;
                }
                size_t limit = n;
                if (framer.GapEndsFrame()) {
                    const stream::ScanContext ctx = context();
                    for (size_t i = 0; i < ctx.markCount; ++i) {
                        if (ctx.marks[i] > 0 || !frame.payload.empty()) {
                            limit = std::min<uint64_t>(limit, ctx.marks[i]);
                            break;
                        }
                    }
                    if (limit == 0 && n > 0) {
                        // A gap inside the payload: the frame ends there.
                        frame.cutShort = frame.damaged = true;
                        result.frames.push_back(frame);
                        phase = Phase::Search;
                        continue;
                    }
                }
                if (limit == 0)
                    return true;
                const size_t room = static_cast<size_t>(want - frame.payload.size());
                // Exactly the room, or what this call can fill: a write past
                // it is caught by the address sanitizer.
                const size_t size = std::min(room, 2 * limit + 16);
                std::unique_ptr<uint8_t[]> dst(new uint8_t[size]);
                const stream::Take t = framer.TakePayload(buf.data(), limit, dst.get(), room);
                if (t.consumed > limit || t.produced > room || t.produced > size) {
                    fault("TakePayload beyond its bytes or room");
                    return false;
                }
                frame.payload.insert(frame.payload.end(), dst.get(), dst.get() + t.produced);
                frame.text += t.text;
                frame.damaged |= t.damaged;
                drop(t.consumed);
                if (t.ended) {
                    // A frame that only its end tells ends when it ends (cut
                    // short or not, its damage says); one of known length
                    // that ends early is cut short.
                    if (untilEnd) {
                        result.frames.push_back(frame);
                        phase = Phase::Check;
                    } else if (frame.payload.size() < want) {
                        frame.cutShort = true;
                        result.frames.push_back(frame);
                        phase = Phase::Search;
                    } else {
                        fault("ended with its whole known payload");
                        return false;
                    }
                    continue;
                }
                if (t.consumed == 0 && t.produced == 0)
                    return true;  // waits for more
                continue;
            }
            // Check.
            if (n == 0)
                return true;
            const End end = framer.CheckEnd(buf.data(), n, context());
            if (end.kind == End::NeedMore)
                return true;
            if (end.consumed > n || (end.kind == End::Bad && end.consumed != 0)) {
                fault("CheckEnd consumed beyond its bytes");
                return false;
            }
            drop(end.consumed);
            if (end.kind == End::Good) {
                inStep = true;
            } else {
                ++result.resyncs;
                result.frames.back().suspect = true;
                inStep = false;
            }
            phase = Phase::Search;
        }
        fault("no progress (a call neither took bytes nor waited for more)");
        return false;
    };

    size_t fed = 0, turn = 0;
    while (fed < stream.size()) {
        size_t chunk = stream.size() - fed;
        if (!options.chunks.empty())
            chunk = std::max<size_t>(1, options.chunks[turn++ % options.chunks.size()]);
        chunk = std::min(chunk, stream.size() - fed);
        buf.insert(buf.end(), stream.begin() + static_cast<std::ptrdiff_t>(fed),
                   stream.begin() + static_cast<std::ptrdiff_t>(fed + chunk));
        fed += chunk;
        if (!run())
            break;
    }
    return result;
}

// The payloads of the frames delivered as good.
inline std::vector<Bytes> GoodPayloads(const PlayResult& result) {
    std::vector<Bytes> payloads;
    for (const PlayedFrame& frame : result.frames)
        if (frame.Good())
            payloads.push_back(frame.payload);
    return payloads;
}

inline void Append(Bytes& to, const Bytes& bytes) {
    to.insert(to.end(), bytes.begin(), bytes.end());
}

// `value` as `bytes` little-endian bytes, appended.
inline void Le(Bytes& to, uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i)
        to.push_back(static_cast<uint8_t>(value >> (8 * i)));
}

// A command packet of the packet framing: 00, length, the command bytes, and
// their XOR.
inline Bytes Packet(const Bytes& command) {
    Bytes packet = {0x00, static_cast<uint8_t>(command.size())};
    uint8_t check = 0;
    for (uint8_t b : command)
        check ^= b;
    Append(packet, command);
    packet.push_back(check);
    return packet;
}

}  // namespace framertest
