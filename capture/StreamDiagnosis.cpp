#include "capture/StreamDiagnosis.h"

#include <algorithm>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <tuple>
#include <unordered_map>
#include <utility>

#include "settings/Translation.h"

namespace {

constexpr size_t kMaxBytes = size_t{4} << 20;
constexpr uint32_t kMaxSide = 9999;

// A period counts as dominant when the header recurs in this share of periods.
constexpr double kDominant = 0.8;
// A value recurs at exactly a distance when a byte nearer or further it
// recurs at most this much less often (a byte lost now and then moves a
// header's recurrence one byte nearer).
constexpr double kLinkSpecific = 0.6;
// Whole frames a confident reading needs: in fewer, pixel values recur at one
// position every period by chance about as often as a header does.
constexpr uint32_t kWholeFrames = 4;
// The best column count's score: at most kSmooth, and at most kClearWin
// times any other size's that is neither its multiple nor its divisor.
constexpr double kSmooth = 0.8;
constexpr double kClearWin = 0.85;
// A header value this common in the data is named in the report.
constexpr double kCommonHeader = 0.05;
// Periods over which a value's recurrence at a distance is counted, and the
// bytes it is counted over at least.
constexpr uint64_t kFitPeriods = 16;
constexpr uint64_t kFitBytes = 512u << 10;
// Occurrences whose links beside a distance tell how many fall at it by chance.
constexpr size_t kLinkPoints = 2048;
// Occurrences (at least) of the quick look at a value's recurrence.
constexpr size_t kQuickPoints = 1024;
// Candidate periods: modes of the distances to the 1st..kNextMax-th next
// occurrence, over at most kGapPoints occurrences.
constexpr int kNextMax = 6;
constexpr size_t kGapPoints = 4096;
// Positions sampled for a stream's similarity to itself at a distance.
constexpr size_t kSimilaritySamples = 65536;
// Picture bytes (Y for colour) used to score a column count, and the frame
// bytes kept for it (a colour frame holds a third of its bytes as Y).
constexpr size_t kPlaneBytes = 256 * 1024;
constexpr size_t kFrameBytes = 6 * kPlaneBytes;

std::string Format(const char* format, ...) __attribute__((format(printf, 1, 2)));
std::string Format(const char* format, ...) {
    va_list args;
    va_start(args, format);
    va_list again;
    va_copy(again, args);
    const int n = std::vsnprintf(nullptr, 0, format, args);
    va_end(args);
    std::string text(n > 0 ? size_t(n) : 0, '\0');
    if (n > 0)
        std::vsnprintf(text.data(), text.size() + 1, format, again);
    va_end(again);
    return text;
}

// A byte as two hex digits.
std::string Hex(unsigned value) {
    return Format("%02X", value);
}

// --- Where each byte value occurs ------------------------------------------

class Occurrences {
public:
    Occurrences(const uint8_t* b, size_t n) : m_start(257, 0), m_pos(n) {
        for (size_t i = 0; i < n; ++i)
            ++m_start[b[i] + 1];
        for (int v = 0; v < 256; ++v)
            m_start[v + 1] += m_start[v];
        std::vector<uint32_t> fill(m_start.begin(), m_start.end() - 1);
        for (size_t i = 0; i < n; ++i)
            m_pos[fill[b[i]]++] = static_cast<uint32_t>(i);
    }
    const uint32_t* Begin(int v) const { return m_pos.data() + m_start[v]; }
    size_t Count(int v) const { return m_start[v + 1] - m_start[v]; }

private:
    std::vector<uint32_t> m_start;
    std::vector<uint32_t> m_pos;
};

// --- The stream compared with itself a distance later -----------------------

struct Similarity {
    double mad = 255;  // mean absolute difference
    double equal = 0;  // share of equal bytes
};

class SelfSimilarity {
public:
    SelfSimilarity(const uint8_t* b, size_t n) : m_b(b), m_n(n) {}
    Similarity At(uint32_t d) {
        if (d == 0)
            return Similarity{0, 1};
        if (d >= m_n)
            return Similarity{};
        auto it = m_cache.find(d);
        if (it != m_cache.end())
            return it->second;
        const size_t span = m_n - d;
        const size_t samples = std::min(span, kSimilaritySamples);
        uint64_t sum = 0;
        size_t equal = 0;
        for (size_t k = 0; k < samples; ++k) {
            const size_t i = span == samples ? k : k * span / samples;
            const int diff = std::abs(int(m_b[i]) - int(m_b[i + d]));
            sum += static_cast<uint64_t>(diff);
            equal += diff == 0;
        }
        const Similarity s{double(sum) / double(samples), double(equal) / double(samples)};
        m_cache.emplace(d, s);
        return s;
    }

private:
    const uint8_t* m_b;
    size_t m_n;
    std::map<uint32_t, Similarity> m_cache;
};

// --- Candidate periods of one value ------------------------------------------

// The most frequent values of `gaps` (at most `top`), each seen at least
// `minCount` times.
void AddModes(std::vector<uint32_t>& gaps, size_t top, size_t minCount,
              std::vector<uint32_t>& out) {
    std::sort(gaps.begin(), gaps.end());
    std::vector<std::pair<size_t, uint32_t>> runs;  // (count, gap)
    for (size_t i = 0; i < gaps.size();) {
        size_t j = i;
        while (j < gaps.size() && gaps[j] == gaps[i])
            ++j;
        runs.emplace_back(j - i, gaps[i]);
        i = j;
    }
    std::sort(runs.begin(), runs.end(), [](const auto& a, const auto& b) {
        return a.first != b.first ? a.first > b.first : a.second < b.second;
    });
    for (size_t k = 0; k < runs.size() && k < top; ++k)
        if (runs[k].first >= minCount)
            out.push_back(runs[k].second);
}

// Distances at which value's occurrences may recur: the commonest distances
// to the 1st..6th next occurrence; then the same over the occurrences that
// break the commonest spacing, and over those that break theirs. The breaks
// find a header among header-valued pixels laid out at a fixed spacing, and
// a frame whose rows repeat: in both the spacing slips once per frame.
std::vector<uint32_t> DistanceCandidates(const uint32_t* pos, size_t count, size_t n) {
    std::vector<uint32_t> out;
    std::vector<uint32_t> points(pos, pos + count);
    std::vector<uint32_t> gaps;
    for (int level = 0; level < 3 && points.size() >= 2; ++level) {
        const size_t m = std::min(points.size(), kGapPoints);
        const size_t minCount = m <= 8 ? 1 : 2;
        uint32_t spacing = 0;
        size_t spacingCount = 0;
        for (int k = 1; k <= kNextMax && size_t(k) < m; ++k) {
            gaps.clear();
            for (size_t i = 0; i + k < m; ++i)
                gaps.push_back(points[i + k] - points[i]);
            std::vector<uint32_t> modes;
            AddModes(gaps, 2, minCount, modes);
            if (k == 1 && !modes.empty()) {
                spacing = modes[0];
                spacingCount = size_t(std::upper_bound(gaps.begin(), gaps.end(), spacing) -
                                      std::lower_bound(gaps.begin(), gaps.end(), spacing));
            }
            for (uint32_t d : modes)
                if (d >= 2 && d <= n / 2)
                    out.push_back(d);
        }
        if (spacing == 0 || spacingCount * 10 < (m - 1) * 3)
            break;  // no commonest spacing to break
        std::vector<uint32_t> breaks;
        for (size_t i = 1; i < points.size(); ++i)
            if (points[i] - points[i - 1] != spacing)
                breaks.push_back(points[i]);
        if (breaks.size() < 2 || breaks.size() * 10 > points.size() * 7)
            break;
        points.swap(breaks);
    }
    std::sort(out.begin(), out.end());
    out.erase(std::unique(out.begin(), out.end()), out.end());
    return out;
}

// The best `count` distances in [lo, hi] by the stream's likeness to itself,
// each at least 3 from a better one, from `budget` byte comparisons; the
// median unlikeness of the range in `typical`.
void BestAlike(const uint8_t* b, size_t n, size_t lo, size_t hi, size_t budget, size_t count,
               std::vector<uint32_t>& out, double& typical) {
    if (hi < lo || hi >= n)
        return;
    const size_t samples = std::clamp<size_t>(budget / (hi - lo + 1), 32, 4096);
    const size_t span = n - hi;
    std::vector<uint32_t> sum(hi - lo + 1, 0);
    for (size_t k = 0; k < samples; ++k) {
        const size_t i = k * span / samples;
        const int a = b[i];
        const uint8_t* q = b + i + lo;
        for (size_t j = 0; j < sum.size(); ++j)
            sum[j] += uint32_t(std::abs(a - int(q[j])));
    }
    std::vector<uint32_t> order(sum.size());
    for (uint32_t j = 0; j < order.size(); ++j)
        order[j] = j;
    std::nth_element(order.begin(), order.begin() + order.size() / 2, order.end(),
                     [&](uint32_t x, uint32_t y) { return sum[x] < sum[y]; });
    typical = double(sum[order[order.size() / 2]]) / double(samples);
    const size_t keep = std::min<size_t>(order.size(), 2048);
    std::partial_sort(
        order.begin(), order.begin() + keep, order.end(),
        [&](uint32_t x, uint32_t y) { return sum[x] != sum[y] ? sum[x] < sum[y] : x < y; });
    const size_t first = out.size();
    for (size_t i = 0; i < keep && out.size() - first < count; ++i) {
        const uint32_t d = uint32_t(order[i] + lo);
        bool near = false;
        for (size_t o = first; o < out.size(); ++o)
            near = near || (d > out[o] ? d - out[o] : out[o] - d) <= 3;
        if (!near)
            out.push_back(d);
    }
}

// Distances at which the stream is most like itself, from a coarse look at
// every distance up to a third of it: consecutive frames of a camera are
// alike, so the frame period is among them even when the header's value is
// common in the picture. Distances up to 128 KiB (frames up to 320 x 240
// grayscale, 160 x 240 colour) are looked at more closely than longer ones.
std::vector<uint32_t> LikenessCandidates(const uint8_t* b, size_t n, double& typicalMad) {
    std::vector<uint32_t> out;
    typicalMad = 0;
    const size_t dMax = n / 3;
    if (dMax < 2)
        return out;
    constexpr size_t kNear = 128 * 1024;
    BestAlike(b, n, 2, std::min(dMax, kNear), size_t{32} << 20, 20, out, typicalMad);
    double farTypical = 0;
    if (dMax > kNear)
        BestAlike(b, n, kNear + 1, dMax, size_t{64} << 20, 10, out, farTypical);
    // A picture that drifts is most alike two or three periods (less a
    // byte) later, or a pixel beside a period later: the halves and thirds
    // of the best few, and the distances beside them, are worth a look.
    const size_t best = std::min<size_t>(out.size(), 8);
    for (size_t i = 0; i < std::min<size_t>(best, 4); ++i)
        for (int off : {-3, -2, -1, 1, 2, 3})
            if (int64_t(out[i]) + off >= 2)
                out.push_back(uint32_t(int64_t(out[i]) + off));
    for (size_t i = 0; i < best; ++i)
        for (uint32_t k : {2u, 3u})
            for (int off : {-1, 0, 1}) {
                const int64_t d = int64_t(out[i] + k / 2) / k + off;
                if (d >= 2)
                    out.push_back(uint32_t(d));
            }
    return out;
}

// The values worth a full look at distance d: those that recur there in at
// least 40 % of the periods over the stream's first 256 KiB (or four periods)
// more often than a value as common does by chance, and those that hold
// their value at one lone position in every period. One pass for all values.
std::vector<bool> RecurringValues(const uint8_t* b, size_t n, uint32_t d, const Occurrences& occ) {
    std::vector<bool> out(256, false);
    if (d == 0 || d >= n)
        return out;
    const size_t span = std::min<size_t>(n - d, std::max<size_t>(4 * size_t(d), 256 * 1024));
    const size_t windows = (span + d - 1) / d;
    std::vector<uint32_t> covered(256, 0), last(256, UINT32_MAX), links(256, 0);
    for (size_t w = 0; w < windows; ++w) {
        const size_t end = std::min(span, (w + 1) * size_t(d));
        for (size_t p = w * size_t(d); p < end; ++p)
            if (b[p] == b[p + d]) {
                ++links[b[p]];
                if (last[b[p]] != w) {
                    last[b[p]] = uint32_t(w);
                    ++covered[b[p]];
                }
            }
    }
    for (int v = 0; v < 256; ++v) {
        const double share = double(occ.Count(v)) / double(n);
        const double chance = share * share * double(span);
        out[size_t(v)] = covered[size_t(v)] > 0 &&
                         double(covered[size_t(v)]) >= 0.4 * double(windows) &&
                         links[size_t(v)] > chance + 3 * std::sqrt(chance);
    }
    // Lone positions of the first period that hold their value in every
    // period after it.
    const size_t first = std::min<size_t>(d, n - d);
    for (size_t p = 0; p < first; ++p) {
        const uint8_t v = b[p];
        if (out[v] || b[p + d] != v)
            continue;
        size_t q = p, len = 0, lone = 0;
        for (; q < n && b[q] == v; q += d) {
            ++len;
            bool alone = true;
            for (int64_t o : {-3, -1, 1, 3}) {
                const int64_t r = int64_t(q) + o;
                alone = alone && !(r >= 0 && size_t(r) < n && b[r] == v);
            }
            lone += alone;
        }
        if (q >= n && len >= 3 && 2 * lone > len)
            out[v] = true;
    }
    return out;
}

// --- How well a value recurs at a distance -----------------------------------

struct PeriodFit {
    uint8_t value = 0;
    uint32_t d = 0;
    uint32_t links = 0;    // occurrences with another one d later
    uint32_t covered = 0;  // periods holding such an occurrence
    uint32_t windows = 0;  // periods looked at
    double coverage = 0;
    double perFrame = 0;
    double linkSpec = 0;  // links at d against d - 1 and d + 1
    double simSpec = 0;   // the stream's likeness at d against d - 1 and d + 1
    Similarity sim;
    bool eligible = false;  // recurs in most of at least two periods
    bool weak = false;      // recurs once, and the value occurs hardly anywhere else
    // Positions of the first period that hold the value in every period of
    // the window, and of them those where it stands alone (the neighbouring
    // pixel, 1 and 3 bytes either side, differs: not a patch of picture).
    uint32_t chains = 0;
    uint32_t alone = 0;
    uint32_t chainLength = 0;  // occurrences in the lone position's chain
    uint32_t chainStart = 0;   // the lone position
    double chance = 0;         // lone chains a few bytes off d: how many come by chance
    // Exactly one lone position recurs in every one of at least three
    // periods, and nothing like it a few bytes off: a header, however common
    // its value is in the picture.
    bool exact = false;
};

class PeriodSearch {
public:
    PeriodSearch(const uint8_t* b, size_t n, const Occurrences& occ)
        : m_b(b), m_n(n), m_occ(occ), m_self(b, n) {}

