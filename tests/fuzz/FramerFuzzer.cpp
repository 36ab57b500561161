// libFuzzer target over one framing (TAVIX_FRAMING, set per executable):
// random streams and random page settings played through the engine's calls
// (tests/FramerHarness.h) whole, a byte at a time and in the input's own
// chunks. Invariants: no call spins or writes past its room (the harness's
// faults, the address sanitizer); framings that decide only on whole
// evidence give the same frames however the stream is chunked; and with the
// "clean" bit the input's bytes become well-formed frames, which must all
// come through unharmed in every chunking (unless the input also asks for a
// byte of them to be lost or changed).
//
// Input: 8 bytes of parameters (clean bit and encoding, rows, columns,
// header byte, marker lengths, chunk sizes, gap spacing), then the markers'
// bytes for the marker framing, then the stream (or the pixels).
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "FramerHarness.h"
#include "stream/Framer.h"

#ifndef TAVIX_FRAMING
#error "TAVIX_FRAMING names the framing this target fuzzes"
#endif

namespace {

using namespace framertest;
using stream::Encoding;
using stream::Framing;

constexpr Framing kFraming = Framing::TAVIX_FRAMING;

[[noreturn]] void Fail(const char* what, const std::string& detail = {}) {
    std::fprintf(stderr, "invariant broken: %s %s\n", what, detail.c_str());
    std::abort();
}

bool SameFrames(const PlayResult& a, const PlayResult& b) {
    if (a.frames.size() != b.frames.size())
        return false;
    for (size_t i = 0; i < a.frames.size(); ++i) {
        const PlayedFrame &x = a.frames[i], &y = b.frames[i];
        if (x.payload != y.payload || x.damaged != y.damaged || x.cutShort != y.cutShort ||
            x.suspect != y.suspect || x.text != y.text || x.header.width != y.header.width ||
            x.header.height != y.header.height || x.header.encoding != y.header.encoding ||
            x.header.counter != y.header.counter)
            return false;
    }
    return true;
}

// Well-formed frames of this framing made of `data`'s bytes, with the
// payloads they must come out as; empty when the settings allow none.
Bytes CleanStream(const stream::FramerSetup& setup, const uint8_t* data, size_t size,
                  std::vector<Bytes>& payloads, std::vector<uint64_t>& marks) {
    Bytes stream;
    size_t used = 0;
    auto take = [&](size_t n) {
        Bytes bytes;
        for (size_t i = 0; i < n; ++i)
            bytes.push_back(size > 0 ? data[(used + i) % size] : 0x5A);
        used += n;
        return bytes;
    };
    const uint64_t pageBytes = stream::FrameBytes(setup.encoding, setup.columns, setup.rows);
    for (int frame = 0; frame < 6 && used < size; ++frame) {
        Bytes payload;
        switch (kFraming) {
            case Framing::HeaderByte:
                if (pageBytes == 0)
                    return {};
                payload = take(pageBytes);
                for (uint8_t& b : payload)
                    if (b == setup.headerByte)
                        b ^= 1;  // a header-valued pixel could be confirmed by chance
                stream.push_back(setup.headerByte);
                Append(stream, payload);
                break;
            case Framing::Marker: {
                payload = take(pageBytes);
                Append(stream, setup.format.startMarker);
                Append(stream, payload);
                Append(stream, setup.format.endMarker);
                break;
            }
            case Framing::Described: {
                const uint32_t width = 1 + used % 7, height = 1 + frame % 3;
                const bool gray = (used & 1) != 0;
                payload = take(width * height * (gray ? 1 : 2));
                Append(stream, {0xD5, 0xAA, 0x96, 0x5A, 1, gray ? uint8_t{1} : uint8_t{0}, 0, 0});
                Le(stream, width, 2);
                Le(stream, height, 2);
                Le(stream, static_cast<uint32_t>(payload.size()), 4);
                Le(stream, static_cast<uint32_t>(frame), 4);
                Append(stream, payload);
                break;
            }
            case Framing::Packet: {
                const uint32_t width = 1 + used % 5, height = 1 + frame % 4;
                const bool rgb = (used & 1) != 0;
                payload = take(width * height * (rgb ? 2 : 1));
                for (size_t i = 0; i < payload.size(); ++i) {
                    uint8_t& b = payload[i];
                    if (rgb && i % 2 == 0) {
                        b = static_cast<uint8_t>((b & ~8u) | (~b >> 2 & 8u));
                    } else if (rgb) {
                        b |= 1;
                        b = static_cast<uint8_t>((b & ~8u) | (b >> 2 & 8u));
                    } else {
                        b = static_cast<uint8_t>((b & 0xFEu) | (i % width & 1u));
                        if (b == 0)
                            b = 2;
                    }
                }
                Append(stream,
                       Packet({0x11, static_cast<uint8_t>(width), static_cast<uint8_t>(height),
                               static_cast<uint8_t>((rgb ? 1 : 2) << 4)}));
                const size_t half = payload.size() / 2;
                stream.insert(stream.end(), payload.begin(), payload.begin() + half);
                Append(stream, Packet({0x13, 'o', 'k'}));
                stream.insert(stream.end(), payload.begin() + half, payload.end());
                break;
            }
            case Framing::Jpeg: {
                // SOI, an APP1 of data, SOS, data as entropy (FF stuffed), EOI.
                const Bytes app = take(used % 40);
                const Bytes scan = take(1 + used % 60);
                payload = {0xFF,
                           0xD8,
                           0xFF,
                           0xE1,
                           static_cast<uint8_t>((app.size() + 2) >> 8),
                           static_cast<uint8_t>(app.size() + 2)};
                Append(payload, app);
                Append(payload, {0xFF, 0xDA, 0x00, 0x03, 0x01});
                for (uint8_t b : scan) {
                    payload.push_back(b);
                    if (b == 0xFF)
                        payload.push_back(0x00);
                }
                Append(payload, {0xFF, 0xD9});
                Append(stream, {'O', 'K', '\r', '\n'});
                Append(stream, payload);
                break;
            }
            case Framing::Headerless:
                if (pageBytes == 0)
                    return {};
                payload = take(pageBytes);
                marks.push_back(stream.size());
                Append(stream, payload);
                break;
        }
        payloads.push_back(payload);
    }
    return stream;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* input, size_t size) {
    if (size < 8)
        return 0;
    const bool clean = (input[0] & 1) != 0;
    static const Encoding kPageEncodings[] = {Encoding::Gray8, Encoding::Rgb565Be, Encoding::Uyv,
                                              Encoding::Bits1, Encoding::Yuyv,     Encoding::Rgb888,
                                              Encoding::Gray8, Encoding::Rgb565Le};
    stream::FramerSetup setup;
    setup.format.framing = kFraming;
    setup.encoding = kFraming == Framing::Jpeg ? Encoding::Jpeg : kPageEncodings[input[0] >> 1 & 7];
    setup.rows = input[1] % 9;
    setup.columns = input[2] % 13;
    setup.headerByte = input[3];
    const uint8_t* data = input + 8;
    size_t left = size - 8;
    if (kFraming == Framing::Marker) {
        const size_t start = 1 + input[4] % 8, end = (input[4] >> 3) % 9;
        if (left < start + end)
            return 0;
        setup.format.startMarker.assign(data, data + start);
        setup.format.endMarker.assign(data + start, data + start + end);
        data += start + end;
        left -= start + end;
    }
    const std::vector<size_t> pattern = {1u + input[5] % 7, 1u + input[5] / 7 % 37, 1, 2};

    PlayOptions options;
    options.untilEndRoom = 1024;
    std::vector<Bytes> payloads;
    Bytes stream;
    if (clean) {
        stream = CleanStream(setup, data, left, payloads, options.marks);
        if (stream.empty())
            return 0;
        // Well-formed frames with a byte lost or changed: the framer's own
        // checks and repairs (a lost byte's fill, a cut-short frame) run.
        if (input[7] & 1)
            stream.erase(stream.begin() + (input[6] * 7u) % stream.size());
        if ((input[7] & 2) && !stream.empty())
            stream[(input[6] * 13u) % stream.size()] ^= input[7] | 1;
    } else {
        stream.assign(data, data + left);
        const size_t spacing = 1 + input[6] % 64;
        for (size_t at = input[7] % spacing; at < stream.size(); at += spacing)
            options.marks.push_back(at);
    }

    PlayResult results[3];
    const std::vector<size_t> chunkings[3] = {{}, {1}, pattern};
    for (int i = 0; i < 3; ++i) {
        const std::unique_ptr<stream::CFramer> framer = stream::MakeFramer(setup);
        options.chunks = chunkings[i];
        results[i] = Play(*framer, stream, options);
        if (!results[i].faults.empty())
            Fail("framer fault:", results[i].faults[0]);
        if (clean && (input[7] & 3) == 0 && GoodPayloads(results[i]) != payloads)
            Fail("clean frames did not come through", std::to_string(i));
    }
    // The search of these framings waits for whole evidence; the header-byte
    // and marker searches take a start they cannot tell yet, by design.
    const bool deterministic = kFraming == Framing::Described || kFraming == Framing::Packet ||
                               kFraming == Framing::Jpeg || kFraming == Framing::Headerless;
    if (deterministic &&
        !(SameFrames(results[0], results[1]) && SameFrames(results[0], results[2])))
        Fail("chunking changed the frames");
    return 0;
}
