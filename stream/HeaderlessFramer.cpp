#include "stream/HeaderlessFramer.h"

namespace stream {

CHeaderlessFramer::CHeaderlessFramer(const FramerSetup& setup)
    : CFramer(setup), m_payload(FrameBytes(setup.encoding, setup.columns, setup.rows)) {}

Search CHeaderlessFramer::FindStart(const uint8_t*, size_t n, const ScanContext& context) const {
    Search search;
    search.offset = n;
    // A frame of no bytes would start again and again at the same place.
    if (m_payload == 0)
        return search;
    if (context.inStep) {
        search.found = true;
        search.offset = 0;
    } else {
        for (size_t i = 0; i < context.markCount; ++i) {
            if (context.marks[i] < n) {
                search.found = true;
                search.offset = static_cast<size_t>(context.marks[i]);
                break;
            }
        }
    }
    search.header.payloadLength = m_payload;
    return search;
}

}  // namespace stream
