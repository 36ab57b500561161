#include "stream/Framer.h"

#include <algorithm>
#include <cstring>

#include "stream/DescribedFramer.h"
#include "stream/HeaderByteFramer.h"
#include "stream/HeaderlessFramer.h"
#include "stream/JpegFramer.h"
#include "stream/MarkerFramer.h"
#include "stream/PacketFramer.h"

namespace stream {

void CFramer::BeginFrame(const FrameHeader&) {}

Take CFramer::TakePayload(const uint8_t* bytes, size_t n, uint8_t* dst, size_t room) {
    Take take;
    take.consumed = take.produced = std::min(n, room);
    if (take.produced > 0)
        std::memcpy(dst, bytes, take.produced);
    return take;
}

End CFramer::CheckEnd(const uint8_t*, size_t, const ScanContext&) const {
    End end;
    end.kind = End::Good;
    return end;
}

size_t CFramer::WholeFrameLength(const uint8_t* bytes, size_t n, const ScanContext& context) const {
    const Search start = FindStart(bytes, n, context);
    if (!start.found || start.offset != 0 || start.header.payloadLength == kUntilEnd)
        return 0;
    const uint64_t length = uint64_t{start.header.headerLength} + start.header.payloadLength;
    return length > 0 && length <= n ? static_cast<size_t>(length) : 0;
}

std::unique_ptr<CFramer> MakeFramer(const FramerSetup& setup) {
    switch (setup.format.framing) {
        case Framing::HeaderByte:
            return std::make_unique<CHeaderByteFramer>(setup);
        case Framing::Marker:
            return std::make_unique<CMarkerFramer>(setup);
        case Framing::Described:
            return std::make_unique<CDescribedFramer>(setup);
        case Framing::Packet:
            return std::make_unique<CPacketFramer>(setup);
        case Framing::Jpeg:
            return std::make_unique<CJpegFramer>(setup);
        case Framing::Headerless:
            return std::make_unique<CHeaderlessFramer>(setup);
    }
    return nullptr;
}

}  // namespace stream
