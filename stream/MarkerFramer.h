// A start marker of 1..8 bytes (00 FF 01 01, 01 FE, *RDY*), the page's
// geometry of pixels, and an optional end marker (FE 01). Frames are told by
// their size: a marker's bytes may occur among the pixels, so a start counts
// when the end marker (or, without one, the next start marker) lies where the
// payload's size puts it.
#pragma once

#include <vector>

#include "stream/Framer.h"

namespace stream {

class CMarkerFramer : public CFramer {
public:
    explicit CMarkerFramer(const FramerSetup& setup);

    Search FindStart(const uint8_t* bytes, size_t n, const ScanContext& context) const override;
    End CheckEnd(const uint8_t* bytes, size_t n, const ScanContext& context) const override;
    size_t WholeFrameLength(const uint8_t* bytes, size_t n,
                            const ScanContext& context) const override;

private:
    // Where the marker `marker` lies at bytes[at]: 1 whole, 0 a prefix of it
    // until the bytes end, -1 not there.
    static int MarkerAt(const std::vector<uint8_t>& marker, const uint8_t* bytes, size_t n,
                        uint64_t at);
    // The first position from which bytes[.., n) may begin the start marker.
    size_t TailStart(const uint8_t* bytes, size_t n) const;

    std::vector<uint8_t> m_start;
    std::vector<uint8_t> m_end;
    uint64_t m_payload;  // pixel bytes of a frame
};

}  // namespace stream
