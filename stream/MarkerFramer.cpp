#include "stream/MarkerFramer.h"

#include <algorithm>
#include <cstring>

namespace stream {

CMarkerFramer::CMarkerFramer(const FramerSetup& setup)
    : CFramer(setup),
      m_start(setup.format.startMarker),
      m_end(setup.format.endMarker),
      m_payload(FrameBytes(setup.encoding, setup.columns, setup.rows)) {}

int CMarkerFramer::MarkerAt(const std::vector<uint8_t>& marker, const uint8_t* bytes, size_t n,
                            uint64_t at) {
    if (at >= n)
        return 0;
    const size_t available = std::min<uint64_t>(marker.size(), n - at);
    if (std::memcmp(bytes + at, marker.data(), available) != 0)
        return -1;
    return available == marker.size() ? 1 : 0;
}

size_t CMarkerFramer::TailStart(const uint8_t* bytes, size_t n) const {
    const size_t keep = std::min(n, m_start.size() - 1);
    for (size_t at = n - keep; at < n; ++at)
        if (std::memcmp(bytes + at, m_start.data(), n - at) == 0)
            return at;
    return n;
}

Search CMarkerFramer::FindStart(const uint8_t* bytes, size_t n, const ScanContext&) const {
    Search search;
    if (m_start.empty()) {
        search.offset = n;
        return search;
    }
    search.header.headerLength = static_cast<uint32_t>(m_start.size());
    search.header.payloadLength = m_payload;
    const uint64_t after = m_start.size() + m_payload;  // from a start to what follows the payload
    bool haveFirst = false;
    size_t first = 0;
    for (size_t at = 0; at + m_start.size() <= n; ++at) {
        if (bytes[at] != m_start[0] || MarkerAt(m_start, bytes, n, at) != 1)
            continue;
        if (!m_end.empty()) {
            // The end marker decides: a start is taken unless its end marker
            // is absent where the payload's size puts it.
            if (MarkerAt(m_end, bytes, n, at + after) >= 0) {
                search.found = true;
                search.offset = at;
                return search;
            }
            ++search.rejected;
            continue;
        }
        // Without an end marker only the next start right after the payload
        // confirms one; an unconfirmed start is still the best guess.
        if (!haveFirst) {
            haveFirst = true;
            first = at;
        }
        const int next = MarkerAt(m_start, bytes, n, at + after);
        if (next == 1) {
            first = at;
            break;
        }
        if (next == 0)
            break;  // too short to tell, here and further on
    }
    if (haveFirst) {
        search.found = true;
        search.offset = first;
        return search;
    }
    search.offset = TailStart(bytes, n);
    return search;
}

End CMarkerFramer::CheckEnd(const uint8_t* bytes, size_t n, const ScanContext&) const {
    End end;
    if (n == 0)
        return end;
    // With an end marker it follows the payload and is taken; without one the
    // next frame's start marker does, and stays for the search.
    const std::vector<uint8_t>& marker = m_end.empty() ? m_start : m_end;
    const int at = MarkerAt(marker, bytes, n, 0);
    if (at < 0) {
        end.kind = End::Bad;
    } else if (at > 0) {
        end.kind = End::Good;
        end.consumed = m_end.size();
    }
    return end;
}

size_t CMarkerFramer::WholeFrameLength(const uint8_t* bytes, size_t n, const ScanContext&) const {
    const uint64_t length = m_start.size() + m_payload + m_end.size();
    if (m_start.empty() || length > n || MarkerAt(m_start, bytes, n, 0) != 1)
        return 0;
    if (!m_end.empty() && MarkerAt(m_end, bytes, n, m_start.size() + m_payload) != 1)
        return 0;
    return static_cast<size_t>(length);
}

}  // namespace stream
