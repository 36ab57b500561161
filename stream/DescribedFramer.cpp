#include "stream/DescribedFramer.h"

#include <algorithm>
#include <cstring>

namespace stream {

namespace {

uint32_t Le16(const uint8_t* p) {
    return p[0] | uint32_t{p[1]} << 8;
}

uint32_t Le32(const uint8_t* p) {
    return p[0] | uint32_t{p[1]} << 8 | uint32_t{p[2]} << 16 | uint32_t{p[3]} << 24;
}

}  // namespace

bool CDescribedFramer::ReadHeader(const uint8_t* h, FrameHeader& header) {
    const uint8_t version = h[4], format = h[5], flags = h[6];
    const uint32_t width = Le16(h + 8), height = Le16(h + 10), length = Le32(h + 12);
    if (version != 1 || format > 1 || width == 0 || height == 0)
        return false;
    const uint64_t pixelBytes = format == 0 ? 2 : 1;
    if (length != uint64_t{width} * height * pixelBytes || length > kMaxPayload)
        return false;
    header.headerLength = kHeaderLength;
    header.payloadLength = length;
    header.width = width;
    header.height = height;
    header.encoding = format == 1   ? Encoding::Gray8
                      : (flags & 1) ? Encoding::Rgb565Le
                                    : Encoding::Rgb565Be;
    header.hasCounter = true;
    header.counter = Le32(h + 16);
    return true;
}

Search CDescribedFramer::FindStart(const uint8_t* bytes, size_t n, const ScanContext&) const {
    Search search;
    size_t at = 0;
    for (; at + sizeof kSync <= n; ++at) {
        if (bytes[at] != kSync[0] || std::memcmp(bytes + at, kSync, sizeof kSync) != 0)
            continue;
        if (at + kHeaderLength > n)
            break;  // the rest may be a header: wait for it whole
        if (ReadHeader(bytes + at, search.header)) {
            search.found = true;
            break;
        }
        ++search.rejected;  // a false sync: the search goes on from the next byte
    }
    if (!search.found && at + sizeof kSync > n) {
        // What remains is shorter than the sync: keep a tail that may begin one.
        at = std::min(at, n);
        while (at < n && std::memcmp(bytes + at, kSync, n - at) != 0)
            ++at;
    }
    search.offset = at;
    return search;
}

}  // namespace stream
