#include "stream/PacketFramer.h"

#include <cstring>

namespace stream {

namespace {

// Check bits of an RGB565 byte pair.
bool IsHigh(uint8_t b) {
    return ((b >> 5) & 1) != ((b >> 3) & 1);
}

bool IsLow(uint8_t b) {
    return !IsHigh(b) && (b & 1) != 0;
}

}  // namespace

long CPacketFramer::PacketAt(const uint8_t* bytes, size_t n) {
    if (n < 2)
        return 0;
    const size_t count = bytes[1];
    if (n < count + 3)
        return 0;
    uint8_t check = 0;
    for (size_t i = 0; i < count; ++i)
        check ^= bytes[2 + i];
    if (count == 0 || check != bytes[2 + count])
        return -1;
    return static_cast<long>(count + 3);
}

Search CPacketFramer::FindStart(const uint8_t* bytes, size_t n, const ScanContext&) const {
    Search search;
    size_t at = 0;
    while (at < n) {
        const auto* zero = static_cast<const uint8_t*>(std::memchr(bytes + at, 0, n - at));
        if (zero == nullptr) {
            at = n;  // pixel bytes only
            break;
        }
        at = static_cast<size_t>(zero - bytes);
        const long length = PacketAt(bytes + at, n - at);
        if (length == 0)
            break;  // wait for the packet whole
        if (length < 0) {
            ++search.rejected;  // no packet after all
            ++at;
            continue;
        }
        const uint8_t* p = bytes + at + 2;
        if (p[0] == kNewFrame && length == 7) {
            const uint32_t width = p[1] | (p[3] & 3u) << 8;
            const uint32_t height = p[2] | (p[3] >> 2 & 3u) << 8;
            const unsigned format = p[3] >> 4;
            if ((format == 1 || format == 2) && width > 0 && height > 0) {
                FrameHeader& header = search.header;
                header.headerLength = 7;
                header.width = width;
                header.height = height;
                header.encoding = format == 1 ? Encoding::Rgb565Be : Encoding::Gray8;
                header.payloadLength = FrameBytes(header.encoding, width, height);
                search.found = true;
                break;
            }
            ++search.rejected;
        }
        at += static_cast<size_t>(length);  // debug text, other commands
    }
    search.offset = at;
    return search;
}

void CPacketFramer::BeginFrame(const FrameHeader& header) {
    m_state = State();
    m_state.encoding = header.encoding == Encoding::Page ? m_setup.encoding : header.encoding;
    m_state.width = header.width != 0 ? header.width : m_setup.columns;
}

Take CPacketFramer::TakePayload(const uint8_t* bytes, size_t n, uint8_t* dst, size_t room) {
    return Walk(m_state, bytes, n, dst, room);
}

Take CPacketFramer::Walk(State& state, const uint8_t* bytes, size_t n, uint8_t* dst, size_t room) {
    Take take;
    const bool rgb = state.encoding == Encoding::Rgb565Be;
    auto put = [&](uint8_t b) {
        if (dst != nullptr)
            dst[take.produced] = b;
        ++take.produced;
        ++state.produced;
    };
    while (take.consumed < n && take.produced < room) {
        const uint8_t* p = bytes + take.consumed;
        const uint8_t b = *p;
        if (b == 0) {
            const long length = PacketAt(p, n - take.consumed);
            if (length == 0)
                break;  // wait for the packet whole
            if (length < 0) {
                take.damaged = true;  // a broken packet: its 00 goes
                ++take.consumed;
                continue;
            }
            if (p[2] == kNewFrame) {
                // The next frame began before this one was whole.
                take.ended = take.damaged = true;
                break;
            }
            if (p[2] == kDebugText)
                take.text.append(reinterpret_cast<const char*>(p + 3),
                                 static_cast<size_t>(length - 4));
            take.consumed += static_cast<size_t>(length);
            continue;
        }
        // A pixel byte. When its check bits show the byte before it was lost,
        // the hole is filled with the last byte of its kind so that the rest
        // of the frame lands in place.
        bool fill = false;
        uint8_t hole = 0;
        if (rgb) {
            const bool wantHigh = state.produced % 2 == 0;
            if (wantHigh ? IsHigh(b) : IsLow(b)) {
                // in step
            } else if (wantHigh ? IsLow(b) : IsHigh(b)) {
                fill = true;
                hole = wantHigh ? state.lastHigh : state.lastLow;
            } else {
                take.damaged = true;  // wrong check bits
            }
        } else {
            const uint64_t column = state.width != 0 ? state.produced % state.width : 0;
            if ((b & 1u) != (column & 1u)) {
                fill = true;
                hole = state.lastGray;
            }
        }
        if (fill) {
            take.damaged = true;
            put(hole);
            if (take.produced == room)
                break;  // the frame is whole with the hole filled
        }
        if (rgb)
            (state.produced % 2 == 0 ? state.lastHigh : state.lastLow) = b;
        else
            state.lastGray = b;
        put(b);
        ++take.consumed;
    }
    return take;
}

size_t CPacketFramer::WholeFrameLength(const uint8_t* bytes, size_t n,
                                       const ScanContext& context) const {
    const Search start = FindStart(bytes, n, context);
    if (!start.found || start.offset != 0)
        return 0;
    State state;
    state.encoding = start.header.encoding;
    state.width = start.header.width;
    const size_t header = start.header.headerLength;
    const Take take = Walk(state, bytes + header, n - header, nullptr,
                           static_cast<size_t>(start.header.payloadLength));
    if (take.ended || take.damaged || take.produced != start.header.payloadLength)
        return 0;
    return header + take.consumed;
}

}  // namespace stream
