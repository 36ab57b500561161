#include "tools/camsim/FrameSource.h"

#include <algorithm>
#include <cctype>
#include <fstream>
#include <iterator>

#include "stream/PixelEncoding.h"

namespace camsim {

namespace {

struct Yuv {
    uint8_t u, y, v;
};

uint8_t Clamp(int x) {
    return static_cast<uint8_t>(std::clamp(x, 0, 255));
}

// Full-range BT.601 in integers. The chroma offset of 128 is added before the
// shift (128 << 8 = 32768) so the shifted value is never negative.
Yuv RgbToYuv(int r, int g, int b) {
    return Yuv{Clamp((-43 * r - 85 * g + 128 * b + 32896) >> 8),
               Clamp((77 * r + 150 * g + 29 * b + 128) >> 8),
               Clamp((128 * r - 107 * g - 21 * b + 32896) >> 8)};
}

// Colour bars, left to right: white, yellow, cyan, green, magenta, red, blue, black.
Yuv BarColour(int bar) {
    static const uint8_t kRgb[8][3] = {{255, 255, 255}, {255, 255, 0}, {0, 255, 255}, {0, 255, 0},
                                       {255, 0, 255},   {255, 0, 0},   {0, 0, 255},   {0, 0, 0}};
    return RgbToYuv(kRgb[bar][0], kRgb[bar][1], kRgb[bar][2]);
}

constexpr uint8_t kMovingBackground = 16;
constexpr uint8_t kMovingSquare = 235;

// A parsed binary PGM/PPM: width x height pixels of `channels` bytes each.
struct Pnm {
    int width = 0;
    int height = 0;
    int channels = 0;
    std::vector<uint8_t> data;
};

bool IsSpace(char ch) {
    return std::isspace(static_cast<unsigned char>(ch)) != 0;
}
bool IsDigit(char ch) {
    return std::isdigit(static_cast<unsigned char>(ch)) != 0;
}

// Reads one decimal header field of a PNM at *pos; whitespace and '#' comments
// (to the end of the line) may come before it.
bool ReadPnmNumber(const std::string& bytes, size_t* pos, long* out) {
    size_t p = *pos;
    while (p < bytes.size() && (IsSpace(bytes[p]) || bytes[p] == '#')) {
        if (bytes[p] == '#') {
            while (p < bytes.size() && bytes[p] != '\n') {
                ++p;
            }
        } else {
            ++p;
        }
    }
    if (p >= bytes.size() || !IsDigit(bytes[p])) {
        return false;
    }
    long value = 0;
    for (; p < bytes.size() && IsDigit(bytes[p]); ++p) {
        value = value * 10 + (bytes[p] - '0');
        if (value > 1000000) {
            return false;
        }
    }
    *pos = p;
    *out = value;
    return true;
}

std::optional<Pnm> ParsePnm(const std::string& bytes, std::string* error) {
    if (bytes.size() < 2 || bytes[0] != 'P' || (bytes[1] != '5' && bytes[1] != '6')) {
        *error = "not a binary PGM (P5) or PPM (P6) file";
        return std::nullopt;
    }
    Pnm pnm;
    pnm.channels = bytes[1] == '5' ? 1 : 3;
    size_t pos = 2;  // After the magic number.
    long width = 0;
    long height = 0;
    long maxval = 0;
    // Exactly one whitespace byte separates the header from the pixel data.
    if (!ReadPnmNumber(bytes, &pos, &width) || !ReadPnmNumber(bytes, &pos, &height) ||
        !ReadPnmNumber(bytes, &pos, &maxval) || pos >= bytes.size() || !IsSpace(bytes[pos++])) {
        *error = "malformed header";
        return std::nullopt;
    }
    if (width < 1 || height < 1 || width > 65535 || height > 65535) {
        *error = "bad picture size " + std::to_string(width) + "x" + std::to_string(height);
        return std::nullopt;
    }
    if (maxval != 255) {
        *error = "maxval " + std::to_string(maxval) + " not supported (only 255)";
        return std::nullopt;
    }
    const size_t need = static_cast<size_t>(width) * static_cast<size_t>(height) *
                        static_cast<size_t>(pnm.channels);
    const size_t start = pos;
    if (bytes.size() - start < need) {
        *error = "pixel data truncated: " + std::to_string(bytes.size() - start) + " of " +
                 std::to_string(need) + " bytes";
        return std::nullopt;
    }
    pnm.width = static_cast<int>(width);
    pnm.height = static_cast<int>(height);
    pnm.data.assign(bytes.begin() + static_cast<std::ptrdiff_t>(start),
                    bytes.begin() + static_cast<std::ptrdiff_t>(start + need));
    return pnm;
}

}  // namespace

FrameSource::FrameSource(int rows, int columns, bool colour, Pattern pattern, uint32_t seed)
    : rows_(std::max(rows, 1)), columns_(std::max(columns, 1)), colour_(colour), pattern_(pattern) {
    if (pattern_ == Pattern::Scene) {
        scene_.emplace(rows_, columns_, seed);
    }
    if (pattern_ == Pattern::File) {
        picture_.assign(FrameBytes(), 0);
        if (colour_) {
            for (size_t i = 0; i < picture_.size(); i += 3) {
                picture_[i] = picture_[i + 2] = 128;  // Black: U = V = 128.
            }
        }
    }
}

std::optional<FrameSource> FrameSource::FromFile(const std::string& path, int rows, int columns,
                                                 bool colour, std::string* error) {
    std::string why;
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        why = "cannot open";
    } else {
        const std::string bytes((std::istreambuf_iterator<char>(in)),
                                std::istreambuf_iterator<char>());
        if (in.bad()) {
            why = "cannot read";
        } else if (auto pnm = ParsePnm(bytes, &why)) {
            FrameSource source(rows, columns, colour, Pattern::File);
            uint8_t* out = source.picture_.data();
            for (int r = 0; r < source.rows_; ++r) {
                const long sr = static_cast<long>(r) * pnm->height / source.rows_;
                for (int c = 0; c < source.columns_; ++c) {
                    const long sc = static_cast<long>(c) * pnm->width / source.columns_;
                    const uint8_t* p = &pnm->data[(sr * pnm->width + sc) * pnm->channels];
                    const Yuv yuv =
                        pnm->channels == 1 ? Yuv{128, p[0], 128} : RgbToYuv(p[0], p[1], p[2]);
                    if (colour) {
                        *out++ = yuv.u;
                        *out++ = yuv.y;
                        *out++ = yuv.v;
                    } else {
                        *out++ = yuv.y;
                    }
                }
            }
            return source;
        }
    }
    if (error) {
        *error = path + ": " + why;
    }
    return std::nullopt;
}

