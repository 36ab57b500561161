// The design's framing: one header byte (the 帧头 box), then the page's
// geometry of pixels. A pixel may carry the header's value, so a header byte
// counts as a frame start for sure only when a frame later another header
// byte follows.
#pragma once

#include "stream/Framer.h"

namespace stream {

class CHeaderByteFramer : public CFramer {
public:
    explicit CHeaderByteFramer(const FramerSetup& setup);

    Search FindStart(const uint8_t* bytes, size_t n, const ScanContext& context) const override;
    End CheckEnd(const uint8_t* bytes, size_t n, const ScanContext& context) const override;
    size_t WholeFrameLength(const uint8_t* bytes, size_t n,
                            const ScanContext& context) const override;
    bool InStepOnly() const override { return true; }

private:
    uint64_t m_payload;  // pixel bytes of a frame
};

}  // namespace stream
