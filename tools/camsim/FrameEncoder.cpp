#include "tools/camsim/FrameEncoder.h"

#include <algorithm>

#include "stream/JpegDecoder.h"

namespace camsim {

namespace {

using stream::Encoding;

constexpr uint8_t kPacketNewFrame = 0x11;
constexpr uint8_t kPacketText = 0x13;
constexpr uint8_t kPacketRgb565 = 1;
constexpr uint8_t kPacketGray = 2;
constexpr int kPacketMaxSide = 1023;  // Ten bits of width and of height.

void PutLe(std::vector<uint8_t>& out, uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) {
        out.push_back(static_cast<uint8_t>(value >> (8 * i)));
    }
}

// A command packet: 00, N, the N bytes, their XOR.
std::vector<uint8_t> Packet(const std::vector<uint8_t>& command) {
    std::vector<uint8_t> packet{0x00, static_cast<uint8_t>(command.size())};
    uint8_t check = 0;
    for (uint8_t b : command) {
        packet.push_back(b);
        check ^= b;
    }
    packet.push_back(check);
    return packet;
}

// Gives a row's pixel bytes the packet framing's check bits.
void SetCheckBits(Encoding encoding, uint8_t* row, uint32_t width) {
    for (uint32_t c = 0; c < width; ++c) {
        if (encoding == Encoding::Gray8) {
            uint8_t v = static_cast<uint8_t>((row[c] & 0xFE) | (c & 1));
            row[c] = v == 0 ? 2 : v;
        } else {
            uint8_t& high = row[2 * c];
            uint8_t& low = row[2 * c + 1];
            high = static_cast<uint8_t>((high & ~0x08) | ((high & 0x20) ? 0 : 0x08));
            low = static_cast<uint8_t>((low & ~0x20) | ((low & 0x08) ? 0x20 : 0) | 0x01);
        }
    }
}

// The Y bytes of a 4:2:2 row that carries gray alone; chroma 128.
void PutLumaRow(Encoding encoding, const uint8_t* gray, uint8_t* row, uint32_t width) {
    const int first = encoding == Encoding::YuyvLuma ? 0 : 1;
    for (uint32_t pair = 0; pair < (width + 1) / 2; ++pair) {
        uint8_t* p = row + 4 * pair;
        const uint32_t c = 2 * pair;
        p[first] = gray[c];
        p[first + 2] = c + 1 < width ? gray[c + 1] : gray[c];
        p[1 - first] = 128;
        p[3 - first] = 128;
    }
}

}  // namespace

std::vector<uint8_t> EncodedFrame::Wire() const {
    std::vector<uint8_t> wire;
    wire.reserve(header.size() + payload.size() + text.size() + trailer.size());
    wire.insert(wire.end(), header.begin(), header.end());
    const size_t at = std::min(textAt, payload.size());
    wire.insert(wire.end(), payload.begin(), payload.begin() + static_cast<std::ptrdiff_t>(at));
    wire.insert(wire.end(), text.begin(), text.end());
    wire.insert(wire.end(), payload.begin() + static_cast<std::ptrdiff_t>(at), payload.end());
    wire.insert(wire.end(), trailer.begin(), trailer.end());
    return wire;
}

void EncodedFrame::LoseByte(size_t at) {
    if (at >= payload.size()) {
        return;
    }
    payload.erase(payload.begin() + static_cast<std::ptrdiff_t>(at));
    if (at < textAt) {
        --textAt;
    }
}

FrameEncoder::FrameEncoder(const stream::CStreamFormat& format, Encoding encoding,
                           uint8_t headerByte, const FrameSource& source, int quality,
                           std::string text)
    : format_(format),
      encoding_(encoding),
      headerByte_(headerByte),
      source_(source),
      quality_(quality),
      text_(std::move(text)) {}

bool FrameEncoder::NeedsColour(Encoding encoding) {
    return !stream::Info(encoding).gray;
}

bool FrameEncoder::Check(const stream::CStreamFormat& format, Encoding encoding, int rows,
                         int columns, std::string* error) {
    std::string why;
    if (!format.Valid(&why)) {
        // The format's own reason, already in the user's words.
    } else if (encoding == Encoding::Page) {
        why = "the encoding must be resolved for the page";
    } else if (format.framing == stream::Framing::Described && encoding != Encoding::Gray8 &&
               encoding != Encoding::Rgb565Be && encoding != Encoding::Rgb565Le) {
        why = "the self-describing header carries only gray8, rgb565be or rgb565le";
    } else if (format.framing == stream::Framing::Packet && encoding != Encoding::Gray8 &&
               encoding != Encoding::Rgb565Be) {
        why = "the packet protocol carries only gray8 or rgb565be";
    } else if (format.framing == stream::Framing::Packet &&
               (rows > kPacketMaxSide || columns > kPacketMaxSide)) {
        why = "the packet protocol carries at most 1023 rows and columns";
    }
    if (!why.empty() && error) {
        *error = why;
    }
    return why.empty();
}

EncodedFrame FrameEncoder::Encode(uint64_t index, bool picture) const {
    EncodedFrame frame;
    Pixels(index, picture, frame);
    Frame(frame, index);
    return frame;
}

