#include "stream/PixelEncoding.h"

#include <algorithm>

namespace stream {

namespace {

const EncodingInfo kInfo[kEncodingCount] = {
    {Encoding::Page, "page", "随页面（灰度页 8 位灰度，彩色页 U,Y,V）", false, false},
    {Encoding::Gray8, "gray8", "8 位灰度", true, false},
    {Encoding::Uyv, "uyv", "U,Y,V（每像素 3 字节）", false, false},
    {Encoding::Rgb565Be, "rgb565be", "RGB565 高字节在前", false, false},
    {Encoding::Rgb565Le, "rgb565le", "RGB565 低字节在前", false, false},
    {Encoding::Rgb888, "rgb888", "RGB888", false, false},
    {Encoding::Yuyv, "yuyv", "YUV 4:2:2（YUYV）", false, false},
    {Encoding::Uyvy, "uyvy", "YUV 4:2:2（UYVY）", false, false},
    {Encoding::Yvyu, "yvyu", "YUV 4:2:2（YVYU）", false, false},
    {Encoding::YuyvLuma, "yuyv-y", "YUYV/YVYU 的 Y（灰度）", true, false},
    {Encoding::UyvyLuma, "uyvy-y", "UYVY 的 Y（灰度）", true, false},
    {Encoding::Bits1, "bits1", "1 位二值图（高位在左，1 为黑）", true, false},
    {Encoding::Jpeg, "jpeg", "JPEG", false, true},
    {Encoding::JpegGray, "jpeg-gray", "JPEG（灰度显示）", true, true},
};

}  // namespace

const EncodingInfo& Info(Encoding encoding) {
    const auto i = static_cast<size_t>(encoding);
    return kInfo[i < static_cast<size_t>(kEncodingCount) ? i : 0];
}

bool EncodingFromId(const std::string& id, Encoding& encoding) {
    for (const EncodingInfo& info : kInfo) {
        if (id == info.id) {
            encoding = info.encoding;
            return true;
        }
    }
    return false;
}

uint64_t RowBytes(Encoding encoding, uint32_t width) {
    const uint64_t w = width;
    switch (encoding) {
    case Encoding::Page:
    case Encoding::Gray8:
        return w;
    case Encoding::Uyv:
    case Encoding::Rgb888:
        return w * 3;
    case Encoding::Rgb565Be:
    case Encoding::Rgb565Le:
        return w * 2;
    case Encoding::Yuyv:
    case Encoding::Uyvy:
    case Encoding::Yvyu:
    case Encoding::YuyvLuma:
    case Encoding::UyvyLuma:
        return (w + 1) / 2 * 4;
    case Encoding::Bits1:
        return (w + 7) / 8;
    case Encoding::Jpeg:
    case Encoding::JpegGray:
        return 0;
    }
    return 0;
}

uint64_t FrameBytes(Encoding encoding, uint32_t width, uint32_t height) {
    return RowBytes(encoding, width) * height;
}

uint32_t CompleteRows(Encoding encoding, uint64_t received, uint32_t width, uint32_t height) {
    if (Info(encoding).compressed)
        return received > 0 ? height : 0;
    const uint64_t row = RowBytes(encoding, width);
    if (row == 0)
        return 0;
    return static_cast<uint32_t>(std::min<uint64_t>(received / row, height));
}

}  // namespace stream