std::optional<Pattern> FrameSource::ParsePattern(const std::string& name) {
    for (Pattern p : {Pattern::Gradient, Pattern::Bars, Pattern::Moving, Pattern::Scene}) {
        if (name == PatternName(p)) {
            return p;
        }
    }
    return std::nullopt;
}

const char* FrameSource::PatternName(Pattern pattern) {
    switch (pattern) {
        case Pattern::Gradient:
            return "gradient";
        case Pattern::Bars:
            return "bars";
        case Pattern::Moving:
            return "moving";
        case Pattern::File:
            return "file";
        case Pattern::Scene:
            return "scene";
    }
    return "?";
}

size_t FrameSource::FrameBytes() const {
    return static_cast<size_t>(rows_) * static_cast<size_t>(columns_) * (colour_ ? 3 : 1);
}

std::vector<uint8_t> FrameSource::Frame(uint64_t index) const {
    if (pattern_ == Pattern::File) {
        return picture_;
    }
    if (scene_) {
        if (!colour_) {
            return scene_->Gray(index);
        }
        std::vector<uint8_t> frame = scene_->Rgb(index);
        for (size_t i = 0; i < frame.size(); i += 3) {
            const Yuv yuv = RgbToYuv(frame[i], frame[i + 1], frame[i + 2]);
            frame[i] = yuv.u;
            frame[i + 1] = yuv.y;
            frame[i + 2] = yuv.v;
        }
        return frame;
    }
    std::vector<uint8_t> frame(FrameBytes());
    const size_t step = colour_ ? 3 : 1;
    uint8_t* out = frame.data();
    for (int r = 0; r < rows_; ++r) {
        for (int c = 0; c < columns_; ++c, out += step) {
            FillPixel(out, r, c, index);
        }
    }
    return frame;
}

void FrameSource::FillPixel(uint8_t* out, int r, int c, uint64_t index) const {
    Yuv yuv{128, 0, 128};
    switch (pattern_) {
        case Pattern::Gradient: {
            const uint64_t i = index & 0xFF;
            yuv = Yuv{static_cast<uint8_t>((4u * c + i) & 0xFF),
                      static_cast<uint8_t>((4u * r + 2u * c + i) & 0xFF),
                      static_cast<uint8_t>((4u * r + i) & 0xFF)};
            break;
        }
        case Pattern::Bars:
            yuv = BarColour(static_cast<int>(static_cast<long>(c) * 8 / columns_));
            break;
        case Pattern::Moving: {
            const int side = std::max(1, std::min(rows_, columns_) / 4);
            const int top = static_cast<int>(index % static_cast<uint64_t>(rows_ - side + 1));
            const int left = static_cast<int>(index % static_cast<uint64_t>(columns_ - side + 1));
            const bool inside = r >= top && r < top + side && c >= left && c < left + side;
            yuv.y = inside ? kMovingSquare : kMovingBackground;
            break;
        }
        case Pattern::File:
        case Pattern::Scene:
            break;  // Handled by Frame().
    }
    if (colour_) {
        out[0] = yuv.u;
        out[1] = yuv.y;
        out[2] = yuv.v;
    } else {
        out[0] = yuv.y;
    }
}

std::vector<uint8_t> FrameSource::Rgb(uint64_t index) const {
    if (scene_) {
        return scene_->Rgb(index);
    }
    std::vector<uint8_t> frame = Frame(index);
    if (!colour_) {
        return frame;  // Not asked of gray sources; their bytes unchanged.
    }
    for (size_t i = 0; i < frame.size(); i += 3) {
        const uint32_t rgb = stream::PixelRgb(stream::Encoding::Uyv, &frame[i], 0);
        frame[i] = static_cast<uint8_t>(rgb >> 16);
        frame[i + 1] = static_cast<uint8_t>(rgb >> 8);
        frame[i + 2] = static_cast<uint8_t>(rgb);
    }
    return frame;
}

std::vector<uint8_t> WireFrame(uint8_t header, const std::vector<uint8_t>& pixels) {
    std::vector<uint8_t> wire;
    wire.reserve(pixels.size() + 1);
    wire.push_back(header);
    wire.insert(wire.end(), pixels.begin(), pixels.end());
    return wire;
}

}  // namespace camsim