    // The stream's unlikeness to itself at an arbitrary distance; 0 unknown.
    void SetTypicalMad(double mad) { m_typicalMad = mad; }

    // Links of value at distance d among its occurrences below `end`; the
    // periods from the first linked one and how many of them hold a link.
    void Count(int v, uint32_t d, size_t end, uint32_t& links, uint32_t& windows,
               uint32_t& covered) const {
        links = windows = covered = 0;
        const uint32_t* p = m_occ.Begin(v);
        const size_t count = m_occ.Count(v);
        int64_t first = -1;
        uint64_t windowEnd = 0;  // where the period holding the last link ends
        for (size_t i = 0; i < count && p[i] < end; ++i) {
            const size_t q = size_t(p[i]) + d;
            if (q >= end || m_b[q] != v)
                continue;
            ++links;
            if (first < 0)
                first = p[i];
            if (p[i] >= windowEnd) {
                ++covered;
                windowEnd = uint64_t(first) + (uint64_t(p[i] - first) / d + 1) * d;
            }
        }
        if (first >= 0)
            windows = uint32_t((int64_t(end) - 1 - d - first) / d + 1);
    }

    // Links of value at distance d among its first `limit` occurrences.
    // (Remembered: nearby distances share most of their neighbours.)
    uint32_t Links(int v, uint32_t d, size_t limit) {
        const uint64_t key = (uint64_t(v) << 40) ^ (uint64_t(limit) << 32) ^ d;
        const auto known = m_links.find(key);
        if (known != m_links.end())
            return known->second;
        const uint32_t* p = m_occ.Begin(v);
        const size_t count = std::min(m_occ.Count(v), limit);
        uint32_t links = 0;
        for (size_t i = 0; i < count && size_t(p[i]) + d < m_n; ++i)
            links += m_b[p[i] + d] == v;
        m_links.emplace(key, links);
        return links;
    }

    // Chains of v at distance d: positions below d whose value is v in every
    // period after them up to the window's end.
    void Chains(int v, uint32_t d, uint32_t& chains, uint32_t& alone, uint32_t& length,
                uint32_t& start) const {
        chains = alone = length = start = 0;
        const uint32_t* p = m_occ.Begin(v);
        const size_t count = m_occ.Count(v);
        for (size_t i = 0; i < count && p[i] < d; ++i) {
            uint32_t len = 0, lone = 0;
            size_t q = p[i];
            for (; q < m_n && m_b[q] == v; q += d) {
                ++len;
                lone += Alone(q, v);
            }
            if (q < m_n || len < 2)
                continue;
            ++chains;
            if (2 * lone > len) {
                if (alone++ == 0) {
                    length = len;
                    start = p[i];
                }
            }
        }
    }

    PeriodFit Fit(int v, uint32_t d) {
        PeriodFit f;
        f.value = uint8_t(v);
        f.d = d;
        // A header holds its value in every period at one position; the
        // picture's values recur at many, or at a patch of positions.
        if (d >= 2 && d < m_n) {
            Chains(v, d, f.chains, f.alone, f.chainLength, f.chainStart);
            if (f.alone == 1 && f.chainLength >= 3) {
                // A pixel value that recurs by chance does so at distances
                // beside d too; a header at d alone.
                uint32_t c, a, l, s, sum = 0;
                for (int k = -24; k <= 24; k += 3) {
                    const int64_t e = int64_t(d) + k;
                    if (k != 0 && e >= 2 && uint64_t(e) < m_n) {
                        Chains(v, uint32_t(e), c, a, l, s);
                        sum += a;
                    }
                }
                f.chance = sum / 16.0;
                // Three periods show a lone position of a common value
                // somewhere by chance; of a value that occurs once a
                // period, or in four periods, they do not.
                const bool once = double(m_occ.Count(v)) <= 1.25 * (double(m_n) / d + 1);
                f.exact = sum <= 1 && (f.chainLength >= 4 || once);
            }
        }
        // Otherwise a quick look over the first periods spares the full
        // count where the value does not recur, or recurs no more often
        // than a value this common does by chance.
        const size_t count = m_occ.Count(v);
        const uint32_t* p = m_occ.Begin(v);
        const size_t quickEnd = std::max<size_t>(p[std::min(count, kQuickPoints) - 1] + size_t(1),
                                                 size_t(p[0]) + 4 * size_t(d));
        const double share = double(count) / double(m_n);
        if (!f.exact && quickEnd >= Reach(v, d) && share * share * d >= 1)
            return f;  // recurs a period later by chance in every period
        if (!f.exact && quickEnd < Reach(v, d)) {
            uint32_t links, windows, covered;
            Count(v, d, quickEnd, links, windows, covered);
            const double chance = share * share * d * windows;
            if (windows == 0 || double(covered) < 0.4 * windows ||
                links <= chance + 3 * std::sqrt(chance))
                return f;
        }
        Count(v, d, Reach(v, d), f.links, f.windows, f.covered);
        const uint32_t windows = f.windows;
        if (windows == 0 || f.links == 0)
            return f;
        const uint32_t covered = f.covered;
        f.coverage = std::min(1.0, double(covered) / windows);
        f.perFrame = double(f.links) / windows;
        if (f.coverage < 0.5)
            return f;
        // A value this common recurs a period later by chance about once a
        // period: only clearly more than that says anything.
        const double lambda = share * share * d;
        if (!f.exact && lambda >= 0.5 && f.perFrame < lambda + 3 * std::sqrt(lambda) + 1)
            return f;
        f.sim = m_self.At(d);
        const double besideMad = std::min(m_self.At(d - 1).mad, m_self.At(d + 1).mad);
        f.simSpec = besideMad < 0.5 ? 0 : 1.0 - f.sim.mad / besideMad;
        // Recurring in two periods happens by chance somewhere among all
        // values and distances; in three, or in two for a value that occurs
        // (almost) nowhere else, it does not.
        const bool rare = count <= 2 * (f.links + 1);
        // A value recurring in only some periods is a header that loses
        // bytes when the stream is far more alike a period later than
        // anywhere: frames of a camera are alike.
        const bool regular =
            f.coverage >= kDominant || (m_typicalMad > 0 && f.sim.mad <= 0.6 * m_typicalMad);
        const bool regularEnough = d >= 2 && regular && (covered >= 3 || (covered == 2 && rare));
        const bool mayBeWeak = d >= 2 && windows == 1 && rare;
        if ((f.exact || !regularEnough) && !mayBeWeak) {
            f.eligible = f.exact;
            return f;
        }
        // Links a few bytes off d show how many fall at d by chance; the
        // first occurrences tell.
        const uint32_t sampled = Links(v, d, kLinkPoints);
        uint32_t beside = 0;
        double chance = 0;
        for (int k = -8; k <= 8; ++k) {
            if (k == 0)
                continue;
            const uint32_t l =
                int64_t(d) + k >= 1 ? Links(v, uint32_t(int64_t(d) + k), kLinkPoints) : 0;
            chance += l / 16.0;
            if (k == -1 || k == 1)
                beside = std::max(beside, l);
        }
        f.linkSpec = sampled == 0 ? 0 : 1.0 - double(beside) / sampled;
        const bool linksStandOut =
            f.linkSpec >= kLinkSpecific && sampled >= chance + 3 * std::sqrt(chance) + 2;
        f.eligible = f.exact || (regularEnough && (linksStandOut || f.simSpec >= 0.5));
        // Two frames give one link: believable only for a rare value.
        f.weak = mayBeWeak && f.linkSpec >= 0.5;
        return f;
    }

