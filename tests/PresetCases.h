// Every stream preset at two sizes its boards send: the cases the format
// recogniser's test and the diagnosis table both run.
#pragma once

#include "stream/PixelEncoding.h"

namespace presetcases {

using stream::Encoding;

struct PresetCase {
    const char* preset;
    int rows, columns;
    Encoding encoding;  // what the pixels are (the header byte's: gray or U,Y,V)
};

inline const PresetCase kPresets[] = {
    {"design", 60, 80, Encoding::Gray8},
    {"design", 120, 160, Encoding::Uyv},
    {"smartcar-gray", 120, 188, Encoding::Gray8},
    {"smartcar-gray", 60, 94, Encoding::Gray8},
    {"fe01-bits", 60, 80, Encoding::Bits1},
    {"fe01-bits", 120, 160, Encoding::Bits1},
    {"fe01-gray", 60, 80, Encoding::Gray8},
    {"fe01-gray", 120, 160, Encoding::Gray8},
    {"arduino", 240, 320, Encoding::Gray8},
    {"arduino", 120, 160, Encoding::Gray8},
    {"liveov7670", 120, 160, Encoding::Rgb565Be},
    {"liveov7670", 144, 176, Encoding::Rgb565Be},
    {"jpeg", 240, 320, Encoding::Jpeg},
    {"jpeg", 480, 640, Encoding::Jpeg},
    {"jpeg-gray", 240, 320, Encoding::JpegGray},
    {"jpeg-gray", 120, 160, Encoding::JpegGray},
    {"raw565", 240, 320, Encoding::Rgb565Be},
    {"raw565", 120, 160, Encoding::Rgb565Be},
    {"rdy-gray", 240, 320, Encoding::Gray8},
    {"rdy-gray", 120, 160, Encoding::Gray8},
    {"request-565", 120, 160, Encoding::Rgb565Be},
    {"request-565", 144, 176, Encoding::Rgb565Be},
};

}  // namespace presetcases
