#include "stream/FormatRecogniser.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>

#include "settings/Translation.h"
#include "stream/DescribedFramer.h"
#include "stream/Framer.h"
#include "stream/JpegDecoder.h"

namespace stream {

namespace {

constexpr size_t kWindow = 4u << 20;
// Whole frames a reading needs before it may be sure: three for a format
// whose frames are found by their period and picture, two for frames that
// describe themselves.
constexpr uint32_t kMinFrames = 3;
constexpr uint32_t kMinDescribedFrames = 2;
// The best reading is confident only when the next one scores at most this
// share of it.
constexpr double kRivalShare = 0.5;
constexpr size_t kMaxOccurrences = 1u << 18;

using Bytes = std::vector<uint8_t>;

std::string Number(uint64_t value) {
    return std::to_string(value);
}

std::string Size(uint32_t rows, uint32_t columns) {
    return Number(rows) + "×" + Number(columns);
}

std::vector<size_t> Occurrences(const uint8_t* data, size_t n, const Bytes& marker) {
    std::vector<size_t> at;
    if (marker.empty())
        return at;
    size_t i = 0;
    while (i + marker.size() <= n && at.size() < kMaxOccurrences) {
        const auto* p = static_cast<const uint8_t*>(std::memchr(data + i, marker[0], n - i));
        if (p == nullptr)
            break;
        i = static_cast<size_t>(p - data);
        if (i + marker.size() <= n && std::memcmp(p, marker.data(), marker.size()) == 0)
            at.push_back(i);
        ++i;
    }
    return at;
}

bool Contains(const std::vector<size_t>& sorted, size_t value) {
    return std::binary_search(sorted.begin(), sorted.end(), value);
}

// Running sums of the bytes, for how alike they are to themselves some
// distance on over sums of 16 bytes (which keep a picture's structure and
// even out its sensor noise).
struct RunningSums {
    static constexpr size_t kWidth = 16;
    std::vector<uint32_t> sums;  // sums[i]: the sum of the first i bytes

