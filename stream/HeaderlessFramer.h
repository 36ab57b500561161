// Raw frames with nothing around them (RGB565 320 x 240, gray after a
// request): the page's geometry of pixels, no header, no trailer. Only the
// line tells where a frame starts: after a quiet gap, right after a request
// was sent, or right after the frame before.
#pragma once

#include "stream/Framer.h"

namespace stream {

class CHeaderlessFramer : public CFramer {
public:
    explicit CHeaderlessFramer(const FramerSetup& setup);

    Search FindStart(const uint8_t* bytes, size_t n, const ScanContext& context) const override;
    bool GapEndsFrame() const override { return true; }

private:
    uint64_t m_payload;  // pixel bytes of a frame
};

}  // namespace stream
