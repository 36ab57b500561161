// Command packets around parity-marked pixels (LiveOV7670): a packet is 00,
// length N, N command bytes, the XOR of those N bytes. Command 11 (N = 4)
// starts a frame: 11, width bits 0-7, height bits 0-7, then width bits 8-9
// (bits 0-1), height bits 8-9 (bits 2-3) and the pixel format (bits 4-7:
// 1 RGB565, 2 gray). Command 13 carries debug text. Pixel bytes are never 00
// and carry check bits, so a lost byte shows at the next pixel: RGB565 comes
// high byte first, bits 5 and 3 of a high byte differ, of a low byte agree
// with bit 0 set; gray bytes alternate their lowest bit 0, 1 from each row's
// first pixel.
#pragma once

#include "stream/Framer.h"

namespace stream {

class CPacketFramer : public CFramer {
public:
    static constexpr uint8_t kNewFrame = 0x11;
    static constexpr uint8_t kDebugText = 0x13;

    explicit CPacketFramer(const FramerSetup& setup) : CFramer(setup) {}

    Search FindStart(const uint8_t* bytes, size_t n, const ScanContext& context) const override;
    void BeginFrame(const FrameHeader& header) override;
    Take TakePayload(const uint8_t* bytes, size_t n, uint8_t* dst, size_t room) override;
    size_t WholeFrameLength(const uint8_t* bytes, size_t n,
                            const ScanContext& context) const override;

private:
    // Where a frame's payload stands.
    struct State {
        Encoding encoding = Encoding::Gray8;
        uint32_t width = 0;
        uint64_t produced = 0;  // payload bytes so far
        uint8_t lastHigh = 0x08, lastLow = 0x01, lastGray = 0x02;
    };
    // The packet at bytes[0] (a 00): its length when whole and its XOR
    // agrees, 0 while it is not whole, -1 when it is no packet.
    static long PacketAt(const uint8_t* bytes, size_t n);
    // TakePayload on `state`; dst may be null (only counting).
    static Take Walk(State& state, const uint8_t* bytes, size_t n, uint8_t* dst, size_t room);

    State m_state;
};

}  // namespace stream