// The payload and the picture it shows.
void FrameEncoder::Pixels(uint64_t index, bool withPicture, EncodedFrame& frame) const {
    const auto width = static_cast<uint32_t>(source_.Columns());
    const auto height = static_cast<uint32_t>(source_.Rows());
    Picture& picture = frame.picture;
    picture.width = width;
    picture.height = height;
    picture.gray = stream::Info(encoding_).gray;
    if (encoding_ == Encoding::Jpeg || encoding_ == Encoding::JpegGray) {
        picture.pixels = picture.gray ? source_.Frame(index) : source_.Rgb(index);
        frame.payload = stream::CJpegDecoder::Encode(picture.pixels.data(), width, height,
                                                     picture.gray, quality_);
        return;
    }
    std::vector<uint8_t>& payload = frame.payload;
    const size_t rowBytes = stream::RowBytes(encoding_, width);
    if (encoding_ == Encoding::Gray8 || encoding_ == Encoding::Uyv) {
        payload = source_.Frame(index);  // The source's own bytes: the design's frames exactly.
    } else if (!NeedsColour(encoding_)) {
        const std::vector<uint8_t> gray = source_.Frame(index);
        payload.assign(rowBytes * height, 0);
        for (uint32_t r = 0; r < height; ++r) {
            uint8_t* row = &payload[r * rowBytes];
            if (encoding_ == Encoding::Bits1) {
                for (uint32_t c = 0; c < width; ++c) {
                    stream::PutPixel(encoding_, row, c, gray[r * width + c] * 0x010101u);
                }
            } else {
                PutLumaRow(encoding_, &gray[r * width], row, width);
            }
        }
    } else {
        const std::vector<uint8_t> rgb = source_.Rgb(index);
        payload.assign(rowBytes * height, 0);
        for (uint32_t r = 0; r < height; ++r) {
            uint8_t* row = &payload[r * rowBytes];
            for (uint32_t c = 0; c < width; ++c) {
                const uint8_t* p = &rgb[3 * (r * width + c)];
                stream::PutPixel(encoding_, row, c,
                                 (uint32_t{p[0]} << 16) | (uint32_t{p[1]} << 8) | p[2]);
            }
        }
    }
    if (format_.framing == stream::Framing::Packet) {
        for (uint32_t r = 0; r < height; ++r) {
            SetCheckBits(encoding_, &payload[r * rowBytes], width);
        }
    }
    if (!withPicture) {
        return;
    }
    picture.pixels.resize(static_cast<size_t>(width) * height * (picture.gray ? 1 : 3));
    uint8_t* out = picture.pixels.data();
    for (uint32_t r = 0; r < height; ++r) {
        const uint8_t* row = &payload[r * rowBytes];
        for (uint32_t c = 0; c < width; ++c) {
            if (picture.gray) {
                *out++ = stream::PixelLuma(encoding_, row, c);
            } else {
                const uint32_t v = stream::PixelRgb(encoding_, row, c);
                *out++ = static_cast<uint8_t>(v >> 16);
                *out++ = static_cast<uint8_t>(v >> 8);
                *out++ = static_cast<uint8_t>(v);
            }
        }
    }
}

// What goes around the payload.
void FrameEncoder::Frame(EncodedFrame& frame, uint64_t index) const {
    const auto width = static_cast<uint32_t>(source_.Columns());
    const auto height = static_cast<uint32_t>(source_.Rows());
    switch (format_.framing) {
        case stream::Framing::HeaderByte:
            frame.header = {headerByte_};
            break;
        case stream::Framing::Marker:
            frame.header = format_.startMarker;
            frame.trailer = format_.endMarker;
            break;
        case stream::Framing::Described: {
            frame.header = {0xD5, 0xAA, 0x96, 0x5A, 1};
            frame.header.push_back(encoding_ == Encoding::Gray8 ? 1 : 0);
            frame.header.push_back(encoding_ == Encoding::Rgb565Le ? 1 : 0);
            frame.header.push_back(0);
            PutLe(frame.header, width, 2);
            PutLe(frame.header, height, 2);
            PutLe(frame.header, static_cast<uint32_t>(frame.payload.size()), 4);
            PutLe(frame.header, static_cast<uint32_t>(index), 4);
            break;
        }
        case stream::Framing::Packet: {
            const uint8_t kind = encoding_ == Encoding::Gray8 ? kPacketGray : kPacketRgb565;
            frame.header =
                Packet({kPacketNewFrame, static_cast<uint8_t>(width & 0xFF),
                        static_cast<uint8_t>(height & 0xFF),
                        static_cast<uint8_t>((width >> 8) | ((height >> 8) << 2) | (kind << 4))});
            if (!text_.empty()) {
                std::vector<uint8_t> command{kPacketText};
                command.insert(command.end(), text_.begin(), text_.end());
                frame.text = Packet(command);
                frame.textAt = stream::RowBytes(encoding_, width);
            }
            break;
        }
        case stream::Framing::Jpeg:
        case stream::Framing::Headerless:
            break;
    }
}

}  // namespace camsim
