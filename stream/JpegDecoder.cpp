#include "stream/JpegDecoder.h"

#include <turbojpeg.h>

#include <algorithm>
#include <climits>
#include <string>

#include "settings/Translation.h"

namespace stream {

namespace {

// The library's text for the last call on `handle` (or of the last failed
// initialisation when null).
std::string LibraryMessage(tjhandle handle) {
    const char* text = tjGetErrorStr2(handle);
    return text != nullptr && *text != '\0' ? text : tx::Tr("CJpegDecoder", "JPEG 库未给出原因");
}

// A decompressor that stopped on an error can keep part of that frame's
// state (its tables, its source) and then refuse every later frame: after
// any frame that did not decode cleanly it is replaced by a fresh one.
void Renew(void*& handle) {
    if (handle != nullptr)
        tjDestroy(static_cast<tjhandle>(handle));
    handle = tjInitDecompress();
}

bool ReadHeader(void* handle, const uint8_t* data, size_t n, uint32_t& width, uint32_t& height) {
    int w = 0, h = 0, subsampling = 0, colourspace = 0;
    if (n > ULONG_MAX ||
        tjDecompressHeader3(static_cast<tjhandle>(handle), data, static_cast<unsigned long>(n), &w,
                            &h, &subsampling, &colourspace) != 0 ||
        w <= 0 || h <= 0)
        return false;
    width = static_cast<uint32_t>(w);
    height = static_cast<uint32_t>(h);
    return true;
}

}  // namespace

CJpegDecoder::CJpegDecoder() : m_handle(tjInitDecompress()) {}

CJpegDecoder::~CJpegDecoder() {
    if (m_handle != nullptr)
        tjDestroy(static_cast<tjhandle>(m_handle));
}

bool CJpegDecoder::Header(const uint8_t* data, size_t n, uint32_t& width, uint32_t& height) {
    if (m_handle == nullptr || data == nullptr || n == 0)
        return false;
    if (ReadHeader(m_handle, data, n, width, height))
        return true;
    Renew(m_handle);
    return false;
}

CJpegDecoder::Result CJpegDecoder::Decode(const uint8_t* data, size_t n, bool gray,
                                          std::vector<uint8_t>& pixels, uint32_t& width,
                                          uint32_t& height, std::string* message,
                                          uint64_t maxPixels) {
    if (message != nullptr)
        message->clear();
    const auto fail = [&](const std::string& why) {
        if (message != nullptr)
            *message = why;
        return Result::Failed;
    };
    if (m_handle == nullptr)
        return fail(tx::Format(tx::Tr("CJpegDecoder", "JPEG 解码器无法初始化：%1"),
                               LibraryMessage(nullptr)));
    if (data == nullptr || n == 0)
        return fail(tx::Tr("CJpegDecoder", "没有 JPEG 数据"));
    uint32_t w = 0, h = 0;
    if (!ReadHeader(m_handle, data, n, w, h)) {
        const std::string why = LibraryMessage(static_cast<tjhandle>(m_handle));
        Renew(m_handle);
        return fail(why);
    }
    width = w;
    height = h;
    // Refused from the header alone: a corrupt or hostile size never gets
    // its buffer.
    if (uint64_t{w} * h > maxPixels)
        return fail(tx::Format(tx::Tr("CJpegDecoder", "JPEG 图片尺寸 %1 × %2 超过上限（%3 像素）"),
                               w, h, maxPixels));
    const size_t channels = gray ? 1 : 3;
    pixels.resize(static_cast<size_t>(w) * h * channels);
    const int rc =
        tjDecompress2(static_cast<tjhandle>(m_handle), data, static_cast<unsigned long>(n),
                      pixels.data(), static_cast<int>(w), static_cast<int>(w * channels),
                      static_cast<int>(h), gray ? TJPF_GRAY : TJPF_RGB, 0);
    if (rc == 0)
        return Result::Ok;
    const std::string why = LibraryMessage(static_cast<tjhandle>(m_handle));
    const bool warning = tjGetErrorCode(static_cast<tjhandle>(m_handle)) == TJERR_WARNING;
    Renew(m_handle);
    if (warning) {
        if (message != nullptr)
            *message = why;
        return Result::Warning;
    }
    return fail(why);
}

std::vector<uint8_t> CJpegDecoder::Encode(const uint8_t* pixels, uint32_t width, uint32_t height,
                                          bool gray, int quality) {
    std::vector<uint8_t> out;
    if (pixels == nullptr || width == 0 || height == 0 || width > 65535 || height > 65535)
        return out;
    tjhandle handle = tjInitCompress();
    if (handle == nullptr)
        return out;
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    const int channels = gray ? 1 : 3;
    if (tjCompress2(handle, pixels, static_cast<int>(width), static_cast<int>(width) * channels,
                    static_cast<int>(height), gray ? TJPF_GRAY : TJPF_RGB, &buffer, &size,
                    gray ? TJSAMP_GRAY : TJSAMP_420, std::clamp(quality, 1, 100), 0) == 0 &&
        buffer != nullptr)
        out.assign(buffer, buffer + size);
    tjFree(buffer);
    tjDestroy(handle);
    return out;
}

}  // namespace stream
