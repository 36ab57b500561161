// The self-describing header of the Arduino camera serial stream: 20 bytes,
// multi-byte fields little-endian — sync D5 AA 96 5A, version (1), format
// (0 RGB565, 1 GRAY8), flags (bit 0: RGB565 low byte first), reserved, u16
// width, u16 height, u32 payload length, u32 frame counter — then exactly
// `length` bytes. A header counts only when its fields agree.
#pragma once

#include "stream/Framer.h"

namespace stream {

class CDescribedFramer : public CFramer {
public:
    static constexpr size_t kHeaderLength = 20;
    static constexpr uint8_t kSync[4] = {0xD5, 0xAA, 0x96, 0x5A};

    explicit CDescribedFramer(const FramerSetup& setup) : CFramer(setup) {}

    Search FindStart(const uint8_t* bytes, size_t n, const ScanContext& context) const override;

private:
    // The header at h (kHeaderLength bytes, sync in place); false when its
    // fields disagree.
    static bool ReadHeader(const uint8_t* h, FrameHeader& header);
};

}  // namespace stream
