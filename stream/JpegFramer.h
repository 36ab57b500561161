// JPEG frames from SOI (FF D8) to EOI (FF D9), whatever lies between frames
// skipped. The payload is the whole file, SOI to EOI, so a saved frame is a
// byte-exact .jpg. The frame's end is found by walking its structure: marker
// segments are skipped by their length (an Exif thumbnail carries its own
// FF D8 ... FF D9), and in entropy-coded data FF 00, the restart markers
// FF D0-D7 and FF fill bytes are no boundaries. An SOI before the EOI ends the
// frame cut short.
#pragma once

#include "stream/Framer.h"

namespace stream {

class CJpegFramer : public CFramer {
public:
    explicit CJpegFramer(const FramerSetup& setup) : CFramer(setup) {}

    Search FindStart(const uint8_t* bytes, size_t n, const ScanContext& context) const override;
    void BeginFrame(const FrameHeader& header) override;
    Take TakePayload(const uint8_t* bytes, size_t n, uint8_t* dst, size_t room) override;
    size_t WholeFrameLength(const uint8_t* bytes, size_t n,
                            const ScanContext& context) const override;

private:
    enum class Step : uint8_t {
        Soi,      // the frame's own FF D8
        Marker,   // between segments: a marker is due
        Length,   // a segment's two length bytes
        Skip,     // a segment's body
        Entropy,  // entropy-coded data after SOS
        Lost,     // the structure broke: anything up to FF D9
    };
    struct State {
        Step step = Step::Soi;
        bool scan = false;        // the segment being skipped is an SOS
        uint8_t lengthBytes = 0;  // length bytes read so far
        uint32_t remaining = 0;   // Length: the length so far; Skip: bytes left
    };
    // TakePayload on `state`; dst may be null (only walking).
    static Take Walk(State& state, const uint8_t* bytes, size_t n, uint8_t* dst, size_t room);

    State m_state;
};

}  // namespace stream