    // Share of value's occurrences, among those with room for a period
    // after them, that recur a period later.
    double Share(int v, uint32_t d) const {
        const uint32_t* p = m_occ.Begin(v);
        const size_t count = m_occ.Count(v);
        const size_t end = Reach(v, d);
        size_t room = 0, links = 0;
        for (size_t i = 0; i < count && size_t(p[i]) + d < end; ++i, ++room)
            links += m_b[p[i] + d] == v;
        return room == 0 ? 0 : double(links) / double(room);
    }

    // Whether (nearly) every occurrence of v that recurs `inner` later also
    // recurs `outer` later, while more recur `outer` later: the shorter
    // spacing is part of what the longer period repeats.
    bool Within(int v, uint32_t inner, uint32_t outer) const {
        const uint32_t* p = m_occ.Begin(v);
        const size_t count = m_occ.Count(v);
        const size_t far = std::max(inner, outer);
        const size_t end = Reach(v, far);
        size_t in = 0, both = 0, out = 0;
        for (size_t i = 0; i < count && size_t(p[i]) + far < end; ++i) {
            const bool a = m_b[p[i] + inner] == v;
            const bool b = m_b[p[i] + outer] == v;
            in += a;
            out += b;
            both += a && b;
        }
        return in > 0 && both >= 0.95 * in && out > both;
    }

private:
    // How far into the stream v's recurrence at d is counted: kFitPeriods
    // periods tell as much as the whole window, but no less than kFitBytes
    // (a patch of picture recurs for a few short periods).
    size_t Reach(int v, size_t d) const {
        const size_t from = m_occ.Count(v) > 0 ? m_occ.Begin(v)[0] : 0;
        return size_t(
            std::min<uint64_t>(m_n, from + std::max<uint64_t>(kFitPeriods * d, kFitBytes)));
    }

    // Whether the byte at q stands alone among v: its neighbours 1 and 3
    // bytes away (the next pixel in grayscale and in U,Y,V) differ from v.
    bool Alone(size_t q, int v) const {
        for (int64_t o : {-3, -1, 1, 3}) {
            const int64_t r = int64_t(q) + o;
            if (r >= 0 && size_t(r) < m_n && m_b[r] == v)
                return false;
        }
        return true;
    }

    const uint8_t* m_b;
    size_t m_n;
    const Occurrences& m_occ;
    SelfSimilarity m_self;
    std::unordered_map<uint64_t, uint32_t> m_links;
    double m_typicalMad = 0;
};

// Whether `large` is a multiple of `small`, or 2..4 times it give or take a
// few bytes: a frame period's echo (a picture that drifts by a pixel every
// other frame is alike two periods less one byte later).
bool NearMultiple(uint32_t small, uint32_t large) {
    if (large > small && large % small == 0)
        return true;  // exactly: a picture that repeats after many frames
    for (uint32_t k = 2; k <= 4; ++k) {
        const int64_t off = int64_t(large) - int64_t(k) * small;
        if (off >= -int64_t(k) && off <= int64_t(k))
            return true;
    }
    return false;
}

// The value's period among the distances it recurs at, narrowed down step by
// step: those it recurs at in most periods (a header that loses bytes now
// and then recurs in fewer periods than a cycle of several frames does); not
// the echoes of a period; of a stream that repeats exactly (a still
// picture), those at which it does; not those at which the stream is less alike
// than at the best (a spacing of header-valued pixels inside frames, a cycle
// of lost bytes); not those whose recurrences are all part of another's
// pattern; the fewest recurrences per period (a header among pixels of its
// value); the shortest.
PeriodFit ChoosePeriod(std::vector<PeriodFit> fits, const PeriodSearch& search) {
    auto keep = [&](auto pred) {
        fits.erase(
            std::remove_if(fits.begin(), fits.end(), [&](const PeriodFit& f) { return !pred(f); }),
            fits.end());
    };
    // A position that holds the value in every period is what a header is.
    if (std::any_of(fits.begin(), fits.end(), [](const PeriodFit& f) { return f.exact; }))
        keep([](const PeriodFit& f) { return f.exact; });
    double maxCoverage = 0, maxEqual = 0;
    for (const auto& f : fits)
        maxCoverage = std::max(maxCoverage, f.coverage);
    keep([&](const PeriodFit& f) { return f.coverage >= std::min(maxCoverage - 0.1, 0.7); });
    std::sort(fits.begin(), fits.end(),
              [](const PeriodFit& a, const PeriodFit& b) { return a.d < b.d; });
    std::vector<PeriodFit> bases;
    for (const auto& f : fits)
        if (std::none_of(bases.begin(), bases.end(),
                         [&](const PeriodFit& b) { return NearMultiple(b.d, f.d); }))
            bases.push_back(f);
    fits.swap(bases);
    for (const auto& f : fits)
        maxEqual = std::max(maxEqual, f.sim.equal);
    if (maxEqual >= 0.995)
        keep([&](const PeriodFit& f) { return f.sim.equal >= maxEqual - 0.001; });
    double minMad = 255;
    for (const auto& f : fits)
        minMad = std::min(minMad, f.sim.mad);
    keep([&](const PeriodFit& f) { return f.sim.mad <= 1.5 * minMad + 2; });
    // A distance whose recurrences all recur at the distance that explains
    // most of the value too, is part of that one's pattern: header-valued
    // pixels at a fixed spacing recur at many distances, the header with
    // them only at the frame period.
    if (fits.size() > 1) {
        const uint8_t v = fits.front().value;
        size_t top = 0;
        double topShare = -1;
        for (size_t i = 0; i < fits.size(); ++i) {
            const double share = search.Share(v, fits[i].d);
            if (share > topShare) {
                topShare = share;
                top = i;
            }
        }
        const uint32_t outer = fits[top].d;
        keep([&](const PeriodFit& f) { return f.d == outer || !search.Within(v, f.d, outer); });
    }
    double minPerFrame = 1e18;
    for (const auto& f : fits)
        minPerFrame = std::min(minPerFrame, f.perFrame);
    keep([&](const PeriodFit& f) { return f.perFrame <= minPerFrame + 0.25; });
    return fits.front();
}

// --- The frame's pixels -------------------------------------------------------

// Mean absolute difference between bytes `d` apart within each plane.
double PlaneMad(const std::vector<std::vector<uint8_t>>& planes, size_t d) {
    uint64_t sum = 0;
    uint64_t pairs = 0;
    for (const auto& p : planes) {
        if (p.size() <= d)
            continue;
        for (size_t i = 0; i + d < p.size(); ++i)
            sum += uint64_t(std::abs(int(p[i]) - int(p[i + d])));
        pairs += p.size() - d;
    }
    return pairs == 0 ? 0 : double(sum) / double(pairs);
}

// The score of `columns` over planes of rows × columns pixels.
double ColumnScore(const std::vector<std::vector<uint8_t>>& planes, uint32_t rows,
                   uint32_t columns) {
    if (rows < 2 || columns < 2 || planes.empty())
        return -1;
    const double below = PlaneMad(planes, columns);
    const double diagonal = std::min(PlaneMad(planes, columns - 1), PlaneMad(planes, columns + 1));
    uint64_t wrapSum = 0;
    uint64_t wraps = 0;
    for (const auto& p : planes)
        for (size_t r = 1; r < rows; ++r) {
            const size_t i = r * columns;
            wrapSum += uint64_t(std::abs(int(p[i - 1]) - int(p[i])));
            ++wraps;
        }
    const double wrap = wraps == 0 ? 0 : double(wrapSum) / double(wraps);
    const double against = std::max(diagonal, wrap);
    if (against < 0.5)
        return 1.0;  // a flat picture: nothing to tell columns by
    return std::min(9.99, below / against);
}

struct CommonSize {
    uint32_t rows, columns;
};
constexpr CommonSize kCommonSizes[] = {
    {60, 80},  {120, 160}, {240, 320}, {480, 640}, {144, 176}, {128, 128},
    {96, 128}, {72, 88},   {30, 40},   {64, 64},   {120, 188}, {60, 94},
};

bool IsCommon(uint32_t rows, uint32_t columns) {
    for (const auto& s : kCommonSizes)
        if (s.rows == rows && s.columns == columns)
            return true;
    return false;
}

constexpr uint32_t kStandardBauds[] = {1200,    2400,    4800,    9600,    14400,   19200,
                                       38400,   57600,   115200,  128000,  230400,  256000,
                                       460800,  500000,  576000,  921600,  1000000, 1152000,
                                       1500000, 2000000, 2500000, 3000000, 4000000};

// The smallest common baud rate that carries `bitsPerSecond` (with 3 % slack
// for the clocks), 0 above them all.
uint32_t StandardBaudFor(double bitsPerSecond) {
    for (uint32_t b : kStandardBauds)
        if (b >= bitsPerSecond * 0.97)
            return b;
    return 0;
}

const char* FormatName(bool colour) {
    return colour ? tx::Tr("CStreamDiagnosis", "彩色") : tx::Tr("CStreamDiagnosis", "黑白");
}

std::string SizeText(const CSizeCandidate& c) {
    return tx::Format(tx::Tr("CStreamDiagnosis", "%1 %2 行 × %3 列"), FormatName(c.colour), c.rows,
                      c.columns);
}

// Two sentences one after the other (in English with a space between).
std::string Sentences(const std::string& first, const std::string& second) {
    if (first.empty() || second.empty())
        return first + second;
    return tx::Format(tx::Tr("CStreamDiagnosis", "%1%2"), first, second);
}

std::string Join(const std::vector<std::string>& parts, const char* separator) {
    std::string out;
    for (size_t i = 0; i < parts.size(); ++i) {
        if (i > 0)
            out += separator;
        out += parts[i];
    }
    return out;
}

// --- The analysis, step by step ------------------------------------------------

class Analysis {
public:
    // Looks at b[0..n) of the `size` bytes received.
    Analysis(const uint8_t* b, size_t n, size_t size, const CDiagnosisContext& ctx,
             CDiagnosisReport& r)
        : m_b(b), m_n(n), m_size(size), m_ctx(ctx), m_r(r) {}

