// JPEG frames through libjpeg-turbo: one reused decompressor, decoding whole
// frames into a caller's buffer. A frame that decodes only with the library's
// warnings (truncated, corrupt data) is drawn and counted suspect; one that
// does not decode is not drawn.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace stream {

class CJpegDecoder {
public:
    CJpegDecoder();
    ~CJpegDecoder();
    CJpegDecoder(const CJpegDecoder&) = delete;
    CJpegDecoder& operator=(const CJpegDecoder&) = delete;

    enum class Result { Ok, Warning, Failed };

    // Width and height from the frame's header; false when it has none.
    bool Header(const uint8_t* data, size_t n, uint32_t& width, uint32_t& height);
    // Decodes into `pixels`: R, G, B per pixel (Encoding::Rgb888), or one gray
    // byte per pixel when `gray`, row after row without padding. Pictures over
    // `maxPixels` fail. The library's message in `message` unless Ok.
    Result Decode(const uint8_t* data, size_t n, bool gray, std::vector<uint8_t>& pixels,
                  uint32_t& width, uint32_t& height, std::string* message = nullptr,
                  uint64_t maxPixels = 16ull << 20);

    // Encodes `pixels` (R, G, B or gray rows, no padding) at `quality`, for
    // the simulator and the tests. Empty on failure.
    static std::vector<uint8_t> Encode(const uint8_t* pixels, uint32_t width, uint32_t height,
                                       bool gray, int quality);

private:
    void* m_handle = nullptr;  // tjhandle
};

}  // namespace stream
