#include "stream/HeaderByteFramer.h"

#include <cstring>

namespace stream {

CHeaderByteFramer::CHeaderByteFramer(const FramerSetup& setup)
    : CFramer(setup), m_payload(FrameBytes(setup.encoding, setup.columns, setup.rows)) {}

Search CHeaderByteFramer::FindStart(const uint8_t* bytes, size_t n,
                                    const ScanContext& context) const {
    Search search;
    const uint8_t header = m_setup.headerByte;
    search.header.headerLength = 1;
    search.header.payloadLength = m_payload;
    // In step, the header the last frame's check saw is the start: a pixel
    // of the header's value further on, confirmed a frame later by chance (a
    // saturated area), must not win over it.
    if (context.inStep && n > 0 && bytes[0] == header) {
        search.found = true;
        return search;
    }
    const auto* first =
        static_cast<const uint8_t*>(n > 0 ? std::memchr(bytes, header, n) : nullptr);
    if (first == nullptr) {
        search.offset = n;  // no header byte: nothing here can begin a frame
        return search;
    }
    search.found = true;
    search.offset = static_cast<size_t>(first - bytes);
    // A header byte whose successor, a frame later, is a header too is a real
    // frame start; a pixel of the header's value rarely is. Without such
    // evidence (or when the bytes are too short to tell) the first one is
    // taken. In a saturated area, though, pixels of the header's value stand
    // in runs that may recur a frame later as well, while a header mostly
    // stands alone: within a frame's length from the first header byte
    // (where the real header must be), one alone here and a frame later wins
    // over the first confirmed one. Bytes too short to look at that whole
    // length leave the start unchecked.
    const uint64_t step = m_payload + 1;
    auto alone = [&](uint64_t at) {
        return (at == 0 || bytes[at - 1] != header) && (at + 1 >= n || bytes[at + 1] != header);
    };
    const uint64_t from = static_cast<uint64_t>(first - bytes);
    uint64_t chained = UINT64_MAX;
    bool lone = false, whole = true;
    for (const uint8_t* p = first; p != nullptr;) {
        const uint64_t at = static_cast<uint64_t>(p - bytes);
        if (at >= from + step)
            break;
        const uint64_t next = at + step;
        if (next >= n) {
            whole = false;
            break;
        }
        if (bytes[next] == header) {
            if (chained == UINT64_MAX)
                chained = at;
            if (alone(at) && alone(next)) {
                chained = at;
                lone = true;
                break;
            }
        }
        p = static_cast<const uint8_t*>(std::memchr(p + 1, header, bytes + n - (p + 1)));
    }
    if (chained != UINT64_MAX)
        search.offset = static_cast<size_t>(chained);
    search.unchecked = !lone && !whole;
    return search;
}

End CHeaderByteFramer::CheckEnd(const uint8_t* bytes, size_t n, const ScanContext&) const {
    // In step, the byte after a frame is the next frame's header.
    End end;
    if (n > 0)
        end.kind = bytes[0] == m_setup.headerByte ? End::Good : End::Bad;
    return end;
}

size_t CHeaderByteFramer::WholeFrameLength(const uint8_t* bytes, size_t n,
                                           const ScanContext&) const {
    const uint64_t length = m_payload + 1;
    return n > 0 && bytes[0] == m_setup.headerByte && length <= n ? static_cast<size_t>(length) : 0;
}

}  // namespace stream
