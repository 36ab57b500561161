#include "stream/PixelClassifier.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "settings/Translation.h"

namespace stream {

namespace {

constexpr uint32_t kMinWidth = 8;
constexpr uint32_t kMinHeight = 4;
constexpr uint32_t kMaxSide = 8192;
constexpr size_t kMeasuredFrames = 4;
// Every layout is first measured coarsely; the smoothest few again closely.
struct Sampling {
    size_t frames;
    uint32_t rows, columns;
    bool averaged;  // rows compared over four pixels at a time
};
constexpr Sampling kCoarse = {1, 12, 32, false};
constexpr Sampling kClose = {2, 40, 96, true};
constexpr size_t kCloseLayouts = 12;
// A reading wins only when the next one that means something else is this
// much rougher.
constexpr double kClearMargin = 1.25;
// Widths whose vertical differences are within this of each other repeat.
constexpr double kRepeatMargin = 1.05;
// Rougher than this is no camera picture read right (those measure 0.02 to
// 0.2: textured scenes in RGB565 the most, a noisy track the least).
constexpr double kMaxPictureRoughness = 0.3;

const Encoding kRawEncodings[] = {Encoding::Gray8,    Encoding::Uyv,    Encoding::Rgb565Be,
                                  Encoding::Rgb565Le, Encoding::Rgb888, Encoding::Yuyv,
                                  Encoding::Uyvy,     Encoding::Yvyu,   Encoding::Bits1};

bool Is422(Encoding e) {
    return e == Encoding::Yuyv || e == Encoding::Uyvy || e == Encoding::Yvyu ||
           e == Encoding::YuyvLuma || e == Encoding::UyvyLuma;
}

bool IsTriplet(Encoding e) {
    return e == Encoding::Uyv || e == Encoding::Rgb888;
}

// Row bytes per unit and pixels per unit of an encoding.
void Unit(Encoding e, uint32_t& bytes, uint32_t& pixels) {
    bytes = static_cast<uint32_t>(RowBytes(e, 2) / 2);
    pixels = 1;
    if (Is422(e)) {
        bytes = 4;
        pixels = 2;
    } else if (e == Encoding::Bits1) {
        bytes = 1;
        pixels = 8;
    }
}

struct Measure {
    double vertical = 0;  // below against far
    double horizontal = 0;
    bool flat = false;
};

int ChannelDistance(uint32_t a, uint32_t b) {
    return std::abs(static_cast<int>(a >> 16 & 0xFF) - static_cast<int>(b >> 16 & 0xFF)) +
           std::abs(static_cast<int>(a >> 8 & 0xFF) - static_cast<int>(b >> 8 & 0xFF)) +
           std::abs(static_cast<int>(a & 0xFF) - static_cast<int>(b & 0xFF));
}

// The sum of four pixels' channels from `column` on (fewer at the row's end),
// which keeps edges and evens out sensor noise.
void Channels4(Encoding e, const uint8_t* row, uint32_t column, uint32_t width, int out[3]) {
    out[0] = out[1] = out[2] = 0;
    const uint32_t end = std::min(width, column + 4);
    for (uint32_t c = column; c < end; ++c) {
        const uint32_t p = PixelRgb(e, row, c);
        out[0] += static_cast<int>(p >> 16 & 0xFF);
        out[1] += static_cast<int>(p >> 8 & 0xFF);
        out[2] += static_cast<int>(p & 0xFF);
    }
}

Measure Smoothness(const std::vector<PixelSpan>& frames, Encoding e, uint32_t width,
                   uint32_t height, const Sampling& sampling) {
    const uint64_t rowBytes = RowBytes(e, width);
    const uint32_t rows = std::min(height - 1, sampling.rows);
    const uint32_t columns = std::min(width - 1, sampling.columns);
    double below = 0, beside = 0, far = 0, farBlock = 0;
    const size_t count = std::min(frames.size(), sampling.frames);
    for (size_t f = 0; f < count; ++f) {
        const uint8_t* base = frames[f].data;
        for (uint32_t j = 0; j < rows; ++j) {
            const uint32_t r = static_cast<uint32_t>((uint64_t{j} * (height - 1)) / rows);
            const uint8_t* row = base + r * rowBytes;
            const uint32_t farRow = (r + height / 2 + j) % height;
            for (uint32_t k = 0; k < columns; ++k) {
                const uint32_t c = static_cast<uint32_t>((uint64_t{k} * (width - 1)) / columns);
                const uint32_t p = PixelRgb(e, row, c);
                beside += ChannelDistance(p, PixelRgb(e, row, c + 1));
                const uint32_t farColumn = (c + width / 2 + 7 * k + j) % width;
                far += ChannelDistance(p, PixelRgb(e, base + farRow * rowBytes, farColumn));
                if (!sampling.averaged) {
                    below += 4 * ChannelDistance(p, PixelRgb(e, row + rowBytes, c));
                    farBlock +=
                        4 * ChannelDistance(p, PixelRgb(e, base + farRow * rowBytes, farColumn));
                    continue;
                }
                // Rows are compared over four pixels at a time.
                const uint32_t c4 = std::min(c, width >= 4 ? width - 4 : 0);
                const uint32_t far4 = std::min(farColumn, width >= 4 ? width - 4 : 0);
                int a[3], b[3], z[3];
                Channels4(e, row, c4, width, a);
                Channels4(e, row + rowBytes, c4, width, b);
                Channels4(e, base + farRow * rowBytes, far4, width, z);
                below += std::abs(a[0] - b[0]) + std::abs(a[1] - b[1]) + std::abs(a[2] - b[2]);
                farBlock += std::abs(a[0] - z[0]) + std::abs(a[1] - z[1]) + std::abs(a[2] - z[2]);
            }
        }
    }
    Measure m;
    const double samples = static_cast<double>(count) * rows * columns;
    if (samples <= 0 || far / samples < 3.0 || farBlock <= 0) {  // under a level a channel: flat
        m.flat = true;
        m.vertical = m.horizontal = 1;
        return m;
    }
    m.vertical = below / farBlock;
    m.horizontal = beside / far;
    return m;
}

// Spread of the bytes at `phase` of every `step`, and their mean.
void PhaseStatistics(const std::vector<PixelSpan>& frames, uint32_t step, uint32_t phase,
                     double& mean, double& spread) {
    double sum = 0, squares = 0, n = 0;
    const size_t count = std::min(frames.size(), kMeasuredFrames);
    for (size_t f = 0; f < count; ++f) {
        const size_t size = frames[f].size;
        const size_t stride = std::max<size_t>(step, size / 4096 / step * step);
        for (size_t i = phase; i < size; i += stride) {
            const double v = frames[f].data[i];
            sum += v;
            squares += v * v;
            n += 1;
        }
    }
    mean = n > 0 ? sum / n : 0;
    spread = n > 0 ? std::sqrt(std::max(0.0, squares / n - mean * mean)) : 0;
}

// Correlation of the bytes at two phases of every `step`.
double PhaseCorrelation(const std::vector<PixelSpan>& frames, uint32_t step, uint32_t a,
                        uint32_t b) {
    double sa = 0, sb = 0, saa = 0, sbb = 0, sab = 0, n = 0;
    const size_t count = std::min(frames.size(), kMeasuredFrames);
    for (size_t f = 0; f < count; ++f) {
        const size_t size = frames[f].size;
        const size_t stride = std::max<size_t>(step, size / 4096 / step * step);
        for (size_t i = 0; i + step <= size; i += stride) {
            const double x = frames[f].data[i + a], y = frames[f].data[i + b];
            sa += x;
            sb += y;
            saa += x * x;
            sbb += y * y;
            sab += x * y;
            n += 1;
        }
    }
    if (n < 2)
        return 0;
    const double va = saa / n - (sa / n) * (sa / n), vb = sbb / n - (sb / n) * (sb / n);
    if (va <= 1e-9 || vb <= 1e-9)
        return 0;
    return (sab / n - (sa / n) * (sb / n)) / std::sqrt(va * vb);
}

// Share of bytes at `phase` of every `step` equal to 128 (chroma of a gray picture).
double ShareAt128(const std::vector<PixelSpan>& frames, uint32_t step, uint32_t phase) {
    double hits = 0, n = 0;
    for (size_t f = 0; f < std::min(frames.size(), kMeasuredFrames); ++f) {
        for (size_t i = phase; i < frames[f].size; i += step) {
            hits += frames[f].data[i] == 128;
            n += 1;
        }
    }
    return n > 0 ? hits / n : 0;
}

// U,Y,V or R,G,B: R, G and B move together; U and V stay near the middle and
// vary less than Y. +1 U,Y,V, -1 RGB, 0 cannot tell.
int TripletKind(const std::vector<PixelSpan>& frames) {
    double m0, s0, m1, s1, m2, s2;
    PhaseStatistics(frames, 3, 0, m0, s0);
    PhaseStatistics(frames, 3, 1, m1, s1);
    PhaseStatistics(frames, 3, 2, m2, s2);
    const double c01 = PhaseCorrelation(frames, 3, 0, 1);
    const double c21 = PhaseCorrelation(frames, 3, 2, 1);
    const bool rgb = c01 > 0.6 && c21 > 0.6;
    const bool uyv = std::abs(m0 - 128) < 40 && std::abs(m2 - 128) < 40 && s0 < 0.7 * s1 &&
                     s2 < 0.7 * s1 && !rgb;
    return uyv ? 1 : rgb ? -1 : 0;
}

// 4:2:2 chroma varies less than its Y bytes (gray read as 4:2:2 does not).
bool ChromaSlow(const std::vector<PixelSpan>& frames, Encoding e) {
    double mean[4], spread[4];
    for (uint32_t p = 0; p < 4; ++p)
        PhaseStatistics(frames, 4, p, mean[p], spread[p]);
    const bool yOdd = e == Encoding::Uyvy || e == Encoding::UyvyLuma;
    const double y = yOdd ? spread[1] + spread[3] : spread[0] + spread[2];
    const double c = yOdd ? spread[0] + spread[2] : spread[1] + spread[3];
    return c < 0.8 * y;
}

std::string Percent(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.0f%%", value * 100);
    return text;
}

std::string LayoutText(const PixelLayout& layout) {
    return tx::Format("%1 %2×%3", EncodingLabel(layout.encoding), layout.width, layout.height);
}

// Candidates whose readings mean the same picture to the eye as far as
// smoothness can tell.
bool Twins(Encoding a, Encoding b) {
    return (Is422(a) && Is422(b)) || (IsTriplet(a) && IsTriplet(b));
}

}  // namespace

bool LooksLikeBits(const uint8_t* data, size_t size) {
    if (size == 0)
        return false;
    double transitions = 0;
    size_t mixed = 0;
    const size_t stride = std::max<size_t>(1, size / 65536);
    size_t n = 0;
    for (size_t i = 0; i < size; i += stride, ++n) {
        const unsigned b = data[i];
        transitions += __builtin_popcount((b ^ (b >> 1)) & 0x7F);
        mixed += b != 0x00 && b != 0xFF;
    }
    // Runs of equal bits: few changes inside a byte (gray bytes with their
    // noisy low bits have three or four), and some bytes that are neither
    // all black nor all white (edges).
    return transitions / static_cast<double>(n) < 2.0 && mixed * 500 >= n;
}

PixelClassification ClassifyPixels(const std::vector<PixelSpan>& input, const PixelHints& hints) {
    PixelClassification result;
    if (input.empty() || input[0].size == 0)
        return result;
    const size_t length = input[0].size;
    std::vector<PixelSpan> frames;
    for (const PixelSpan& span : input) {
        if (span.data != nullptr && span.size >= length)
            frames.push_back({span.data, length});
    }

    std::vector<Encoding> encodings = hints.encodings;
    if (encodings.empty())
        encodings.assign(std::begin(kRawEncodings), std::end(kRawEncodings));
    // A 1-bit reading only for bytes made of runs of bits, and a picture of
    // nothing but 00 and FF bytes is gray (0/255), never bits.
    const bool bits = LooksLikeBits(frames[0].data, length);
    encodings.erase(std::remove_if(encodings.begin(), encodings.end(),
                                   [&](Encoding e) {
                                       return (e == Encoding::Bits1 && !bits) ||
                                              e == Encoding::Page || Info(e).compressed;
                                   }),
                    encodings.end());

    bool flat = false;
    for (Encoding e : encodings) {
        uint32_t unitBytes = 1, unitPixels = 1;
        Unit(e, unitBytes, unitPixels);
        for (uint64_t rowBytes = unitBytes; rowBytes <= length; rowBytes += unitBytes) {
            if (length % rowBytes != 0)
                continue;
            const uint64_t width = rowBytes / unitBytes * unitPixels;
            const uint64_t height = length / rowBytes;
            if (width > kMaxSide)
                break;
            if (width < kMinWidth || height < kMinHeight || height > kMaxSide)
                continue;
            if (hints.width != 0 && width != hints.width)
                continue;
            if (hints.height != 0 && height != hints.height)
                continue;
            if (std::max(width, height) > 16 * std::min(width, height))
                continue;  // a strip, no camera's picture
            const Measure m = Smoothness(frames, e, static_cast<uint32_t>(width),
                                         static_cast<uint32_t>(height), kCoarse);
            PixelLayout layout;
            layout.encoding = e;
            layout.width = static_cast<uint32_t>(width);
            layout.height = static_cast<uint32_t>(height);
            layout.roughness = (m.vertical + m.horizontal) / 2;
            layout.plausible = std::max(width, height) <= 4 * std::min(width, height);
            result.layouts.push_back(layout);
        }
    }
    if (result.layouts.empty()) {
        result.doubts.push_back(
            tx::Format(tx::Tr("PixelClassifier", "帧长 %1 字节排不成任何像素编码的画面"), length));
        return result;
    }

    auto smoother = [](const PixelLayout& a, const PixelLayout& b) {
        return a.roughness < b.roughness;
    };
    std::stable_sort(result.layouts.begin(), result.layouts.end(), smoother);
    if (result.layouts.size() > kCloseLayouts)
        result.layouts.resize(kCloseLayouts);
    for (PixelLayout& layout : result.layouts) {
        const Measure m = Smoothness(frames, layout.encoding, layout.width, layout.height, kClose);
        flat = flat || m.flat;
        layout.roughness = (m.vertical + m.horizontal) / 2;
        layout.vertical = m.vertical;
        if (Is422(layout.encoding) && !ChromaSlow(frames, layout.encoding))
            layout.roughness *= 1.5;  // "chroma" as varied as the Y bytes: no 4:2:2
    }
    std::stable_sort(result.layouts.begin(), result.layouts.end(), smoother);
    {
        // Within the smoothest encoding the rows alone decide the width, and
        // of widths whose rows are as alike the narrowest wins: a wider one
        // holds rows side by side.
        std::vector<PixelLayout>& l = result.layouts;
        const Encoding e = l[0].encoding;
        size_t pick = 0;
        for (size_t i = 1; i < l.size(); ++i)
            if (l[i].encoding == e && l[i].vertical < l[pick].vertical)
                pick = i;
        for (size_t i = 0; i < l.size(); ++i)
            if (l[i].encoding == e && l[i].width < l[pick].width &&
                l[pick].width % l[i].width == 0 &&
                l[i].vertical <= l[pick].vertical * kRepeatMargin)
                pick = i;
        std::rotate(l.begin(), l.begin() + static_cast<std::ptrdiff_t>(pick),
                    l.begin() + static_cast<std::ptrdiff_t>(pick) + 1);
    }

    // Twins that smoothness cannot tell apart, decided by their bytes.
    PixelLayout& best = result.layouts[0];
    std::vector<std::string>& doubts = result.doubts;
    auto findTwin = [&](Encoding e) -> PixelLayout* {
        for (PixelLayout& l : result.layouts)
            if (l.encoding == e && l.width == best.width &&
                l.roughness <= best.roughness * kClearMargin)
                return &l;
        return nullptr;
    };
    bool twinsDecided = true;
    if (IsTriplet(best.encoding)) {
        const Encoding other = best.encoding == Encoding::Uyv ? Encoding::Rgb888 : Encoding::Uyv;
        if (PixelLayout* twin = findTwin(other)) {
            const int kind = TripletKind(frames);
            if (kind != 0) {
                const Encoding right = kind > 0 ? Encoding::Uyv : Encoding::Rgb888;
                if (best.encoding != right)
                    std::swap(best, *twin);
            } else {
                twinsDecided = false;
                doubts.push_back(
                    tx::Tr("PixelClassifier", "每像素 3 字节，但分不清是 U,Y,V 还是 R,G,B"));
            }
        }
    }
    if (Is422(best.encoding)) {
        // Y bytes carry the detail; chroma of a gray picture is 128 throughout.
        double mean[4], spread[4];
        for (uint32_t p = 0; p < 4; ++p)
            PhaseStatistics(frames, 4, p, mean[p], spread[p]);
        const bool yEven = spread[0] + spread[2] >= spread[1] + spread[3];
        const uint32_t c0 = yEven ? 1 : 0;
        const bool grayChroma =
            ShareAt128(frames, 4, c0) > 0.98 && ShareAt128(frames, 4, c0 + 2) > 0.98;
        const double ySpread = yEven ? spread[0] + spread[2] : spread[1] + spread[3];
        const double cSpread = yEven ? spread[1] + spread[3] : spread[0] + spread[2];
        if (grayChroma) {
            best.encoding = yEven ? Encoding::YuyvLuma : Encoding::UyvyLuma;
        } else {
            const bool yClear = ySpread >= 1.3 * cSpread;
            if (yClear && yEven == (best.encoding == Encoding::Uyvy)) {
                // Smoothness chose the chroma as Y: take the other order.
                if (PixelLayout* twin = findTwin(yEven ? Encoding::Yuyv : Encoding::Uyvy))
                    std::swap(best, *twin);
            }
            twinsDecided = false;
            doubts.push_back(
                yClear ? tx::Tr("PixelClassifier",
                                "YUV 4:2:2 中 U 与 V 的先后无法从数据分辨（YUYV 或 YVYU）")
                       : tx::Tr("PixelClassifier",
                                "YUV 4:2:2 中 Y 字节的位置与 U、V 的先后都无法确定"));
        }
    }

    // The nearest reading that means something else: another encoding (by
    // smoothness), or a width that is no multiple of the chosen one (by rows).
    const PixelLayout* rival = nullptr;
    const PixelLayout* repeat = nullptr;
    double second = 1e9;
    auto findRival = [&] {
        rival = repeat = nullptr;
        second = 1e9;
        for (size_t i = 1; i < result.layouts.size(); ++i) {
            const PixelLayout& l = result.layouts[i];
            const bool same = l.encoding == best.encoding;
            if (same && (l.width % best.width == 0 || best.width % l.width == 0)) {
                if (l.plausible && l.vertical <= best.vertical * kRepeatMargin && repeat == nullptr)
                    repeat = &l;
                continue;  // rows side by side: explained by the chosen width
            }
            if (!same && Twins(l.encoding, best.encoding) && l.width == best.width)
                continue;  // decided above, or a doubt already
            const double ratio = same ? l.vertical / std::max(best.vertical, 1e-9)
                                      : l.roughness / std::max(best.roughness, 1e-9);
            if (ratio < second) {
                second = ratio;
                rival = &l;
            }
        }
    };
    findRival();
    auto onPage = [&](const PixelLayout& l) {
        return hints.pageRows != 0 && l.width == hints.pageColumns && l.height == hints.pageRows;
    };
    bool pageDecides = false;
    if (rival != nullptr && second < kClearMargin && repeat == nullptr) {
        if (onPage(*rival) && !onPage(best)) {
            const auto at = result.layouts.begin() + (rival - result.layouts.data());
            std::rotate(result.layouts.begin(), at, at + 1);
            findRival();
        }
        pageDecides = onPage(best) && (rival == nullptr || !onPage(*rival));
    }

    result.evidence =
        tx::Format(tx::Tr("PixelClassifier", "按%1读，相邻像素之差是远处像素之差的 %2"),
                   LayoutText(best), Percent(best.roughness));
    if (rival != nullptr)
        result.evidence += tx::Format(tx::Tr("PixelClassifier", "（其次%1：%2）"),
                                      LayoutText(*rival), Percent(rival->roughness));

    bool confident = twinsDecided;
    if (flat) {
        confident = false;
        doubts.push_back(tx::Tr("PixelClassifier", "画面几乎没有变化（平坦），看不出行宽和编码"));
    } else if (best.roughness > kMaxPictureRoughness) {
        confident = false;
        doubts.push_back(
            tx::Tr("PixelClassifier", "任何排法都不像相机画面（相邻像素并不比远处像素更接近）"));
    } else if (second < kClearMargin && pageDecides) {
        result.evidence += tx::Format(
            tx::Tr("PixelClassifier", "；%1 一样平滑，取页面所设的行列数"), LayoutText(*rival));
    } else if (second < kClearMargin) {
        confident = false;
        doubts.push_back(tx::Format(tx::Tr("PixelClassifier", "两种排法几乎一样平滑：%1 与 %2"),
                                    LayoutText(best), LayoutText(*rival)));
    }
    if (repeat != nullptr) {
        confident = false;
        doubts.push_back(
            tx::Format(tx::Tr("PixelClassifier", "画面在重复，行宽可能是 %1 也可能是 %2"),
                       best.width, repeat->width));
    }
    if (!best.plausible) {
        confident = false;
        doubts.push_back(tx::Format(tx::Tr("PixelClassifier", "%1×%2 的长宽比不像相机画面"),
                                    best.width, best.height));
    }
    result.confident = confident;
    return result;
}

}  // namespace stream