    void Run();

private:
    void Rate();
    void FindHeader(const Occurrences& occ, PeriodSearch& search);
    void CheckPage(PeriodSearch& search);
    void Window();
    void FrameStarts(const Occurrences& occ);
    void Garbage();
    void Frames();
    void DecideFormat();
    void Sizes();
    void Conclude();
    bool PageFitsFrame() const;
    void NoHeaderVerdict();

    const uint8_t* m_b;
    size_t m_n;
    size_t m_size;
    const CDiagnosisContext& m_ctx;
    CDiagnosisReport& m_r;

    std::vector<uint8_t> m_tiedValues;           // other values just as header-like
    std::vector<uint32_t> m_starts;              // frame starts (header positions)
    std::vector<std::vector<uint8_t>> m_frames;  // whole frames' pixel bytes
    bool m_garbageUnclear = false;
    uint32_t m_shortGaps = 0;
    bool m_sizeClear = false;
    size_t m_choice = 0;  // the candidate suggested: the best, or one tied with it
    std::string m_sizeDoubt;
    bool m_exact = false;        // the header is a lone position that recurs every period
    uint32_t m_headerStart = 0;  // that position
    uint32_t m_chainLength = 0;  // periods it recurs in
    uint32_t m_pagePeriod = 0;   // the page's period when the page fits the stream
    std::string m_windowDoubt;   // the window holds too few periods
};

void Analysis::Run() {
    Rate();
    if (m_n == 0) {
        m_r.verdict = CDiagnosisReport::Verdict::NoData;
        m_r.verdictText =
            tx::Tr("CStreamDiagnosis", "没有收到任何数据：检查接线、板子电源、串口号。");
        Conclude();
        return;
    }
    Occurrences occ(m_b, m_n);
    double entropy = 0;
    for (int v = 0; v < 256; ++v) {
        const double p = double(occ.Count(v)) / double(m_n);
        if (p > 0)
            entropy -= p * std::log2(p);
    }
    m_r.entropyBits = entropy;

    PeriodSearch search(m_b, m_n, occ);
    FindHeader(occ, search);
    CheckPage(search);
    if (!m_r.headerFound) {
        NoHeaderVerdict();
        Conclude();
        return;
    }
    FrameStarts(occ);
    Window();
    Garbage();
    m_r.frameSize = m_r.period - 1 - m_r.garbage;
    if (m_r.bytesPerSecond > 0)
        m_r.framesPerSecond = m_r.bytesPerSecond / m_r.period;
    Frames();
    DecideFormat();
    Sizes();
    Conclude();
}

void Analysis::Rate() {
    m_r.bytes = std::max<uint64_t>(m_ctx.bytesReceived, m_size);
    m_r.analysed = m_n;
    m_r.seconds = m_ctx.seconds;
    m_r.baud = m_ctx.baud;
    if (m_ctx.seconds > 0)
        m_r.bytesPerSecond = double(m_r.bytes) / m_ctx.seconds;
    if (m_ctx.baud > 0)
        m_r.capacity = m_ctx.baud / 10.0;
    if (m_r.capacity > 0 && m_r.bytesPerSecond > 0) {
        m_r.rateRatio = m_r.bytesPerSecond / m_r.capacity;
        m_r.fasterThanLine = m_r.rateRatio > 1.05;
        if (m_r.fasterThanLine)
            m_r.suggestBaud = StandardBaudFor(m_r.bytesPerSecond * 10);
    }
    m_r.countersKnown = m_ctx.countersKnown;
    m_r.framing = m_ctx.framing;
    m_r.parity = m_ctx.parity;
    m_r.overrun = m_ctx.overrun;
    m_r.breaks = m_ctx.breaks;
}

void Analysis::FindHeader(const Occurrences& occ, PeriodSearch& search) {
    // The page's frame, in either format, is worth a look for every value.
    std::vector<uint32_t> pageDistances;
    if (m_ctx.rows > 0 && m_ctx.columns > 0) {
        const uint64_t pixels = uint64_t(m_ctx.rows) * m_ctx.columns;
        for (uint64_t bytes : {pixels, 3 * pixels})
            if (bytes + 1 <= m_n / 2)
                pageDistances.push_back(uint32_t(bytes + 1));
    }

    double typicalMad = 0;
    const std::vector<uint32_t> alike = LikenessCandidates(m_b, m_n, typicalMad);
    search.SetTypicalMad(typicalMad);
    pageDistances.insert(pageDistances.end(), alike.begin(), alike.end());
    std::sort(pageDistances.begin(), pageDistances.end());
    pageDistances.erase(std::unique(pageDistances.begin(), pageDistances.end()),
                        pageDistances.end());
    // Which values recur at each of those in most of the first periods: only
    // they are worth a full count there.
    std::vector<std::vector<bool>> recurs;
    for (uint32_t d : pageDistances)
        recurs.push_back(RecurringValues(m_b, m_n, d, occ));

    std::vector<PeriodFit> best;  // each value's best eligible period
    std::vector<PeriodFit> weak;  // each value's best one-link period
    for (int v = 0; v < 256; ++v) {
        const size_t count = occ.Count(v);
        if (count < 2)
            continue;
        // A value that fills a quarter of the stream is mostly picture: its
        // own spacings are the picture's, so only the stream's likely
        // periods are tried for it (a saturated picture's header).
        const bool picture = count > m_n / 4 && v != m_ctx.header;
        std::vector<uint32_t> distances;
        if (!picture)
            distances = DistanceCandidates(occ.Begin(v), count, m_n);
        for (size_t i = 0; i < pageDistances.size(); ++i)
            if (recurs[i][size_t(v)])
                distances.push_back(pageDistances[i]);
        std::sort(distances.begin(), distances.end());
        distances.erase(std::unique(distances.begin(), distances.end()), distances.end());
        std::vector<PeriodFit> fits, weakFits;
        for (uint32_t d : distances) {
            const PeriodFit f = search.Fit(v, d);
            if (f.eligible && (f.exact || !picture))
                fits.push_back(f);
            else if (f.weak)
                weakFits.push_back(f);
        }
        if (!fits.empty())
            best.push_back(ChoosePeriod(fits, search));
        else if (!weakFits.empty())
            weak.push_back(ChoosePeriod(weakFits, search));
    }
    if (best.empty())
        best.swap(weak);
    if (best.empty())
        return;

    // Not the echo of another value's period, and not a distance at which
    // the stream is far less alike than at the best: frames of a camera are
    // alike from one to the next.
    {
        std::vector<PeriodFit> kept;
        double minMad = 255;
        for (const auto& f : best)
            if (std::none_of(best.begin(), best.end(), [&](const PeriodFit& o) {
                    return o.coverage >= kDominant && NearMultiple(o.d, f.d) &&
                           (o.exact || !f.exact);
                })) {
                kept.push_back(f);
                minMad = std::min(minMad, f.sim.mad);
            }
        best.clear();
        for (const auto& f : kept)
            if (f.sim.mad <= 1.5 * minMad + 6)
                best.push_back(f);
    }
    // The header recurs in (nearly) every period and is the rarest such
    // value: a picture's values that repeat from frame to frame occur many
    // times per frame. Values about as regular and as rare are just as
    // likely.
    // Coverage counts for more the more periods it is measured over: all of
    // two periods is weaker evidence than nine of eleven.
    auto evidence = [](const PeriodFit& f) { return double(f.covered) / (f.windows + 1); };
    double maxEvidence = 0;
    for (const auto& f : best)
        maxEvidence = std::max(maxEvidence, evidence(f));
    // A header is one byte: its value recurs exactly a period later, not a
    // byte before or after as a patch of picture in that value does.
    // A value that occurs once per period, at the header's place, and
    // nowhere else.
    auto Once = [](const PeriodFit& f) { return f.perFrame <= 1.25; };
    // One position that holds its value in every period outranks values that
    // are merely frequent.
    std::sort(best.begin(), best.end(), [&](const PeriodFit& a, const PeriodFit& b) {
        if (a.exact != b.exact)
            return a.exact;
        // Among lone positions: the value that occurs nowhere else, the
        // cleaner recurrence, then the distance at which the stream is most
        // alike (a frame period lines up the whole picture, a pixel's chance
        // recurrence a drifting part of it).
        if (a.exact && Once(a) != Once(b))
            return Once(a);
        if (a.exact && a.chance != b.chance)
            return a.chance < b.chance;
        if (a.exact && a.sim.mad != b.sim.mad)
            return a.sim.mad < b.sim.mad;
        if (a.exact && a.chainLength != b.chainLength)
            return a.chainLength > b.chainLength;
        // Without a lone position (bytes lost now and then): a value that
        // recurs once per period and only at the period.
        const bool ha = Once(a) && a.linkSpec >= kLinkSpecific;
        const bool hb = Once(b) && b.linkSpec >= kLinkSpecific;
        if (ha != hb)
            return ha;
        const bool ta = evidence(a) >= maxEvidence - 0.1, tb = evidence(b) >= maxEvidence - 0.1;
        if (ta != tb)
            return ta;
        const bool pa = a.linkSpec >= kLinkSpecific, pb = b.linkSpec >= kLinkSpecific;
        if (pa != pb)
            return pa;
        if (a.perFrame != b.perFrame)
            return a.perFrame < b.perFrame;
        return a.sim.mad < b.sim.mad;
    });
    const PeriodFit& first = best.front();
    std::vector<size_t> tied;
    for (size_t i = 0; i < best.size(); ++i) {
        const PeriodFit& f = best[i];
        // Another lone position just as regular and as clean, where the
        // stream is about as alike: just as likely a header.
        if (first.exact) {
            if (f.exact && Once(f) == Once(first) && f.chance <= first.chance &&
                (f.d == first.d || f.sim.mad <= 1.05 * first.sim.mad + 0.05))
                tied.push_back(i);
            continue;
        }
        if ((f.linkSpec >= kLinkSpecific) == (first.linkSpec >= kLinkSpecific) &&
            f.perFrame <= 1.5 * first.perFrame + 0.25 && evidence(f) >= evidence(first) - 0.1 &&
            f.covered >= 0.8 * first.covered)
            tied.push_back(i);
    }
    size_t chosen = tied.front();
    for (int preferred : {m_ctx.header, 255})
        if (preferred >= 0) {
            auto it = std::find_if(tied.begin(), tied.end(),
                                   [&](size_t i) { return best[i].value == preferred; });
            if (it != tied.end()) {
                chosen = *it;
                break;
            }
        }
    const PeriodFit& h = best[chosen];
    m_r.headerFound = true;
    m_r.header = h.value;
    m_r.period = h.d;
    m_r.coverage = h.coverage;
    m_r.headerAmbiguous = tied.size() > 1;
    for (size_t i : tied)
        if (i != chosen)
            m_tiedValues.push_back(best[i].value);
    for (size_t i = 0; i < best.size() && m_r.otherPeriodic.size() < 5; ++i)
        if (i != chosen)
            m_r.otherPeriodic.push_back(
                CPeriodicValue{best[i].value, best[i].d, best[i].coverage, best[i].perFrame});
    const size_t valued = occ.Count(h.value);
    m_r.headerValueShare = double(valued) / double(m_n);
    const double perPeriod = double(valued) * h.d / double(m_n) - std::min(1.0, h.coverage);
    m_r.headerValuedPixels = perPeriod >= 0.5 ? uint32_t(std::lround(perPeriod)) : 0;
    m_exact = h.exact;
    m_headerStart = h.chainStart;
    m_chainLength = h.chainLength;
    // When the header's value is common in the picture, another value held
    // at one or two positions in every period is a header just as well (its
    // neighbours may match it now and then, as a header's do); more
    // positions are a still patch of picture.
    if (h.exact && h.perFrame > 1.25)
        for (int v = 0; v < 256; ++v) {
            if (v == h.value || occ.Count(v) < 2)
                continue;
            uint32_t chains, alone, length, start;
            search.Chains(v, h.d, chains, alone, length, start);
            if (chains >= 1 && chains <= 2 &&
                std::find(m_tiedValues.begin(), m_tiedValues.end(), v) == m_tiedValues.end()) {
                m_tiedValues.push_back(uint8_t(v));
                m_r.headerAmbiguous = true;
            }
        }
}

// The page's header and frame fit the stream when its header holds its value
// a page frame apart through the whole window. Unless the stream reads
// otherwise with at least as much evidence, the page's reading stands.
void Analysis::CheckPage(PeriodSearch& search) {
    if (m_ctx.header < 0 || m_ctx.header > 255 || m_ctx.rows == 0 || m_ctx.columns == 0)
        return;
    for (int colour : {0, 1}) {
        if (m_ctx.colour >= 0 && m_ctx.colour != colour)
            continue;
        const uint64_t P = uint64_t(m_ctx.rows) * m_ctx.columns * (colour ? 3 : 1) + 1;
        if (P >= m_n)
            continue;
        uint32_t chains, alone, length, start;
        search.Chains(m_ctx.header, uint32_t(P), chains, alone, length, start);
        if (chains == 0)
            continue;
        m_pagePeriod = uint32_t(P);
        break;
    }
    if (m_pagePeriod == 0 || !m_r.headerFound)
        return;
    if (m_r.header == m_ctx.header && m_r.period == m_pagePeriod) {
        // Other values that recur once a period as well (a picture that
        // does not change) do not outweigh the page's header when it holds
        // its value through the whole window and nowhere else.
        if (m_r.headerAmbiguous && m_exact && m_r.headerValuedPixels == 0 &&
            m_chainLength + 1 >= m_n / m_pagePeriod) {
            std::vector<std::string> values;
            for (size_t i = 0; i < m_tiedValues.size() && i < 8; ++i)
                values.push_back(Format("%u", m_tiedValues[i]));
            m_r.notes.push_back(
                tx::Format(tx::Tr("CStreamDiagnosis",
                                  "别的字节值（%1）也每帧重复一次，页面的数据头也是，就按页面的"),
                           Join(values, tx::Tr("CStreamDiagnosis", "、"))));
            m_r.headerAmbiguous = false;
            m_tiedValues.clear();
        }
        return;
    }
    // The stream's own reading wins with a lone position that holds its
    // value in enough periods at another period; otherwise the page's.
    if (m_exact && m_chainLength > kWholeFrames && !m_r.headerAmbiguous &&
        m_r.period != m_pagePeriod)
        return;
    const PeriodFit page = search.Fit(m_ctx.header, m_pagePeriod);
    m_r.notes.push_back(tx::Format(
        tx::Tr("CStreamDiagnosis", "数据也可以读成数据头 %1、周期 %2 字节，但证据不比页面的设置强"),
        m_r.header, m_r.period));
    m_r.header = uint8_t(m_ctx.header);
    m_r.period = m_pagePeriod;
    m_r.coverage = page.coverage;
    m_r.headerAmbiguous = false;
    m_tiedValues.clear();
    m_exact = page.exact;
    m_headerStart = page.exact ? page.chainStart : 0;
    m_chainLength = page.chainLength;
    const size_t valued = std::count(m_b, m_b + m_n, uint8_t(m_ctx.header));
    m_r.headerValueShare = double(valued) / double(m_n);
    const double perPeriod = double(valued) * m_pagePeriod / double(m_n) - 1;
    m_r.headerValuedPixels = perPeriod >= 0.5 ? uint32_t(std::lround(perPeriod)) : 0;
}

// Frame starts: header bytes one period apart, and after a break (lost
// bytes, garbage of another length) the next header byte that recurs a
// period before or after.
void Analysis::FrameStarts(const Occurrences& occ) {
    const uint8_t v = m_r.header;
    const uint32_t P = m_r.period;
    const uint32_t* pos = occ.Begin(v);
    const size_t count = occ.Count(v);
    auto linked = [&](size_t p) {
        return (p + P < m_n && m_b[p + P] == v) || (p >= P && m_b[p - P] == v);
    };
    size_t i = 0;
    if (m_exact)  // the lone position, not a patch of pixels in the header's value
        i = size_t(std::lower_bound(pos, pos + count, m_headerStart) - pos);
    while (i < count && !linked(pos[i]))
        ++i;
    if (i == count)
        return;
    size_t p = pos[i];
    for (;;) {
        m_starts.push_back(uint32_t(p));
        if (p + P >= m_n)
            break;
        if (m_b[p + P] == v) {
            p += P;
            continue;
        }
        const uint32_t from = uint32_t(p + std::max<uint32_t>(1, P / 3));
        const uint32_t* q = std::lower_bound(pos, pos + count, from);
        while (q != pos + count && !linked(*q))
            ++q;
        if (q == pos + count)
            break;
        p = *q;
    }
    for (uint32_t s : m_starts)
        m_r.frames += s + uint64_t(P) <= m_n;
    for (size_t k = 1; k < m_starts.size(); ++k) {
        const uint32_t gap = m_starts[k] - m_starts[k - 1];
        ++m_r.gaps;
        m_r.gapsAtPeriod += gap == P;
        m_shortGaps += gap < P;
    }
}

// Whether the window holds enough whole frames of the largest frame the
// stream may carry (the period found, or the page's when it fits), and how
// many more bytes would do: also when pixel values recur in every period as
// the header does, which fewer of them do the more periods there are.
void Analysis::Window() {
    const uint32_t P = std::max(m_r.period, m_pagePeriod);
    const bool own = P == m_r.period && !m_starts.empty();
    const uint64_t first = own ? m_starts.front() : P - 1;
    const uint32_t whole = own ? m_r.frames : uint32_t(m_n / P > 0 ? m_n / P - 1 : 0);
    uint64_t needed = first + uint64_t(kWholeFrames) * P;
    if ((m_r.headerAmbiguous || !m_exact) && m_chainLength < 2 * kWholeFrames)
        needed = std::max(needed, first + uint64_t(2 * kWholeFrames) * P);
    // Pixel values that recur in every period as the header does become
    // fewer the more periods there are.
    if (m_r.headerAmbiguous)
        needed = std::max(needed, first + uint64_t(2 * std::max(whole, kWholeFrames)) * P);
    if (needed <= m_n)
        return;
    const bool helps = needed <= kMaxBytes && m_size < kMaxBytes;
    if (helps)
        m_r.moreBytesNeeded = needed - m_n;
    if (whole >= kWholeFrames)
        return;
    m_windowDoubt = tx::Format(tx::Tr("CStreamDiagnosis", "只看到 %1 个完整的帧（至少要 %2 个）"),
                               whole, kWholeFrames);
    if (helps)
        m_windowDoubt +=
            tx::Format(tx::Tr("CStreamDiagnosis", "：一帧可能有 %1 字节，再收约 %2 字节就够了"), P,
                       (unsigned long long)m_r.moreBytesNeeded);
    else
        m_windowDoubt += tx::Format(
            tx::Tr("CStreamDiagnosis", "：一帧可能有 %1 字节，分析的 %2 字节里容不下 %3 帧"), P,
            kMaxBytes, kWholeFrames);
}

// Bytes between a frame's end and the next header: the last bytes of the
// period that differ at random from frame to frame while the picture before
// them stays alike.
void Analysis::Garbage() {
    const uint32_t P = m_r.period;
    std::vector<uint32_t> whole;  // starts of periods followed by a header a period later
    for (size_t k = 0; k + 1 < m_starts.size() && whole.size() < 8; ++k)
        if (m_starts[k + 1] - m_starts[k] == P && m_starts[k + 1] + uint64_t(P) <= m_n)
            whole.push_back(m_starts[k]);
    if (!m_starts.empty() && whole.size() < 8 && m_starts.back() + uint64_t(P) <= m_n)
        whole.push_back(m_starts.back());
    if (whole.size() < 3 || P < 4)
        return;
    // The median change over all pairs of frames: a picture value that
    // wraps from 255 to 0 between two frames changes a lot in some pairs
    // only, random bytes in most.
    std::vector<double> change(P, 0);
    std::vector<int> diffs;
    for (uint32_t k = 1; k < P; ++k) {
        diffs.clear();
        for (size_t a = 0; a < whole.size(); ++a)
            for (size_t b = a + 1; b < whole.size(); ++b)
                diffs.push_back(std::abs(int(m_b[whole[a] + k]) - int(m_b[whole[b] + k])));
        std::nth_element(diffs.begin(), diffs.begin() + diffs.size() / 2, diffs.end());
        change[k] = diffs[diffs.size() / 2];
    }
    // The tail that changes most: the suffix with the largest sum of
    // (change - 45); random bytes change by 85 on average.
    double sum = 0, bestSum = 0;
    uint32_t bestStart = P;
    for (uint32_t k = P - 1; k >= 1; --k) {
        sum += change[k] - 45;
        if (sum > bestSum) {
            bestSum = sum;
            bestStart = k;
        }
    }
    if (bestStart == P)
        return;
    const uint32_t tail = P - bestStart;
    double tailMean = 0, headMean = 0;
    for (uint32_t k = bestStart; k < P; ++k)
        tailMean += change[k];
    tailMean /= tail;
    for (uint32_t k = 1; k < bestStart; ++k)
        headMean += change[k];
    headMean /= std::max<uint32_t>(1, bestStart - 1);
    if (tailMean >= 60 && headMean <= 25 && tail <= (P - 1) / 2)
        m_r.garbage = tail;
    else if (tailMean >= 60 && tail >= 2)
        m_garbageUnclear = true;
}

void Analysis::Frames() {
    const uint32_t F = m_r.frameSize;
    if (F == 0)
        return;
    size_t total = 0;
    for (size_t k = 0; k < m_starts.size() && m_frames.size() < 64; ++k) {
        const uint32_t s = m_starts[k];
        if (s + 1 + uint64_t(F) > m_n)
            break;
        // A frame cut short by lost bytes would mix two frames.
        if (k + 1 < m_starts.size() && m_starts[k + 1] - s < m_r.period)
            continue;
        m_frames.emplace_back(m_b + s + 1, m_b + s + 1 + F);
        total += F;
        if (total >= kFrameBytes)
            break;
    }
}

void Analysis::DecideFormat() {
    const uint32_t F = m_r.frameSize;
    const uint64_t gray = F;
    const uint64_t colour = F % 3 == 0 ? F / 3 : 0;
    auto fits = [](uint64_t pixels) {
        for (uint64_t c = 1; c <= kMaxSide && c <= pixels; ++c)
            if (pixels % c == 0 && pixels / c <= kMaxSide)
                return true;
        return false;
    };
    m_r.fitsGray = F > 0 && fits(gray);
    m_r.fitsColour = colour > 0 && fits(colour);
    if (!m_r.fitsColour) {
        m_r.format = 0;
        return;
    }
    if (!m_r.fitsGray) {
        m_r.format = 1;
        return;
    }
    // U,Y,V triplets: a byte is like the one three later (the same
    // channel), not like its neighbours. Grayscale: the nearer the likelier.
    const double m1 = PlaneMad(m_frames, 1);
    const double m2 = PlaneMad(m_frames, 2);
    const double m3 = PlaneMad(m_frames, 3);
    const double nearest = std::min(m1, m2);
    if (m_frames.empty() || nearest < 0.05)
        return;  // flat: cannot tell
    m_r.channelRatio = m3 / nearest;
    if (m_r.channelRatio <= 0.6)
        m_r.format = 1;
    else if (m_r.channelRatio >= 0.85)
        m_r.format = 0;
}

void Analysis::Sizes() {
    const uint32_t F = m_r.frameSize;
    std::vector<bool> formats;
    if (m_r.fitsGray && m_r.format != 1)
        formats.push_back(false);
    if (m_r.fitsColour && m_r.format != 0)
        formats.push_back(true);
    for (bool colour : formats) {
        const uint32_t pixels = colour ? F / 3 : F;
        // The picture's plane: the bytes, or each triplet's Y.
        std::vector<std::vector<uint8_t>> planes;
        size_t total = 0;
        for (const auto& frame : m_frames) {
            if (total >= kPlaneBytes)
                break;
            if (!colour) {
                planes.push_back(frame);
            } else {
                std::vector<uint8_t> y(pixels);
                for (uint32_t j = 0; j < pixels; ++j)
                    y[j] = frame[3 * j + 1];
                planes.push_back(std::move(y));
            }
            total += pixels;
        }
        for (uint32_t c = 1; c <= kMaxSide && c <= pixels; ++c) {
            if (pixels % c != 0 || pixels / c > kMaxSide)
                continue;
            CSizeCandidate s;
            s.rows = pixels / c;
            s.columns = c;
            s.colour = colour;
            s.common = IsCommon(s.rows, s.columns);
            s.score = ColumnScore(planes, s.rows, s.columns);
            m_r.candidates.push_back(s);
        }
    }

    // Lowest score first (sizes that cannot be scored last). Scores within
    // 5 % (or 0.02) of the best are a tie, and the reading chosen among them
    // is the page's size, a common size, then the shape nearest 3 : 4.
    auto& list = m_r.candidates;
    auto tieRank = [&](const CSizeCandidate& s) {
        const bool page = s.rows == m_ctx.rows && s.columns == m_ctx.columns &&
                          (m_ctx.colour < 0 || (m_ctx.colour == 1) == s.colour);
        const double shape = std::fabs(std::log(double(s.columns) / s.rows) - std::log(4.0 / 3.0));
        return std::make_tuple(!page, !s.common, shape);
    };
    std::stable_sort(list.begin(), list.end(),
                     [&](const CSizeCandidate& a, const CSizeCandidate& b) {
                         if ((a.score < 0) != (b.score < 0))
                             return b.score < 0;
                         if (a.score != b.score)
                             return a.score < b.score;
                         return tieRank(a) < tieRank(b);
                     });
    if (list.empty()) {
        m_sizeDoubt = tx::Format(
            tx::Tr("CStreamDiagnosis", "帧大小 %1 字节分不成 1～9999 行 × 1～9999 列"), F);
        return;
    }
    const CSizeCandidate& b = list.front();
    const double limit = b.score < 0 ? -1 : b.score + std::max(0.02, 0.05 * b.score);
    for (size_t i = 1; i < list.size(); ++i) {
        const bool tie =
            b.score < 0 ? list[i].score < 0 : list[i].score >= 0 && list[i].score <= limit;
        if (tie && tieRank(list[i]) < tieRank(list[m_choice]))
            m_choice = i;
    }
    if (b.score < 0) {
        m_sizeDoubt = tx::Tr("CStreamDiagnosis", "从图像看不出列数（只有一行或一列）");
        return;
    }
    if (b.score > kSmooth) {
        m_sizeDoubt =
            tx::Format(tx::Tr("CStreamDiagnosis",
                              "没有哪个列数让相邻两行明显相像（最好的 %1 分数 %2，高于 %3）"),
                       SizeText(b).c_str(), tx::Fixed(b.score, 3), tx::Fixed(kSmooth, 1));
        return;
    }
    // A camera's picture is not many times wider than high or the other way
    // round; a picture that repeats every few rows reads smoothest that way.
    if (std::max(b.rows, b.columns) > 8 * std::min(b.rows, b.columns)) {
        m_sizeDoubt = tx::Format(
            tx::Tr("CStreamDiagnosis", "最平滑的 %1 形状不像摄像头的图像（图像可能每隔几行重复）"),
            SizeText(b).c_str());
        return;
    }
    // The first other size that reads about as smooth as c, with the reason;
    // with `rowsAlike`, c's multiples are left out.
    auto rival = [&](const CSizeCandidate& c, bool rowsAlike) -> std::string {
        for (const CSizeCandidate& o : list) {
            if (o.score < 0 || &o == &c)
                continue;
            // Columns that divide or are divided by c's: a multiple compares
            // rows further apart and must be clearly worse; a divisor that is
            // good on its own means the picture repeats every few rows. Any
            // other size must score clearly worse.
            const bool multiple = o.colour == c.colour && o.columns % c.columns == 0;
            const bool divisor = o.colour == c.colour && c.columns % o.columns == 0;
            if (multiple && rowsAlike)
                continue;
            const char* why = nullptr;
            if (multiple ? o.score < 1.15 * c.score + 0.002 : !divisor && o.score - c.score < 0.02)
                why = tx::Tr("CStreamDiagnosis", "%1（%2）和 %3（%4）的图像一样平滑");
            else if (divisor && o.score <= 0.3)
                why =
                    tx::Tr("CStreamDiagnosis", "%1（%2）和 %3（%4）都很平滑：图像可能每隔几行重复");
            else if (!multiple && c.score > kClearWin * o.score)
                why = tx::Tr("CStreamDiagnosis", "%1（%2）并不比 %3（%4）明显平滑");
            if (why != nullptr)
                return tx::Format(why, SizeText(c), tx::Fixed(c.score, 3), SizeText(o),
                                  tx::Fixed(o.score, 3));
        }
        return {};
    };
    m_sizeDoubt = rival(b, false);
    if (m_sizeDoubt.empty()) {
        m_sizeClear = true;
        return;
    }
    // Every row alike (a test pattern of vertical bars): every multiple of
    // the row's columns reads as smooth. The page's size settles it when its
    // header and frame fit the stream, it is the smallest of them, and no
    // other size reads as smooth.
    if (!PageFitsFrame())
        return;
    for (size_t i = 0; i < list.size(); ++i) {
        const CSizeCandidate& p = list[i];
        const bool page = p.rows == m_ctx.rows && p.columns == m_ctx.columns &&
                          (m_ctx.colour < 0 || (m_ctx.colour == 1) == p.colour);
        if (!page || p.score < 0 || p.score > kSmooth || p.colour != b.colour ||
            b.columns % p.columns != 0 || p.score >= 1.15 * b.score + 0.002 ||
            !rival(p, true).empty())
            continue;
        m_choice = i;
        m_sizeClear = true;
        m_r.notes.push_back(tx::Format(
            tx::Tr("CStreamDiagnosis",
                   "每一行都相同：列数是 %1 的倍数时图像一样平滑；页面的 %2 与数据相符，就按它"),
            p.columns, SizeText(p).c_str()));
        return;
    }
}

// Whether the page's header and frame size are the stream's.
bool Analysis::PageFitsFrame() const {
    if (!m_r.headerFound || m_ctx.header != m_r.header || m_ctx.rows == 0 || m_ctx.columns == 0)
        return false;
    const uint64_t pixels = uint64_t(m_ctx.rows) * m_ctx.columns;
    return (m_ctx.colour != 1 && pixels == m_r.frameSize) ||
           (m_ctx.colour != 0 && 3 * pixels == m_r.frameSize);
}

void Analysis::NoHeaderVerdict() {
    m_r.verdict = CDiagnosisReport::Verdict::NoHeader;
    std::vector<std::string> causes;
    if (m_ctx.countersKnown && m_ctx.framing + m_ctx.parity > 0)
        causes.push_back(tx::Format(
            tx::Tr("CStreamDiagnosis", "串口报告了 %1 次帧错误、%2 次校验错误：波特率很可能不对"),
            (unsigned long long)m_ctx.framing, (unsigned long long)m_ctx.parity));
    if (m_r.entropyBits >= 7.5)
        causes.push_back(
            tx::Tr("CStreamDiagnosis",
                   "字节值几乎均匀分布、看不出结构：多半是波特率不对，改成板子程序里的波特率再试"));
    uint64_t expected = 0;
    if (m_ctx.rows > 0 && m_ctx.columns > 0)
        expected = uint64_t(m_ctx.rows) * m_ctx.columns * (m_ctx.colour == 1 ? 3 : 1) + 1;
    if (expected > 0 && 3 * expected > m_n)
        causes.push_back(
            tx::Format(tx::Tr("CStreamDiagnosis",
                              "按页面的行列一帧有 %1 字节，收到的 %2 字节不到三帧：延长采集时间"),
                       (unsigned long long)expected, m_n));
    else if (m_n < 64)
        causes.push_back(
            tx::Format(tx::Tr("CStreamDiagnosis", "只收到 %1 字节，太少了：延长采集时间"), m_n));
    causes.push_back(
        tx::Tr("CStreamDiagnosis", "检查数据头的值，以及板子是否按“数据头 + 像素”的格式连续发送"));
    m_r.verdictText =
        tx::Format(tx::Tr("CStreamDiagnosis", "数据中找不到周期性的数据头。可能的原因：%1。"),
                   Join(causes, tx::Tr("CStreamDiagnosis", "；")));
}

void Analysis::Conclude() {
    CDiagnosisReport& r = m_r;
    std::vector<std::string>& notes = r.notes;
    std::string baudText;
    if (r.fasterThanLine) {
        baudText = tx::Format(tx::Tr("CStreamDiagnosis",
                                     "波特率不对：所选的 %1 波特每秒最多传 %2 字节，实际收到 %3 "
                                     "字节/秒（%4 倍）。板子用的波特率更高"),
                              r.baud, tx::Fixed(r.capacity, 0), tx::Fixed(r.bytesPerSecond, 0),
                              tx::Fixed(r.rateRatio, 1));
        if (r.suggestBaud > 0)
            baudText += tx::Format(tx::Tr("CStreamDiagnosis", "（至少 %1）"), r.suggestBaud);
        baudText += tx::Tr("CStreamDiagnosis", "；如果这是 USB 虚拟串口或伪终端，波特率不起作用。");
    } else if (r.rateRatio > 0 && r.rateRatio < 0.5 && r.headerFound) {
        notes.push_back(
            tx::Format(tx::Tr("CStreamDiagnosis",
                              "板子比线路慢：只用了线路容量的 %1%，帧之间有空闲，这没有问题"),
                       tx::Fixed(r.rateRatio * 100, 0)));
    }
    if (r.countersKnown) {
        if (r.framing + r.parity > 0)
            notes.push_back(
                tx::Format(tx::Tr("CStreamDiagnosis",
                                  "串口报告了 %1 次帧错误、%2 次校验错误：波特率很可能与板子不符"),
                           (unsigned long long)r.framing, (unsigned long long)r.parity));
        if (r.overrun > 0)
            notes.push_back(tx::Format(
                tx::Tr("CStreamDiagnosis", "串口报告了 %1 次溢出：主机没有及时读取，丢了数据"),
                (unsigned long long)r.overrun));
        if (r.breaks > 0)
            notes.push_back(
                tx::Format(tx::Tr("CStreamDiagnosis",
                                  "线路上出现了 %1 次 break（断线、板子复位或波特率相差很大）"),
                           (unsigned long long)r.breaks));
    }
    if (!r.headerFound) {
        r.verdictText = Sentences(baudText, r.verdictText);
        return;
    }

    if (r.headerValueShare >= kCommonHeader)
        notes.push_back(
            tx::Format(tx::Tr("CStreamDiagnosis",
                              "数据头的值 %1 在数据里很常见：占全部字节的 %2%，每帧约 %3 "
                              "个像素也是这个值（图像饱和或有大片同值区域）；%4"),
                       r.header, tx::Fixed(r.headerValueShare * 100, 0), r.headerValuedPixels,
                       m_exact ? tx::Tr("CStreamDiagnosis",
                                        "周期是从每帧恰好出现一次、与相邻像素不同的那个位置找到的")
                               : tx::Tr("CStreamDiagnosis", "帧的位置可能不准")));
    else if (r.headerValuedPixels > 0)
        notes.push_back(
            tx::Format(tx::Tr("CStreamDiagnosis",
                              "每帧里还有约 %1 个字节等于数据头的值（像素值与数据头相同）"),
                       r.headerValuedPixels));
    if (r.garbage > 0)
        notes.push_back(
            tx::Format(tx::Tr("CStreamDiagnosis",
                              "每帧之后、下一个数据头之前有 %1 个不属于图像的字节；TavixTool "
                              "会把这样的帧记为可疑并重新寻找数据头"),
                       r.garbage));
    if (m_shortGaps > 0)
        notes.push_back(
            tx::Format(tx::Tr("CStreamDiagnosis", "%1 帧比周期短：线路上丢了字节"), m_shortGaps));

    std::vector<std::string>& doubts = r.doubts;
    if (!m_windowDoubt.empty())
        doubts.push_back(m_windowDoubt);
    if (r.gaps > 0 && double(r.gapsAtPeriod) < kDominant * r.gaps)
        doubts.push_back(
            tx::Format(tx::Tr("CStreamDiagnosis", "帧间距离不固定：%1 个中只有 %2 个等于 %3 字节"),
                       r.gaps, r.gapsAtPeriod, r.period));
    else if (r.coverage < kDominant)
        doubts.push_back(tx::Format(tx::Tr("CStreamDiagnosis", "数据头只在 %1% 的周期里重复出现"),
                                    tx::Fixed(r.coverage * 100, 0)));
    if (r.headerAmbiguous) {
        std::vector<std::string> values;
        for (size_t i = 0; i < m_tiedValues.size() && i < 8; ++i)
            values.push_back(Format("%u", m_tiedValues[i]));
        doubts.push_back(
            tx::Format(tx::Tr("CStreamDiagnosis", "别的字节值（%1）也像数据头一样每帧重复"),
                       Join(values, tx::Tr("CStreamDiagnosis", "、"))));
    }
    if (m_garbageUnclear)
        doubts.push_back(tx::Tr("CStreamDiagnosis",
                                "每个周期末尾的字节每帧都不同，分不清是图像还是帧间的多余字节"));
    if (r.fitsGray && r.fitsColour && r.format < 0)
        doubts.push_back(tx::Tr("CStreamDiagnosis", "看不出是黑白还是彩色"));
    if (!m_sizeClear && !m_sizeDoubt.empty())
        doubts.push_back(m_sizeDoubt);

    r.confident = doubts.empty();
    if (r.confident)
        r.moreBytesNeeded = 0;
    r.suggestHeader = r.header;
    if (!r.candidates.empty()) {
        const CSizeCandidate& c = r.candidates[m_choice];
        r.suggestRows = c.rows;
        r.suggestColumns = c.columns;
        r.suggestColour = c.colour;
    }
    // Without certainty, the page's settings stand where the stream fits them.
    if (!r.confident && PageFitsFrame()) {
        r.suggestRows = m_ctx.rows;
        r.suggestColumns = m_ctx.columns;
        r.suggestColour = uint64_t(m_ctx.rows) * m_ctx.columns != r.frameSize;
    }
    r.verdict =
        r.confident ? CDiagnosisReport::Verdict::Confident : CDiagnosisReport::Verdict::Ambiguous;

    std::string text = baudText;
    if (r.confident) {
        text = Sentences(
            text, tx::Format(tx::Tr("CStreamDiagnosis", "确定：数据头 %1，每帧 %2 字节，%3。"),
                             r.header, r.frameSize, SizeText(r.candidates[m_choice]).c_str()));
        std::vector<std::string> changes;
        if (m_ctx.header >= 0 && m_ctx.header != r.header)
            changes.push_back(
                tx::Format(tx::Tr("CStreamDiagnosis", "数据头 %1 → %2"), m_ctx.header, r.header));
        if (m_ctx.colour >= 0 && (m_ctx.colour == 1) != r.suggestColour)
            changes.push_back(tx::Format(tx::Tr("CStreamDiagnosis", "%1页面 → %2页面"),
                                         FormatName(m_ctx.colour == 1),
                                         FormatName(r.suggestColour)));
        if (m_ctx.rows > 0 && m_ctx.rows != r.suggestRows)
            changes.push_back(
                tx::Format(tx::Tr("CStreamDiagnosis", "行数 %1 → %2"), m_ctx.rows, r.suggestRows));
        if (m_ctx.columns > 0 && m_ctx.columns != r.suggestColumns)
            changes.push_back(tx::Format(tx::Tr("CStreamDiagnosis", "列数 %1 → %2"), m_ctx.columns,
                                         r.suggestColumns));
        if (!changes.empty())
            text = Sentences(
                text, tx::Format(tx::Tr("CStreamDiagnosis", "页面上的设置与数据不符，请改：%1。"),
                                 Join(changes, tx::Tr("CStreamDiagnosis", "，"))));
    } else {
        text = Sentences(text, tx::Format(tx::Tr("CStreamDiagnosis", "不能确定：%1。"),
                                          Join(doubts, tx::Tr("CStreamDiagnosis", "；"))));
        std::vector<std::string> options;
        for (size_t i = 0; i < r.candidates.size() && options.size() < 6; ++i)
            options.push_back(SizeText(r.candidates[i]));
        if (!options.empty())
            text = Sentences(
                text,
                tx::Format(tx::Tr("CStreamDiagnosis", "数据头 %1，每帧 %2 字节；可能是：%3。"),
                           r.header, r.frameSize, Join(options, tx::Tr("CStreamDiagnosis", "、"))));
    }
    r.verdictText = text;
}

}  // namespace