    RunningSums(const uint8_t* data, size_t n) : sums(n + 1, 0) {
        for (size_t i = 0; i < n; ++i)
            sums[i + 1] = sums[i] + data[i];
    }
    size_t Size() const { return sums.size() - 1; }
};

// Mean difference per byte of the 16-byte sums `lag` apart, at `samples`
// places spread over the bytes (with a little jitter, so that no stride keeps
// to one column of a picture).
double LagDifference(const RunningSums& running, size_t lag, size_t samples) {
    const size_t n = running.Size();
    const size_t w = RunningSums::kWidth;
    if (lag + w >= n)
        return 255;
    const std::vector<uint32_t>& sums = running.sums;
    const size_t span = n - lag - w;
    samples = std::max<size_t>(1, std::min(samples, span));
    const size_t stride = std::max<size_t>(1, span / samples);
    uint32_t hash = 2166136261u;
    uint64_t total = 0;
    size_t count = 0;
    for (size_t t = 0; t < samples; ++t) {
        hash = hash * 1664525u + 1013904223u;
        const size_t i = t * stride + (stride > 1 ? (hash >> 8) % stride : 0);
        if (i >= span)
            break;
        const int64_t a = static_cast<int64_t>(sums[i + w] - sums[i]);
        const int64_t b = static_cast<int64_t>(sums[i + lag + w] - sums[i + lag]);
        total += static_cast<uint64_t>(a > b ? a - b : b - a);
        ++count;
    }
    return count > 0 ? static_cast<double>(total) / static_cast<double>(count) / w : 255;
}

// A lag at which the bytes are like themselves: a frame's period.
struct Period {
    size_t lag = 0;
    double difference = 0;  // bytes a period apart
    double baseline = 0;    // bytes at unrelated distances
};

// Candidate periods, most alike first: every lag up to 4096, every 16th
// beyond (refined to the byte), up to half the bytes (two frames).
std::vector<Period> FindPeriods(const RunningSums& likeness) {
    std::vector<Period> periods;
    const size_t n = likeness.Size();
    if (n < 256)
        return periods;
    const size_t maxLag = n / 2;
    constexpr size_t kExactLimit = 4096;
    constexpr size_t kStep = 16;
    std::vector<std::pair<size_t, double>> curve;  // (lag, difference)
    // From 32 on: sums closer than their width overlap and look alike.
    for (size_t lag = 32; lag <= std::min(maxLag, kExactLimit); ++lag)
        curve.push_back({lag, LagDifference(likeness, lag, 256)});
    // Long lags over the sums of whole 16-byte blocks, which fit the cache.
    std::vector<uint32_t> blocks(n / kStep);
    for (size_t b = 0; b < blocks.size(); ++b)
        blocks[b] = likeness.sums[(b + 1) * kStep] - likeness.sums[b * kStep];
    for (size_t lag = kExactLimit + kStep; lag <= maxLag; lag += kStep) {
        const size_t k = lag / kStep;
        if (k >= blocks.size())
            break;
        const size_t span = blocks.size() - k;
        const size_t stride = std::max<size_t>(1, span / 256);
        uint64_t total = 0;
        size_t count = 0;
        for (size_t j = (k * 7) % stride; j < span; j += stride, ++count) {
            const int64_t d = int64_t{blocks[j]} - int64_t{blocks[j + k]};
            total += static_cast<uint64_t>(d < 0 ? -d : d);
        }
        curve.push_back({lag, count > 0 ? static_cast<double>(total) / count / kStep : 255});
    }
    if (curve.empty())
        return periods;
    std::vector<std::pair<double, size_t>> minima;
    for (size_t i = 0; i < curve.size(); ++i) {
        const bool left = i == 0 || curve[i].second <= curve[i - 1].second;
        const bool right = i + 1 == curve.size() || curve[i].second <= curve[i + 1].second;
        if (left && right)
            minima.push_back({curve[i].second, curve[i].first});
    }
    std::vector<double> sorted;
    for (const auto& c : curve)
        sorted.push_back(c.second);
    std::nth_element(sorted.begin(), sorted.begin() + sorted.size() / 2, sorted.end());
    const double baseline = sorted[sorted.size() / 2];
    std::sort(minima.begin(), minima.end());
    if (minima.size() > 16)
        minima.resize(16);
    for (const auto& m : minima) {
        Period p;
        p.lag = m.second;
        p.difference = LagDifference(likeness, p.lag, 8192);
        if (m.second > kExactLimit) {
            // To the byte around the coarse lag.
            for (size_t lag = m.second - kStep; lag <= std::min(maxLag, m.second + kStep); ++lag) {
                const double d = LagDifference(likeness, lag, 1024);
                if (d < p.difference) {
                    p.difference = d;
                    p.lag = lag;
                }
            }
            p.difference = LagDifference(likeness, p.lag, 8192);
        }
        p.baseline = baseline;
        periods.push_back(p);
    }
    std::sort(periods.begin(), periods.end(), [](const Period& a, const Period& b) {
        return a.difference < b.difference || (a.difference == b.difference && a.lag < b.lag);
    });
    periods.erase(std::unique(periods.begin(), periods.end(),
                              [](const Period& a, const Period& b) { return a.lag == b.lag; }),
                  periods.end());
    if (!periods.empty() && periods[0].difference > 0.6 * baseline)
        periods.clear();  // no lag much more alike than any other: not periodic
    return periods;
}

// The periods nearly as alike as the most alike one, shortest first.
std::vector<Period> NearBest(const std::vector<Period>& periods, size_t most) {
    std::vector<Period> near;
    if (periods.empty())
        return near;
    const double limit = periods[0].difference * 1.5 + 2;
    for (const Period& p : periods)
        if (p.difference <= limit && near.size() < most)
            near.push_back(p);
    std::sort(near.begin(), near.end(),
              [](const Period& a, const Period& b) { return a.lag < b.lag; });
    return near;
}

std::string PixelsText(Encoding encoding) {
    return EncodingLabel(encoding);
}

// The reading's pixels from a classification of its frames; how much of the
// reading's score that leaves: all for a clear picture, less for an unclear
// one, little for bytes that read as no picture at all.
double TakePixels(FormatReading& reading, const PixelClassification& pixels) {
    if (pixels.layouts.empty()) {
        reading.doubts.insert(reading.doubts.end(), pixels.doubts.begin(), pixels.doubts.end());
        return 0.2;
    }
    const PixelLayout& best = pixels.layouts[0];
    reading.encoding = best.encoding;
    reading.rows = best.height;
    reading.columns = best.width;
    reading.doubts.insert(reading.doubts.end(), pixels.doubts.begin(), pixels.doubts.end());
    if (pixels.confident)
        return 1;
    return best.roughness <= 0.3 ? 0.45 : 0.2;
}

std::vector<PixelSpan> Spans(const uint8_t* data, const std::vector<size_t>& starts,
                             size_t length) {
    std::vector<PixelSpan> spans;
    for (size_t start : starts)
        spans.push_back({data + start, length});
    return spans;
}

// The preset of a format, or "custom".
std::string PresetIdOf(const CStreamFormat& format) {
    const CStreamPreset* preset = PresetOf(format);
    return preset != nullptr ? preset->id : kCustomId;
}

void TooFew(FormatReading& reading, uint32_t needed) {
    if (reading.frames < needed)
        reading.doubts.push_back(
            tx::Format(tx::Tr("FormatRecogniser", "只看到 %1 个完整帧，至少要 %2 个才能确定"),
                       reading.frames, needed));
}

// ---- JPEG ----------------------------------------------------------------

// Width, height and components from a JPEG's SOF segment.
bool JpegFrameInfo(const uint8_t* d, size_t n, uint32_t& width, uint32_t& height, int& components) {
    size_t i = 2;
    while (i + 4 <= n) {
        if (d[i] != 0xFF)
            return false;
        const uint8_t code = d[i + 1];
        if (code == 0xFF) {
            ++i;
            continue;
        }
        const size_t length = size_t{d[i + 2]} << 8 | d[i + 3];
        const bool sof =
            code >= 0xC0 && code <= 0xCF && code != 0xC4 && code != 0xC8 && code != 0xCC;
        if (sof) {
            if (i + 10 > n)
                return false;
            height = uint32_t{d[i + 5]} << 8 | d[i + 6];
            width = uint32_t{d[i + 7]} << 8 | d[i + 8];
            components = d[i + 9];
            return width > 0 && height > 0;
        }
        if (code == 0xDA || length < 2)
            return false;
        i += 2 + length;
    }
    return false;
}

void RecogniseJpeg(const uint8_t* data, size_t n, std::vector<FormatReading>& readings) {
    FramerSetup setup;
    setup.format = FindPreset("jpeg")->format;
    setup.encoding = Encoding::Jpeg;
    const std::unique_ptr<CFramer> framer = MakeFramer(setup);
    const ScanContext scan;
    uint32_t frames = 0, mixed = 0;
    uint64_t covered = 0, between = 0, last = 0;
    size_t firstAt = 0, firstLength = 0;
    bool seenStart = false;
    uint32_t width = 0, height = 0;
    int components = 0;
    size_t at = 0;
    while (at + 3 <= n) {
        const auto* ff = static_cast<const uint8_t*>(std::memchr(data + at, 0xFF, n - at));
        if (ff == nullptr)
            break;
        const size_t p = static_cast<size_t>(ff - data);
        if (p + 3 > n)
            break;
        if (ff[1] != 0xD8 || ff[2] != 0xFF) {
            at = p + 1;
            continue;
        }
        seenStart = true;
        const size_t length = framer->WholeFrameLength(data + p, n - p, scan);
        if (length == 0) {
            at = p + 1;
            continue;
        }
        uint32_t w = 0, h = 0;
        int c = 0;
        if (JpegFrameInfo(data + p, length, w, h, c)) {
            if (frames == 0) {
                width = w;
                height = h;
                components = c;
                firstAt = p;
                firstLength = length;
            } else if (w != width || h != height || c != components) {
                ++mixed;
            }
        }
        if (frames > 0)
            between += p - last;
        ++frames;
        covered += length;
        last = p + length;
        at = p + length;
    }
    if (!seenStart)
        return;
    FormatReading reading;
    reading.geometryFromWire = true;
    reading.frames = frames;
    if (frames == 0 || width == 0) {
        reading.presetId = "jpeg";
        reading.format = FindPreset("jpeg")->format;
        reading.encoding = Encoding::Jpeg;
        reading.score = 0.2;
        reading.evidence =
            tx::Tr("FormatRecogniser", "有 JPEG 起始标记 FF D8 FF，但没有一帧完整的 JPEG");
        reading.doubts.push_back(tx::Tr("FormatRecogniser", "没有完整的 JPEG 帧（FF D8 … FF D9）"));
        readings.push_back(reading);
        return;
    }
    // The geometry from the library's reading of the header, which must agree.
    CJpegDecoder decoder;
    uint32_t w = 0, h = 0;
    const bool header = decoder.Header(data + firstAt, firstLength, w, h);
    std::vector<uint8_t> pixels;
    const CJpegDecoder::Result decoded =
        decoder.Decode(data + firstAt, firstLength, components == 1, pixels, w, h);
    const bool gray = components == 1;
    reading.presetId = gray ? "jpeg-gray" : "jpeg";
    reading.format = FindPreset(reading.presetId)->format;
    reading.encoding = reading.format.encoding;
    reading.rows = height;
    reading.columns = width;
    reading.score = static_cast<double>(covered) / static_cast<double>(n);
    reading.evidence =
        gray ? tx::Format(tx::Tr("FormatRecogniser",
                                 "%1 帧完整的 JPEG（FF D8 … FF D9），SOF 给出 %2，单分量（灰度）"),
                          frames, Size(height, width))
             : tx::Format(tx::Tr("FormatRecogniser",
                                 "%1 帧完整的 JPEG（FF D8 … FF D9），SOF 给出 %2，三分量（彩色）"),
                          frames, Size(height, width));
    if (between > 0)
        reading.evidence += tx::Format(
            tx::Tr("FormatRecogniser", "，帧间共有 %1 字节其他数据（文字或长度行）"), between);
    reading.sound = frames >= kMinDescribedFrames && header && w == width && h == height &&
                    decoded != CJpegDecoder::Result::Failed;
    if (!header || decoded == CJpegDecoder::Result::Failed)
        reading.doubts.push_back(tx::Tr("FormatRecogniser", "JPEG 帧解不开"));
    if (mixed > 0)
        reading.doubts.push_back(
            tx::Format(tx::Tr("FormatRecogniser", "%1 帧的尺寸或分量数与第一帧不同"), mixed));
    TooFew(reading, kMinDescribedFrames);
    if (!reading.sound)
        reading.score *= 0.45;
    readings.push_back(reading);
}

// ---- the self-describing header --------------------------------------------

void RecogniseDescribed(const uint8_t* data, size_t n, const RecogniserContext& context,
                        std::vector<FormatReading>& readings, uint64_t& needed) {
    const Bytes sync(std::begin(CDescribedFramer::kSync), std::end(CDescribedFramer::kSync));
    const std::vector<size_t> at = Occurrences(data, n, sync);
    FramerSetup setup;
    setup.format = FindPreset("arduino")->format;
    const std::unique_ptr<CFramer> framer = MakeFramer(setup);
    const ScanContext scan;
    uint32_t frames = 0, counterGaps = 0, mixed = 0;
    uint64_t covered = 0, frameBytes = 0;
    FrameHeader first;
    bool any = false, haveCounter = false;
    uint32_t lastCounter = 0;
    size_t next = 0;
    for (size_t p : at) {
        if (p < next || p + CDescribedFramer::kHeaderLength > n)
            continue;
        const Search search = framer->FindStart(data + p, CDescribedFramer::kHeaderLength, scan);
        if (!search.found || search.offset != 0)
            continue;
        const FrameHeader& header = search.header;
        const uint64_t whole = header.headerLength + header.payloadLength;
        if (!any) {
            first = header;
            any = true;
            frameBytes = whole;
        } else if (header.width != first.width || header.height != first.height ||
                   header.encoding != first.encoding) {
            ++mixed;
        }
        if (p + whole > n) {
            needed = std::max<uint64_t>(needed, p + whole - n);
            break;
        }
        if (haveCounter && header.counter != lastCounter + 1)
            ++counterGaps;
        haveCounter = true;
        lastCounter = header.counter;
        ++frames;
        covered += whole;
        next = p + whole;
    }
    if (!any)
        return;
    FormatReading reading;
    reading.format = context.hasFormat && context.format.framing == Framing::Described
                         ? context.format
                         : FindPreset("arduino")->format;
    reading.presetId = PresetIdOf(reading.format);
    reading.encoding = first.encoding;
    reading.rows = first.height;
    reading.columns = first.width;
    reading.geometryFromWire = true;
    reading.frames = frames;
    reading.frameBytes = frameBytes;
    reading.score = static_cast<double>(covered) / static_cast<double>(n);
    reading.evidence =
        tx::Format(tx::Tr("FormatRecogniser", "%1 帧自描述帧头 D5 AA 96 5A，头中写明 %2、%3"),
                   frames, Size(first.height, first.width), PixelsText(first.encoding));
    if (counterGaps > 0)
        reading.evidence +=
            tx::Format(tx::Tr("FormatRecogniser", "，帧计数跳了 %1 次"), counterGaps);
    if (mixed > 0)
        reading.doubts.push_back(
            tx::Format(tx::Tr("FormatRecogniser", "%1 帧的尺寸或编码与第一帧不同"), mixed));
    TooFew(reading, kMinDescribedFrames);
    reading.sound = frames >= kMinDescribedFrames && mixed == 0;
    if (!reading.sound)
        reading.score *= 0.45;
    readings.push_back(reading);
}

// ---- the packet protocol ---------------------------------------------------

void RecognisePacket(const uint8_t* data, size_t n, std::vector<FormatReading>& readings,
                     uint64_t& needed) {
    FramerSetup setup;
    setup.format = FindPreset("liveov7670")->format;
    setup.encoding = Encoding::Rgb565Be;
    const std::unique_ptr<CFramer> framer = MakeFramer(setup);
    const ScanContext scan;
    uint32_t frames = 0, damaged = 0;
    uint64_t covered = 0, frameBytes = 0;
    FrameHeader first;
    bool any = false;
    size_t at = 0;
    while (at < n) {
        const Search search = framer->FindStart(data + at, n - at, scan);
        if (!search.found)
            break;
        const size_t p = at + search.offset;
        if (!any) {
            first = search.header;
            any = true;
        }
        const size_t length = framer->WholeFrameLength(data + p, n - p, scan);
        if (length == 0) {
            const uint64_t want = search.header.headerLength + search.header.payloadLength;
            if (n - p < want) {
                needed = std::max<uint64_t>(needed, want - (n - p));
                break;
            }
            ++damaged;
            at = p + 1;
            continue;
        }
        ++frames;
        covered += length;
        frameBytes = length;
        at = p + length;
    }
    if (!any)
        return;
    FormatReading reading;
    reading.format = FindPreset("liveov7670")->format;
    reading.format.encoding = first.encoding;
    reading.presetId = PresetIdOf(reading.format);
    reading.encoding = first.encoding;
    reading.rows = first.height;
    reading.columns = first.width;
    reading.geometryFromWire = true;
    reading.frames = frames;
    reading.frameBytes = frameBytes;
    reading.score = static_cast<double>(covered) / static_cast<double>(n);
    reading.evidence = tx::Format(
        tx::Tr("FormatRecogniser", "%1 帧数据包（00 长度 命令 … 异或），命令 11 写明 %2、%3"),
        frames, Size(first.height, first.width), PixelsText(first.encoding));
    if (damaged > 0)
        reading.evidence += tx::Format(tx::Tr("FormatRecogniser", "，%1 帧有损"), damaged);
    TooFew(reading, kMinDescribedFrames);
    reading.sound = frames >= kMinDescribedFrames && damaged <= frames / 4;
    if (!reading.sound)
        reading.score *= 0.45;
    readings.push_back(reading);
}

// ---- start and end markers -------------------------------------------------

struct MarkerKind {
    CStreamFormat format;
    std::vector<Encoding> encodings;  // what its payload may be
    uint32_t usualRows, usualColumns;
};

std::vector<MarkerKind> MarkerKinds(const RecogniserContext& context) {
    std::vector<MarkerKind> kinds;
    const CStreamPreset* smartcar = FindPreset("smartcar-gray");
    kinds.push_back({smartcar->format, {Encoding::Gray8}, smartcar->rows, smartcar->columns});
    const CStreamPreset* fe01 = FindPreset("fe01-bits");
    kinds.push_back({fe01->format, {Encoding::Bits1, Encoding::Gray8}, fe01->rows, fe01->columns});
    const CStreamPreset* rdy = FindPreset("rdy-gray");
    kinds.push_back({rdy->format, {}, rdy->rows, rdy->columns});
    if (context.hasFormat && context.format.framing == Framing::Marker) {
        bool known = false;
        for (const MarkerKind& k : kinds)
            known = known || (k.format.startMarker == context.format.startMarker &&
                              k.format.endMarker == context.format.endMarker);
        if (!known)
            kinds.push_back({context.format, {}, context.rows, context.columns});
    }
    return kinds;
}

// The most common distance from a start to the next (or the one after, past
// a false start among the pixels).
size_t CommonDistance(const std::vector<size_t>& at) {
    std::map<size_t, uint32_t> counts;
    for (size_t k = 0; k + 1 < at.size(); ++k) {
        ++counts[at[k + 1] - at[k]];
        if (k + 2 < at.size())
            ++counts[at[k + 2] - at[k]];
    }
    size_t best = 0;
    uint32_t most = 0;
    for (const auto& c : counts) {
        if (c.second > most) {
            most = c.second;
            best = c.first;
        }
    }
    return most >= 1 ? best : 0;
}

void RecogniseMarker(const uint8_t* data, size_t n, const MarkerKind& kind,
                     const RecogniserContext& context, std::vector<FormatReading>& readings,
                     uint64_t& needed) {
    const Bytes& start = kind.format.startMarker;
    const Bytes& end = kind.format.endMarker;
    const std::vector<size_t> at = Occurrences(data, n, start);
    if (at.empty() || at.size() > n / 16)
        return;
    const std::string name =
        end.empty() ? tx::Format(tx::Tr("FormatRecogniser", "起始标记 %1"), BytesToHex(start))
                    : tx::Format(tx::Tr("FormatRecogniser", "起始标记 %1 与结束标记 %2"),
                                 BytesToHex(start), BytesToHex(end));
    const size_t distance = CommonDistance(at);
    FormatReading reading;
    reading.format = kind.format;
    if (distance <= start.size() + end.size()) {
        // One start only: not even a period yet. Long markers are telling on
        // their own; the board's usual frame says how much more is needed.
        if (start.size() < 4)
            return;
        const uint64_t usual =
            start.size() + end.size() +
            FrameBytes(kind.encodings.empty() ? Encoding::Gray8 : kind.encodings[0],
                       kind.usualColumns, kind.usualRows);
        needed = std::max<uint64_t>(needed, usual * (kMinFrames + 1) > n - at[0]
                                                ? usual * (kMinFrames + 1) - (n - at[0])
                                                : 0);
        reading.presetId = PresetIdOf(kind.format);
        reading.encoding = kind.format.encoding;
        // Four bytes or more come by chance once in gigabytes: the format is
        // likely, its frames not yet seen.
        reading.score = 0.5;
        reading.evidence =
            tx::Format(tx::Tr("FormatRecogniser", "只见到 %1 处%2，还看不出帧长"), at.size(), name);
        reading.doubts.push_back(tx::Tr("FormatRecogniser", "帧太少，看不出帧长"));
        readings.push_back(reading);
        return;
    }
    // Payload length: what lies between a start and its end marker, or the
    // next start.
    size_t payload = distance - start.size() - end.size();
    std::vector<size_t> frames;  // starts of whole frames that check out
    auto collect = [&](size_t length) {
        std::vector<size_t> found;
        for (size_t p : at) {
            const size_t whole = p + start.size() + length + end.size();
            if (whole > n)
                break;
            if (!end.empty()) {
                if (std::memcmp(data + p + start.size() + length, end.data(), end.size()) == 0)
                    found.push_back(p);
            } else if (Contains(at, p + distance) || p + distance >= n) {
                found.push_back(p);
            }
        }
        return found;
    };
    frames = collect(payload);
    if (!end.empty() && frames.size() * 2 < at.size()) {
        // Other bytes between frames: the end marker's distance decides.
        const std::vector<size_t> ends = Occurrences(data, n, end);
        std::map<size_t, uint32_t> counts;
        for (size_t p : at) {
            auto e = std::lower_bound(ends.begin(), ends.end(), p + start.size());
            for (int k = 0; k < 4 && e != ends.end() && *e < p + distance; ++k, ++e)
                ++counts[*e - p - start.size()];
        }
        uint32_t most = 0;
        for (const auto& c : counts)
            if (c.second > most) {
                most = c.second;
                payload = c.first;
            }
        frames = collect(payload);
    }
    // Drop overlapping frames (a false start inside a payload).
    std::vector<size_t> whole;
    for (size_t p : frames)
        if (whole.empty() || p >= whole.back() + start.size() + payload + end.size())
            whole.push_back(p);
    if (whole.empty() || payload == 0)
        return;
    reading.frames = static_cast<uint32_t>(whole.size());
    reading.frameBytes = distance;
    reading.score = std::min(1.0, static_cast<double>(whole.size()) *
                                      static_cast<double>(start.size() + payload + end.size()) /
                                      static_cast<double>(n));
    PixelHints hints;
    hints.encodings = kind.encodings;
    hints.pageRows = context.rows;
    hints.pageColumns = context.columns;
    std::vector<size_t> payloads;
    for (size_t p : whole)
        payloads.push_back(p + start.size());
    const PixelClassification pixels = ClassifyPixels(Spans(data, payloads, payload), hints);
    const double quality = TakePixels(reading, pixels);
    if (!pixels.layouts.empty())
        reading.format.encoding = reading.encoding;
    reading.presetId = PresetIdOf(reading.format);
    reading.evidence = tx::Format(tx::Tr("FormatRecogniser", "%1 帧%2，每帧 %3 字节像素；%4"),
                                  whole.size(), name, payload, pixels.evidence);
    TooFew(reading, kMinFrames);
    reading.sound = !pixels.layouts.empty() && pixels.confident && reading.frames >= kMinFrames;
    if (reading.frames < kMinFrames)
        needed = std::max<uint64_t>(needed, (kMinFrames - reading.frames) * distance);
    if (!reading.sound)
        reading.score *= std::min(0.45, quality);
    readings.push_back(reading);
}

// ---- the header byte -------------------------------------------------------

// Where in a period of `d` bytes every frame has the header byte and its
// neighbours (three on each side, a U,Y,V pixel's width) do not: a saturated
// area of the picture gives runs of them, or every third byte.
std::vector<size_t> HeaderPlaces(const uint8_t* data, size_t n, size_t d, uint8_t header,
                                 size_t& always) {
    std::vector<uint8_t> every(d, 0);
    always = 0;
    for (size_t q = 0; q < d; ++q) {
        size_t count = 0;
        size_t i = q;
        for (; i < n && data[i] == header; i += d)
            ++count;
        if (i >= n && count >= 2) {
            every[q] = 1;
            ++always;
        }
    }
    std::vector<size_t> alone;
    for (size_t q = 0; q < d && always > 0; ++q) {
        if (!every[q])
            continue;
        bool single = true;
        for (size_t k = 1; k <= 3 && single; ++k)
            single = !every[(q + k) % d] && !every[(q + d - k % d) % d];
        if (single)
            alone.push_back(q);
    }
    return alone;
}

void RecogniseHeaderByte(const uint8_t* data, size_t n, size_t total,
                         const std::vector<Period>& periods, int headerByte,
                         const RecogniserContext& context, std::vector<FormatReading>& readings,
                         uint64_t& needed) {
    const uint8_t header = static_cast<uint8_t>(headerByte);
    // The shortest period with one place for the header, else the most alike
    // period if it has any.
    size_t d = 0, always = 0;
    std::vector<size_t> alone;
    const Period* mostAlike = nullptr;
    std::vector<size_t> several;  // the first period with more than one place
    size_t severalLag = 0, severalCount = 0;
    for (const Period& p : periods)
        if (mostAlike == nullptr || p.difference < mostAlike->difference)
            mostAlike = &p;
    // Likeness finds a moving picture's period give or take a byte or two,
    // or two frames as one; the header byte's place is exact.
    const std::vector<Period>& alike = periods;
    for (size_t k = 1; k <= 2 && d == 0; ++k) {
        for (const Period& p : alike) {
            const size_t centre = (p.lag + k / 2) / k;
            for (int step = 0; step < 7 && d == 0; ++step) {
                // The centre first, then a byte either side, then two, three.
                const long offset = step % 2 == 1 ? -(step + 1) / 2 : step / 2;
                if (static_cast<long>(centre) + offset < 2)
                    continue;
                const size_t lag = static_cast<size_t>(static_cast<long>(centre) + offset);
                if (n < 2 * lag)
                    continue;
                size_t count = 0;
                std::vector<size_t> places = HeaderPlaces(data, n, lag, header, count);
                if (places.size() == 1) {
                    d = lag;
                    always = count;
                    alone = std::move(places);
                } else if (places.size() > 1 && places.size() <= 256 && several.empty()) {
                    severalLag = lag;
                    severalCount = count;
                    several = std::move(places);
                }
            }
        }
    }
    if (d == 0 && !several.empty()) {
        // U,Y,V with saturated pixels: their Y bytes lie every third byte;
        // the header is the one place alone in its third.
        size_t perThird[3] = {0, 0, 0}, last[3] = {0, 0, 0};
        for (size_t q : several) {
            ++perThird[q % 3];
            last[q % 3] = q;
        }
        int single = -1, singles = 0;
        for (int t = 0; t < 3; ++t)
            if (perThird[t] == 1) {
                single = t;
                ++singles;
            }
        if (singles == 1 && perThird[(single + 1) % 3] + perThird[(single + 2) % 3] >= 4) {
            d = severalLag;
            always = severalCount;
            alone = {last[single]};
        }
    }
    if (d == 0 && mostAlike != nullptr && n >= 2 * mostAlike->lag) {
        alone = HeaderPlaces(data, n, mostAlike->lag, header, always);
        if (always > 0)
            d = mostAlike->lag;
    }
    if (d == 0)
        return;
    FormatReading reading;
    reading.format = CStreamFormat();
    reading.headerByte = header;
    reading.frameBytes = d;
    if (alone.empty() && always > 8)
        return;  // a saturated area, no header
    if (alone.empty()) {
        reading.doubts.push_back(
            tx::Format(tx::Tr("FormatRecogniser",
                              "帧头字节 %1 与画面中的饱和像素连在一起（%2 处），找不准帧头位置"),
                       header, always));
        for (size_t q = 0; q < d && alone.empty(); ++q)
            if (data[q] == header && (q + d >= n || data[q + d] == header))
                alone.push_back(q);
        if (alone.empty())
            return;
    } else if (alone.size() > 1) {
        reading.doubts.push_back(
            tx::Format(tx::Tr("FormatRecogniser", "每帧有 %1 处都是 %2，找不准帧头位置"),
                       alone.size(), header));
    }
    const size_t q = alone[0];
    std::vector<size_t> payloads;
    for (size_t p = q; p + d <= n; p += d)
        payloads.push_back(p + 1);
    const size_t payload = d - 1;
    reading.frames = static_cast<uint32_t>(payloads.size());
    reading.score = static_cast<double>(payloads.size() * d) / static_cast<double>(total);
    PixelHints hints;
    hints.pageRows = context.rows;
    hints.pageColumns = context.columns;
    hints.encodings = {Encoding::Gray8, Encoding::Uyv};
    if (context.colour == 0)
        hints.encodings = {Encoding::Gray8};
    else if (context.colour == 1)
        hints.encodings = {Encoding::Uyv};
    const PixelClassification pixels = ClassifyPixels(Spans(data, payloads, payload), hints);
    const double quality = TakePixels(reading, pixels);
    reading.presetId = PresetIdOf(reading.format);
    reading.evidence =
        tx::Format(tx::Tr("FormatRecogniser", "每 %1 字节出现一次帧头字节 %2（%3 帧）；%4"), d,
                   header, reading.frames, pixels.evidence);
    TooFew(reading, kMinFrames);
    if (reading.frames < kMinFrames)
        needed = std::max<uint64_t>(needed, (kMinFrames - reading.frames) * d);
    reading.sound = alone.size() == 1 && reading.doubts.empty() && pixels.confident &&
                    reading.frames >= kMinFrames;
    if (!reading.sound)
        reading.score *= std::min(0.45, quality);
    readings.push_back(reading);
}

// ---- headerless frames -----------------------------------------------------

// Where frames start within the period: after the row that is least like the
// next one (a frame's last row against the next frame's first). 0..1 in
// `clarity` for how clearly that row stands out.
size_t FrameStart(const uint8_t* data, size_t n, size_t frame, size_t row, double& clarity) {
    std::vector<double> unlike(frame, 0);
    for (size_t q = 0; q < frame; ++q) {
        uint64_t sum = 0, count = 0;
        for (size_t i = q; i + row < n; i += frame, ++count)
            sum += static_cast<uint64_t>(std::abs(int{data[i]} - int{data[i + row]}));
        unlike[q] = count > 0 ? static_cast<double>(sum) / static_cast<double>(count) : 0;
    }
    // Sums over `row` positions in a ring.
    double window = 0;
    for (size_t q = 0; q < row; ++q)
        window += unlike[q];
    std::vector<double> sums(frame);
    for (size_t b = 0; b < frame; ++b) {
        sums[b] = window;
        window += unlike[(b + row) % frame] - unlike[b];
    }
    const size_t last =
        static_cast<size_t>(std::max_element(sums.begin(), sums.end()) - sums.begin());
    std::vector<double> sorted = sums;
    std::nth_element(sorted.begin(), sorted.begin() + sorted.size() / 2, sorted.end());
    const double median = sorted[sorted.size() / 2];
    clarity = median > 0 ? sums[last] / median : (sums[last] > 0 ? 10 : 1);
    return (last + row) % frame;
}

// The frame period from where the picture breaks: with rows of `row` bytes,
// a frame's last row is unlike the next frame's first, once a frame, however
// the picture moves. The most common distance, in rows, between the rows
// least like the next; 0 when no such break stands out.
size_t BreakPeriod(const uint8_t* data, size_t n, size_t row) {
    if (row == 0 || n < 8 * row)
        return 0;
    const size_t rows = (n - row) / row;
    std::vector<double> unlike(rows, 0);
    for (size_t j = 0; j < rows; ++j) {
        uint64_t sum = 0;
        const uint8_t* a = data + j * row;
        for (size_t i = 0; i < row; ++i)
            sum += static_cast<uint64_t>(std::abs(int{a[i]} - int{a[i + row]}));
        unlike[j] = static_cast<double>(sum) / static_cast<double>(row);
    }
    std::vector<double> sorted = unlike;
    std::nth_element(sorted.begin(), sorted.begin() + sorted.size() / 2, sorted.end());
    const double median = sorted[sorted.size() / 2];
    // Rows standing out against their neighbourhood, the larger of two neighbours.
    std::vector<size_t> peaks;
    for (size_t j = 0; j < rows; ++j) {
        const bool high = unlike[j] > 1.8 * median + 1;
        const bool top =
            (j == 0 || unlike[j] >= unlike[j - 1]) && (j + 1 == rows || unlike[j] > unlike[j + 1]);
        if (high && top)
            peaks.push_back(j);
    }
    if (peaks.size() < 2 || peaks.size() > rows / 4)
        return 0;
    std::map<size_t, uint32_t> counts;
    for (size_t k = 0; k + 1 < peaks.size(); ++k)
        ++counts[peaks[k + 1] - peaks[k]];
    size_t best = 0;
    uint32_t most = 0;
    for (const auto& c : counts)
        if (c.second > most) {
            most = c.second;
            best = c.first;
        }
    return best >= 4 ? best * row : 0;
}

// The row length: the lag (up to 4096) at which the bytes are most like
// themselves, or half of it when that is as alike (two rows).
size_t ShortestAlike(const uint8_t* data, size_t n) {
    const size_t first = 2 * RunningSums::kWidth;
    const size_t last = std::min<size_t>(4096, n / 8);
    if (last < first)
        return 0;
    std::vector<double> d;
    size_t best = first;
    for (size_t lag = first; lag <= last; ++lag) {
        // Byte by byte: a pixel of several bytes is like the one below it
        // only a whole row on.
        uint64_t sum = 0;
        const size_t stride = std::max<size_t>(1, (n - lag) / 2048);
        size_t count = 0;
        for (size_t i = (lag * 13) % stride; i + lag < n && count < 2048; i += stride, ++count)
            sum += static_cast<uint64_t>(std::abs(int{data[i]} - int{data[i + lag]}));
        d.push_back(count > 0 ? static_cast<double>(sum) / static_cast<double>(count) : 255);
        if (d.back() < d[best - first])
            best = lag;
    }
    while (best / 2 >= first && best % 2 == 0 &&
           d[best / 2 - first] <= d[best - first] * 1.05 + 0.2)
        best /= 2;
    return best;
}

void RecogniseHeaderless(const uint8_t* data, size_t n, const std::vector<Period>& periods,
                         const RecogniserContext& context, std::vector<FormatReading>& readings,
                         uint64_t& needed) {
    size_t frame = 0, first = 0;
    std::vector<size_t> starts;
    std::string how;
    std::vector<std::string> doubts;
    bool phaseSure = true;
    // Pauses from a live line: bursts of one frame each.
    std::vector<uint64_t> pauses;
    for (uint64_t p : context.pauses)
        if (p < n)
            pauses.push_back(p);
    std::sort(pauses.begin(), pauses.end());
    pauses.erase(std::unique(pauses.begin(), pauses.end()), pauses.end());
    if (pauses.size() >= 2) {
        std::map<size_t, uint32_t> counts;
        for (size_t k = 0; k + 1 < pauses.size(); ++k)
            ++counts[static_cast<size_t>(pauses[k + 1] - pauses[k])];
        uint32_t most = 0;
        for (const auto& c : counts)
            if (c.second > most) {
                most = c.second;
                frame = c.first;
            }
        for (size_t k = 0; k < pauses.size(); ++k) {
            const size_t p = static_cast<size_t>(pauses[k]);
            const size_t end = k + 1 < pauses.size() ? static_cast<size_t>(pauses[k + 1]) : n;
            if (end - p == frame || (k + 1 == pauses.size() && end - p >= frame))
                starts.push_back(p);
        }
        how = tx::Format(tx::Tr("FormatRecogniser", "按停顿分成 %1 段，"), pauses.size());
    } else if (!periods.empty()) {
        // Of the periods nearly as alike as the best, the one whose frames
        // have the clearest boundary: a frame's last row unlike the next
        // frame's first. (A row's period, or a frame and a row, blurs it.)
        std::vector<Period> candidates = periods;
        std::sort(candidates.begin(), candidates.end(),
                  [](const Period& a, const Period& b) { return a.lag < b.lag; });
        double clarity = 0;
        size_t last = 0;
        struct Choice {
            size_t lag, start;
            double clarity;
        };
        std::vector<Choice> choices;
        for (const Period& p : candidates) {
            if (p.lag == last || 2 * p.lag > n)
                continue;
            last = p.lag;
            // The row length in bytes: the width of the bytes read as gray
            // (where a row starts does not matter to that).
            PixelHints gray;
            gray.encodings = {Encoding::Gray8};
            const PixelClassification rows = ClassifyPixels(Spans(data, {0, p.lag}, p.lag), gray);
            if (rows.layouts.empty() || rows.layouts[0].vertical > 0.5)
                continue;
            const size_t row = rows.layouts[0].width;
            if (row < 16 || p.lag / row < 16)
                continue;  // a frame of a few rows: rows, not frames
            double c = 0;
            const size_t start = FrameStart(data, n, p.lag, row, c);
            choices.push_back({p.lag, start, c});
            clarity = std::max(clarity, c);
        }
        // The shortest period whose boundary stands out nearly as clearly as
        // any (two frames have it too).
        for (const Choice& c : choices) {
            if (c.clarity >= 0.75 * clarity) {
                clarity = c.clarity;
                frame = c.lag;
                first = c.start;
                break;
            }
        }
        if (frame == 0)
            return;
        for (size_t p = first; p + frame <= n; p += frame)
            starts.push_back(p);
        phaseSure = clarity >= 1.5;
        // Byte by byte the frames are most alike exactly a period apart (a
        // byte more or less is a neighbouring pixel); else the period is
        // only near, say with a header byte between frames.
        double diffs[5] = {};
        for (size_t k = 0; k < 5; ++k) {
            const size_t lag = frame + k - 2;
            uint64_t sum = 0, count = 0;
            for (size_t p : starts)
                for (size_t i = p; i < p + frame && i + lag < n; i += 7, ++count)
                    sum += static_cast<uint64_t>(std::abs(int{data[i]} - int{data[i + lag]}));
            diffs[k] = count > 0 ? static_cast<double>(sum) / static_cast<double>(count) : 1e9;
        }
        size_t nearer = 0;
        for (size_t k = 0; k < 5; ++k)
            if (k != 2 && diffs[k] < diffs[2] &&
                (nearer == 0 || diffs[k] < diffs[nearer - frame + 2]))
                nearer = frame + k - 2;
        if (nearer != 0)
            doubts.push_back(tx::Format(tx::Tr("FormatRecogniser",
                                               "帧与帧在 %1 字节处比在 %2 "
                                               "字节处更相似，帧长不确定（帧间也许有帧头）"),
                                        nearer, frame));
        if (!phaseSure)
            doubts.push_back(tx::Tr("FormatRecogniser",
                                    "看不出帧从哪个字节开始（帧首行与上一帧末行差别不明显）"));
        how = tx::Format(tx::Tr("FormatRecogniser", "数据每 %1 字节与自身相似，"), frame);
    } else {
        return;
    }
    if (frame < 32 || starts.empty())
        return;
    FormatReading reading;
    reading.frames = static_cast<uint32_t>(starts.size());
    reading.frameBytes = frame;
    reading.doubts = doubts;
    reading.score =
        std::min(1.0, static_cast<double>(starts.size() * frame) / static_cast<double>(n));
    std::vector<size_t> payloads(starts.begin(), starts.end());
    PixelHints hints;
    hints.pageRows = context.rows;
    hints.pageColumns = context.columns;
    const PixelClassification pixels = ClassifyPixels(Spans(data, payloads, frame), hints);
    const double quality = TakePixels(reading, pixels);
    if (pauses.size() < 2 && !pixels.layouts.empty()) {
        // Found by likeness alone, the start may be a byte or two off: a
        // pixel of several bytes read from its second byte can look as
        // smooth in another encoding (RGB565 the other way round).
        const uint64_t unit = std::max<uint64_t>(1, RowBytes(reading.encoding, 2) / 2);
        for (uint64_t shift = 1; shift < unit; ++shift) {
            std::vector<size_t> shifted;
            for (size_t p : payloads)
                if (p + shift + frame <= n)
                    shifted.push_back(p + shift);
            const PixelClassification other = ClassifyPixels(Spans(data, shifted, frame), {});
            if (!other.layouts.empty() && other.layouts[0].encoding != pixels.layouts[0].encoding &&
                other.layouts[0].roughness <= pixels.layouts[0].roughness * 1.25) {
                reading.doubts.push_back(
                    tx::Format(tx::Tr("FormatRecogniser",
                                      "帧起点错开 %1 字节时读作%2也一样平滑，没有停顿可依，分不清"),
                               shift, PixelsText(other.layouts[0].encoding)));
                break;
            }
        }
    }
    // The requests cannot be seen in what the board sent: a capture made
    // with a headerless format of this encoding keeps its requests; one made
    // without requests shows that the board sends by itself.
    const bool sameKind = context.hasFormat && context.format.framing == Framing::Headerless &&
                          context.format.encoding == reading.encoding;
    if (sameKind) {
        reading.format = context.format;
    } else {
        reading.format.framing = Framing::Headerless;
        reading.format.encoding = reading.encoding;
        reading.format.gapMilliseconds = 20;
        if (!context.hasFormat)
            reading.doubts.push_back(
                tx::Tr("FormatRecogniser", "无帧头的数据看不出板子是否要等请求才发帧"));
        else if (!context.format.requestPerFrame.empty())
            reading.doubts.push_back(
                tx::Tr("FormatRecogniser", "采集时发送过请求，看不出板子是否要等请求才发帧"));
    }
    reading.presetId = PresetIdOf(reading.format);
    reading.evidence = tx::Format(tx::Tr("FormatRecogniser", "%1%2 帧各 %3 字节；%4"), how,
                                  starts.size(), frame, pixels.evidence);
    TooFew(reading, kMinFrames);
    if (reading.frames < kMinFrames)
        needed = std::max<uint64_t>(needed, (kMinFrames - reading.frames) * frame);
    reading.sound =
        pixels.confident && phaseSure && reading.frames >= kMinFrames && reading.doubts.empty();
    if (!reading.sound)
        reading.score *= std::min(0.45, quality);
    readings.push_back(reading);
}

std::string ReadingName(const FormatReading& reading) {
    const CStreamPreset* preset = FindPreset(reading.presetId);
    std::string name = preset != nullptr ? PresetLabel(*preset) : CustomLabel();
    const char* comma = tx::Tr("FormatRecogniser", "，");
    if (reading.rows > 0)
        name += comma + Size(reading.rows, reading.columns);
    if (reading.format.framing != Framing::Jpeg)
        name += comma + PixelsText(reading.encoding);
    return name;
}

}  // namespace

FormatRecognition RecogniseFormat(const uint8_t* data, size_t size,
                                  const RecogniserContext& context) {
    FormatRecognition result;
    const size_t n = std::min(size, kWindow);
    if (data == nullptr || n == 0) {
        result.verdictText = tx::Tr("FormatRecogniser", "没有数据");
        return result;
    }
    std::vector<FormatReading>& readings = result.readings;
    uint64_t needed = 0;
    RecogniseJpeg(data, n, readings);
    RecogniseDescribed(data, n, context, readings, needed);
    RecognisePacket(data, n, readings, needed);
    for (const MarkerKind& kind : MarkerKinds(context))
        RecogniseMarker(data, n, kind, context, readings, needed);

    // Fixed-size frames without a marker of their own: the stream's period.
    bool framed = false;
    for (const FormatReading& r : readings)
        framed = framed || r.score >= 0.5;
    if (!framed) {
        const RunningSums likeness(data, n);
        std::vector<Period> periods = NearBest(FindPeriods(likeness), 10);
        // Where the picture breaks once a frame tells the period when rows
        // are more alike than frames.
        const size_t row = ShortestAlike(data, n);
        for (size_t r : {row, 2 * row}) {
            const size_t lag = BreakPeriod(data, n, r);
            if (lag > 0 && 2 * lag <= n) {
                Period p;
                p.lag = lag;
                p.difference = LagDifference(likeness, lag, 8192);
                periods.push_back(p);
            }
        }
        if (!periods.empty()) {
            // A byte lost on the line moves the header for the frames after
            // it: when the whole window does not show it in place, its first
            // or last half, quarter, ... may.
            const int header = context.headerByte >= 0 ? context.headerByte : 255;
            std::vector<FormatReading> whole;
            uint64_t wholeNeeded = 0;
            RecogniseHeaderByte(data, n, n, periods, header, context, whole, wholeNeeded);
            bool found = !whole.empty() && whole[0].sound;
            for (size_t m = n / 2; !found && m >= n / 4 && m >= 4096; m /= 2) {
                for (const uint8_t* part : {data, data + n - m}) {
                    std::vector<FormatReading> some;
                    uint64_t unused = 0;
                    RecogniseHeaderByte(part, m, n, periods, header, context, some, unused);
                    // Part of the window only: more frames than usual.
                    if (!some.empty() && some[0].sound && some[0].frames >= 2 * kMinFrames) {
                        some[0].evidence += tx::Format(
                            tx::Tr("FormatRecogniser",
                                   "（只在这 %1 字节里帧头位置不变，其余处也许丢了字节）"),
                            m);
                        readings.push_back(some[0]);
                        found = true;
                        break;
                    }
                }
            }
            if (!found) {
                readings.insert(readings.end(), whole.begin(), whole.end());
                needed = std::max(needed, wholeNeeded);
            } else if (!whole.empty() && whole[0].sound) {
                readings.push_back(whole[0]);
            }
        }
        bool headed = false;
        for (const FormatReading& r : readings)
            headed = headed || (r.format.framing == Framing::HeaderByte && r.sound);
        if (!headed && (!periods.empty() || context.pauses.size() >= 2))
            RecogniseHeaderless(data, n, periods, context, readings, needed);
    }

    std::stable_sort(
        readings.begin(), readings.end(),
        [](const FormatReading& a, const FormatReading& b) { return a.score > b.score; });
    if (readings.empty()) {
        result.verdict = FormatRecognition::Verdict::Unknown;
        result.verdictText = tx::Tr("FormatRecogniser", "不是能识别的数据格式");
        return result;
    }
    const FormatReading& best = readings[0];
    const bool rival = readings.size() > 1 && readings[1].score > kRivalShare * best.score;
    if (best.sound && !rival) {
        result.verdict = FormatRecognition::Verdict::Confident;
        result.verdictText =
            tx::Format(tx::Tr("FormatRecogniser", "数据格式是 %1"), ReadingName(best));
        return result;
    }
    result.verdict = FormatRecognition::Verdict::Uncertain;
    result.doubts = best.doubts;
    if (rival)
        result.doubts.push_back(tx::Format(tx::Tr("FormatRecogniser", "也可能是 %1（%2）"),
                                           ReadingName(readings[1]), readings[1].evidence));
    if (best.frames < kMinFrames && needed > 0)
        result.moreBytesNeeded = needed;
    if (result.moreBytesNeeded > 0)
        result.doubts.push_back(tx::Format(tx::Tr("FormatRecogniser", "再收约 %1 字节才能确定"),
                                           result.moreBytesNeeded));
    result.verdictText =
        tx::Format(tx::Tr("FormatRecogniser", "可能是 %1，但不能确定"), ReadingName(best));
    return result;
}

std::vector<std::string> CamsimArguments(const FormatReading& reading) {
    std::vector<std::string> args;
    CStreamFormat format = reading.format;
    bool colour = false;
    if (format.framing == Framing::HeaderByte) {
        colour = reading.encoding == Encoding::Uyv;
        if (format.encoding != Encoding::Page)
            format.encoding = reading.encoding;
    } else if (format.framing != Framing::Jpeg) {
        // The simulator sends the format's own encoding.
        format.encoding = reading.encoding;
    }
    args.push_back("--format");
    args.push_back(FormatToText(format));
    if (format.framing == Framing::HeaderByte) {
        args.push_back("--header");
        args.push_back(Number(reading.headerByte));
        if (colour)
            args.push_back("--colour");
    }
    if (reading.rows > 0 && reading.columns > 0) {
        args.push_back("--rows");
        args.push_back(Number(reading.rows));
        args.push_back("--columns");
        args.push_back(Number(reading.columns));
    }
    return args;
}

std::string CamsimCommandLine(const FormatReading& reading) {
    std::string line = "tavix-camsim";
    for (const std::string& arg : CamsimArguments(reading)) {
        line += ' ';
        if (arg.find_first_of(" ,\"'\\") == std::string::npos) {
            line += arg;
            continue;
        }
        line += '\'';
        for (char c : arg) {
            if (c == '\'')
                line += "'\\''";
            else
                line += c;
        }
        line += '\'';
    }
    return line;
}

}  // namespace stream
