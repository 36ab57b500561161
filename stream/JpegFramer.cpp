#include "stream/JpegFramer.h"

#include <algorithm>
#include <cstring>

namespace stream {

Search CJpegFramer::FindStart(const uint8_t* bytes, size_t n, const ScanContext&) const {
    Search search;
    size_t at = 0;
    for (;;) {
        const auto* ff =
            static_cast<const uint8_t*>(at < n ? std::memchr(bytes + at, 0xFF, n - at) : nullptr);
        if (ff == nullptr) {
            search.offset = n;
            return search;
        }
        at = static_cast<size_t>(ff - bytes);
        const size_t left = n - at;
        // FF D8 FF, or as much of it as the bytes hold: wait for the rest.
        if ((left < 2 || ff[1] == 0xD8) && (left < 3 || ff[2] == 0xFF)) {
            search.found = left >= 3;
            break;
        }
        ++at;
    }
    search.offset = at;
    search.header.headerLength = 0;
    search.header.payloadLength = kUntilEnd;
    search.header.encoding = m_setup.encoding;
    return search;
}

void CJpegFramer::BeginFrame(const FrameHeader&) {
    m_state = State();
}

Take CJpegFramer::TakePayload(const uint8_t* bytes, size_t n, uint8_t* dst, size_t room) {
    return Walk(m_state, bytes, n, dst, room);
}

Take CJpegFramer::Walk(State& state, const uint8_t* bytes, size_t n, uint8_t* dst, size_t room) {
    Take take;
    // Moves `count` bytes through to the payload.
    auto pass = [&](size_t count) {
        if (dst != nullptr)
            std::memcpy(dst + take.produced, bytes + take.consumed, count);
        take.produced += count;
        take.consumed += count;
    };
    while (take.consumed < n && take.produced < room) {
        const uint8_t* p = bytes + take.consumed;
        const size_t left = std::min(n - take.consumed, room - take.produced);
        switch (state.step) {
            case Step::Soi:
                if (n - take.consumed < 2)
                    return take;
                if (p[0] == 0xFF && p[1] == 0xD8) {
                    pass(left < 2 ? 1 : 2);  // one byte when that fills the room
                    state.step = Step::Marker;
                } else {
                    take.damaged = true;
                    state.step = Step::Lost;
                }
                break;
            case Step::Skip: {
                const size_t count = std::min<size_t>(left, state.remaining);
                pass(count);
                state.remaining -= static_cast<uint32_t>(count);
                if (state.remaining == 0)
                    state.step = state.scan ? Step::Entropy : Step::Marker;
                break;
            }
            case Step::Length:
                state.remaining = state.remaining << 8 | p[0];
                pass(1);
                if (++state.lengthBytes == 2) {
                    if (state.remaining < 2) {
                        take.damaged = true;
                        state.step = Step::Lost;
                    } else {
                        state.remaining -= 2;
                        state.step = state.remaining > 0 ? Step::Skip
                                     : state.scan        ? Step::Entropy
                                                         : Step::Marker;
                    }
                }
                break;
            case Step::Marker:
            case Step::Entropy:
            case Step::Lost: {
                if (p[0] != 0xFF) {
                    if (state.step == Step::Marker) {
                        take.damaged = true;  // data where a marker is due
                        state.step = Step::Lost;
                        break;
                    }
                    // Entropy-coded data up to the next FF.
                    const auto* ff = static_cast<const uint8_t*>(std::memchr(p, 0xFF, left));
                    pass(ff != nullptr ? static_cast<size_t>(ff - p) : left);
                    break;
                }
                if (n - take.consumed < 2)
                    return take;  // the marker's second byte has not come
                const uint8_t code = p[1];
                if (code == 0xFF) {
                    pass(1);  // a fill byte
                    break;
                }
                if (code == 0xD8) {
                    // A new picture began before this one ended.
                    take.ended = take.damaged = true;
                    return take;
                }
                if (left < 2) {
                    pass(1);  // the room is full: the frame is overlong
                    return take;
                }
                if (code == 0xD9) {
                    pass(2);
                    take.ended = true;
                    return take;
                }
                const bool standalone =
                    code == 0x00 || code == 0x01 || (code >= 0xD0 && code <= 0xD7);
                pass(2);
                if (state.step == Step::Lost || standalone) {
                    if (state.step == Step::Marker && code == 0x00) {
                        take.damaged = true;  // stuffing where a marker is due
                        state.step = Step::Lost;
                    }
                    break;
                }
                // A marker segment (SOS, DHT, DQT, APPn, ...), also between scans.
                state.scan = code == 0xDA;
                state.step = Step::Length;
                state.lengthBytes = 0;
                state.remaining = 0;
                break;
            }
        }
    }
    return take;
}

size_t CJpegFramer::WholeFrameLength(const uint8_t* bytes, size_t n, const ScanContext&) const {
    if (n < 3 || bytes[0] != 0xFF || bytes[1] != 0xD8 || bytes[2] != 0xFF)
        return 0;
    State state;
    const Take take = Walk(state, bytes, n, nullptr, n);
    return take.ended && !take.damaged ? take.consumed : 0;
}

}  // namespace stream