namespace {

std::string PresetName(const std::string& id) {
    const stream::CStreamPreset* preset = stream::FindPreset(id);
    return preset != nullptr ? stream::PresetLabel(*preset) : stream::CustomLabel();
}

// The header-byte analysis's answer as a format reading (for the simulator's
// options).
stream::FormatReading HeaderReading(const CDiagnosisReport& r) {
    stream::FormatReading reading;
    reading.presetId = "design";
    if (const stream::CStreamPreset* preset = stream::FindPreset("design"))
        reading.format = preset->format;
    reading.encoding = r.suggestColour ? stream::Encoding::Uyv : stream::Encoding::Gray8;
    reading.rows = r.suggestRows;
    reading.columns = r.suggestColumns;
    reading.headerByte = r.suggestHeader;
    return reading;
}

// Joins the format recognition to the header-byte analysis. A format other
// than the header byte read confidently is the answer; otherwise the header
// analysis stands, and a format it could be is named among the doubts.
void JoinRecognition(CDiagnosisReport& r) {
    const stream::FormatRecognition& g = r.recognition;
    const stream::FormatReading* best = g.readings.empty() ? nullptr : &g.readings.front();
    const bool otherFraming =
        best != nullptr && best->format.framing != stream::Framing::HeaderByte;
    if (g.verdict == stream::FormatRecognition::Verdict::Confident && otherFraming) {
        r.formatFound = true;
        r.confident = true;
        r.verdict = CDiagnosisReport::Verdict::Confident;
        r.doubts.clear();
        r.moreBytesNeeded = 0;
        r.suggestFormat = best->format;
        r.suggestFormat.encoding = best->encoding;
        r.suggestPreset = best->presetId;
        r.suggestPresetName = PresetName(best->presetId);
        r.suggestRows = best->rows;
        r.suggestColumns = best->columns;
        r.suggestColour = !stream::Info(best->encoding).gray;
        r.suggestGeometryFromWire = best->geometryFromWire;
        r.verdictText = tx::Format(tx::Tr("CStreamDiagnosis", "确定：%1"), g.verdictText);
        r.camsimCommand = stream::CamsimCommandLine(*best);
        return;
    }
    if (r.headerFound) {
        r.suggestPreset = "design";
        r.suggestPresetName = PresetName("design");
        if (const stream::CStreamPreset* preset = stream::FindPreset("design"))
            r.suggestFormat = preset->format;
        if (r.suggestRows > 0)
            r.camsimCommand = stream::CamsimCommandLine(HeaderReading(r));
    }
    if (r.confident || best == nullptr)
        return;
    // Not sure either way: what the format reading saw is part of the doubt,
    // and frames it saw too few of are worth listening for.
    r.otherFormat = tx::Format(tx::Tr("CStreamDiagnosis", "也可能是“%1”：%2"),
                               PresetName(best->presetId), g.verdictText);
    r.doubts.push_back(r.otherFormat);
    if (g.moreBytesNeeded > r.moreBytesNeeded)
        r.moreBytesNeeded = g.moreBytesNeeded;
}

}  // namespace

CDiagnosisReport Diagnose(const uint8_t* data, size_t size, const CDiagnosisContext& context) {
    CDiagnosisReport report;
    if (data == nullptr)
        size = 0;
    Analysis(data, std::min(size, kMaxBytes), size, context, report).Run();
    stream::RecogniserContext rc;
    rc.rows = context.rows;
    rc.columns = context.columns;
    rc.colour = context.colour;
    rc.headerByte = context.header;
    rc.hasFormat = context.hasFormat;
    rc.format = context.format;
    rc.pauses = context.pauses;
    report.recognition = stream::RecogniseFormat(data, size, rc);
    JoinRecognition(report);
    return report;
}

std::string ReportText(const CDiagnosisReport& r) {
    std::string t = tx::Tr("CStreamDiagnosis", "串口数据诊断\n");
    t += tx::Format(tx::Tr("CStreamDiagnosis", "数据：%1 字节"), (unsigned long long)r.bytes);
    if (r.analysed < r.bytes)
        t += tx::Format(tx::Tr("CStreamDiagnosis", "（分析了前 %1 字节）"), r.analysed);
    if (r.seconds > 0)
        t += tx::Format(tx::Tr("CStreamDiagnosis", "，%1 秒，%2 字节/秒"), tx::Fixed(r.seconds, 2),
                        tx::Fixed(r.bytesPerSecond, 0));
    t += "\n";
    if (r.baud > 0) {
        t += tx::Format(tx::Tr("CStreamDiagnosis", "波特率：%1（每秒最多 %2 字节）"), r.baud,
                        tx::Fixed(r.capacity, 0));
        if (r.rateRatio > 0)
            t += tx::Format(tx::Tr("CStreamDiagnosis", "，实际速率是它的 %1 倍"),
                            tx::Fixed(r.rateRatio, 2));
        t += "\n";
    } else {
        t += tx::Tr("CStreamDiagnosis", "波特率：未知\n");
    }
    if (r.countersKnown)
        t += tx::Format(
            tx::Tr("CStreamDiagnosis", "串口错误计数：帧错误 %1，校验错误 %2，溢出 %3，break %4\n"),
            (unsigned long long)r.framing, (unsigned long long)r.parity,
            (unsigned long long)r.overrun, (unsigned long long)r.breaks);
    else
        t += tx::Tr("CStreamDiagnosis", "串口错误计数：无（伪终端、录制文件或驱动不支持）\n");

    if (r.headerFound) {
        t += tx::Format(
            tx::Tr("CStreamDiagnosis", "数据头：%1（0x%2），周期 %3 字节，在 %4% 的周期里重复\n"),
            r.header, Hex(r.header), r.period, tx::Fixed(r.coverage * 100, 0));
        t += tx::Format(
            tx::Tr("CStreamDiagnosis", "帧：%1 个完整周期；%2 个帧间距离中 %3 个等于周期"),
            r.frames, r.gaps, r.gapsAtPeriod);
        if (r.framesPerSecond > 0)
            t += tx::Format(tx::Tr("CStreamDiagnosis", "；约 %1 帧/秒"),
                            tx::Fixed(r.framesPerSecond, 1));
        t += "\n";
        if (r.garbage > 0)
            t += tx::Format(tx::Tr("CStreamDiagnosis", "帧之间的多余字节：%1\n"), r.garbage);
        if (r.headerValuedPixels > 0)
            t += tx::Format(
                tx::Tr("CStreamDiagnosis",
                       "每帧中等于数据头的像素：约 %1 个（数据头的值占全部字节的 %2%）\n"),
                r.headerValuedPixels, tx::Fixed(r.headerValueShare * 100, 1));
        for (const auto& o : r.otherPeriodic)
            t += tx::Format(
                tx::Tr("CStreamDiagnosis", "也有周期的字节值：%1，周期 %2，每周期 %3 次\n"),
                o.value, o.period, tx::Fixed(o.perFrame, 1));
        t += tx::Format(
            tx::Tr("CStreamDiagnosis", "帧大小：%1 字节；黑白%2"), r.frameSize,
            r.fitsGray ? tx::Tr("CStreamDiagnosis", "可以") : tx::Tr("CStreamDiagnosis", "不行"));
        t += tx::Format(
            tx::Tr("CStreamDiagnosis", "，彩色%1"),
            r.fitsColour ? tx::Tr("CStreamDiagnosis", "可以") : tx::Tr("CStreamDiagnosis", "不行"));
        if (r.fitsGray && r.fitsColour)
            t += r.format == 0 ? tx::Tr("CStreamDiagnosis", "；数据看起来是黑白")
                 : r.format == 1 ? tx::Tr("CStreamDiagnosis", "；数据看起来是彩色（U,Y,V）")
                                 : tx::Tr("CStreamDiagnosis", "；看不出格式");
        t += "\n";
        if (!r.candidates.empty()) {
            t += tx::Tr("CStreamDiagnosis", "行 × 列（分数越低，上下两行越相像）：\n");
            for (size_t i = 0; i < r.candidates.size() && i < 8; ++i) {
                const CSizeCandidate& c = r.candidates[i];
                t += Format("  %s %5u × %-5u ", FormatName(c.colour), c.rows, c.columns);
                t += c.score < 0 ? std::string("  —  ") : Format("%5.3f", c.score);
                if (c.common)
                    t += tx::Tr("CStreamDiagnosis", "  常见尺寸");
                t += "\n";
            }
            if (r.candidates.size() > 8)
                t += tx::Format(tx::Tr("CStreamDiagnosis", "  ……另有 %1 种\n"),
                                r.candidates.size() - 8);
        }
    }
    for (const auto& n : r.notes)
        t += tx::Format(tx::Tr("CStreamDiagnosis", "注意：%1\n"), n);
    // The stream format, as the bytes show it.
    const stream::FormatRecognition& g = r.recognition;
    if (!g.readings.empty()) {
        t += tx::Tr("CStreamDiagnosis", "数据格式：\n");
        const size_t shown = std::min<size_t>(g.readings.size(), 3);
        for (size_t i = 0; i < shown; ++i) {
            const stream::FormatReading& reading = g.readings[i];
            t += tx::Format(tx::Tr("CStreamDiagnosis", "  %1  %2 行 × %3 列  %4"),
                            PresetName(reading.presetId).c_str(), reading.rows, reading.columns,
                            stream::EncodingLabel(reading.encoding));
            t += reading.sound ? "\n" : tx::Tr("CStreamDiagnosis", "（不能确定）\n");
            if (!reading.evidence.empty())
                t += "    " + reading.evidence + "\n";
        }
    }
    if (r.formatFound) {
        t += tx::Format(tx::Tr("CStreamDiagnosis", "结论：%1\n"), r.verdictText);
        t += tx::Format(tx::Tr("CStreamDiagnosis", "建议：数据格式“%1”"),
                        r.suggestPresetName.c_str());
        if (r.suggestRows > 0)
            t += tx::Format(
                tx::Tr("CStreamDiagnosis", "，%1 行 × %2 列%3"), r.suggestRows, r.suggestColumns,
                r.suggestGeometryFromWire ? tx::Tr("CStreamDiagnosis", "（尺寸来自数据流）") : "");
        t += "\n";
        if (!r.camsimCommand.empty())
            t += tx::Format(tx::Tr("CStreamDiagnosis", "模拟这块板子：%1\n"), r.camsimCommand);
        return t;
    }
    if (!r.otherFormat.empty())
        t += tx::Format(tx::Tr("CStreamDiagnosis", "数据格式：%1\n"), r.otherFormat);
    t += tx::Format(tx::Tr("CStreamDiagnosis", "结论：%1\n"), r.verdictText);
    if (r.moreBytesNeeded > 0)
        t += tx::Format(tx::Tr("CStreamDiagnosis", "还需要：约 %1 字节才能确定，请接收更长时间\n"),
                        (unsigned long long)r.moreBytesNeeded);
    if (r.headerFound) {
        t += tx::Format(tx::Tr("CStreamDiagnosis", "建议：数据头 %1"), r.suggestHeader);
        if (r.suggestRows > 0)
            t += tx::Format(tx::Tr("CStreamDiagnosis", "，%1，%2 行 × %3 列"),
                            FormatName(r.suggestColour), r.suggestRows, r.suggestColumns);
        if (r.suggestBaud > 0)
            t += tx::Format(tx::Tr("CStreamDiagnosis", "，波特率 %1"), r.suggestBaud);
        t += r.confident ? "\n" : tx::Tr("CStreamDiagnosis", "（没有把握）\n");
    } else if (r.suggestBaud > 0) {
        t += tx::Format(tx::Tr("CStreamDiagnosis", "建议：波特率 %1\n"), r.suggestBaud);
    }
    if (r.confident && !r.camsimCommand.empty())
        t += tx::Format(tx::Tr("CStreamDiagnosis", "模拟这块板子：%1\n"), r.camsimCommand);
    return t;
}
