// Camera pictures and streams for the stream diagnosis tests, from models of
// what a board's camera really sees rather than a smooth ramp: a track camera
// (a dark field with a bright, saturated track that curves and drifts, and
// sensor noise), the sensor's colour bar test pattern, a flat picture and a
// picture whose rows all repeat. Deterministic: integer hashing, no library
// random numbers, the same seed gives the same bytes everywhere.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

namespace diagpics {

using Bytes = std::vector<uint8_t>;

inline uint32_t Hash(uint32_t a, uint32_t b = 0, uint32_t c = 0, uint32_t d = 0) {
    uint32_t h = 0x9E3779B9u ^ a;
    for (uint32_t x : {b, c, d, 0x85EBCA6Bu}) {
        h ^= x + 0x7F4A7C15u + (h << 6) + (h >> 2);
        h *= 0x27D4EB2Du;
        h ^= h >> 15;
    }
    return h;
}

// Sensor noise: about normal with standard deviation `sigma`.
inline double Noise(double sigma, uint32_t seed, uint32_t frame, uint32_t pixel) {
    const uint32_t h = Hash(seed, frame, pixel);
    const int sum = int(h & 0xFF) + int((h >> 8) & 0xFF) + int((h >> 16) & 0xFF) + int(h >> 24) -
                    510;  // -510..510, variance 4 * 65536 / 12
    return sigma * sum / 147.8;
}

inline uint8_t Clip(double v) {
    return uint8_t(std::clamp(int(std::lround(v)), 0, 255));
}

// U,Y,V of an R, G, B colour (full-range BT.601, the tool's own conversion).
inline void RgbToUyv(int r, int g, int b, uint8_t* out) {
    out[1] = Clip((77 * r + 150 * g + 29 * b + 128) >> 8);
    out[0] = Clip(((-43 * r - 85 * g + 128 * b + 128) >> 8) + 128);
    out[2] = Clip(((128 * r - 107 * g - 21 * b + 128) >> 8) + 128);
}

// A line-following car's camera: a dark floor, a white track that runs from
// the bottom up and curves, wider near the camera, blown out to 255, with a
// soft edge and sensor noise; the curve sways a little from frame to frame.
// `trackShare` is about the share of the picture the track covers (0.5 makes
// about half the bytes 255, a saturated picture).
class TrackCamera {
public:
    TrackCamera(int rows, int columns, bool colour, uint32_t seed = 1, double trackShare = 0.3)
        : m_rows(rows), m_columns(columns), m_colour(colour), m_seed(seed), m_share(trackShare) {}

    size_t FrameBytes() const { return size_t(m_rows) * m_columns * (m_colour ? 3 : 1); }

    Bytes Frame(int index) const {
        Bytes out(FrameBytes());
        const double phase = (Hash(m_seed) % 628) / 100.0 + 0.06 * index;
        for (int r = 0; r < m_rows; ++r) {
            const double depth = double(r) / std::max(1, m_rows - 1);  // 0 far, 1 near
            const double centre =
                m_columns * (0.5 + 0.28 * std::sin(phase + 2.6 * (1 - depth)) * (1.1 - depth));
            const double half = m_columns * m_share * (0.45 + 0.7 * depth) / 1.6;
            for (int c = 0; c < m_columns; ++c) {
                const uint32_t pixel = uint32_t(r * m_columns + c);
                const double edge = half - std::fabs(c + 0.5 - centre);  // > 0 inside
                const double floor = 28 + 8 * std::sin(r * 0.21 + c * 0.13) +
                                     Noise(3.0, m_seed, uint32_t(index), pixel);
                // Inside the track the sensor saturates: 255 well past the noise.
                const double track = 290 + Noise(6.0, m_seed + 1, uint32_t(index), pixel);
                const double t = std::clamp(edge / 1.5 + 0.5, 0.0, 1.0);
                const double y = floor + t * (track - floor);
                if (!m_colour) {
                    out[pixel] = Clip(y);
                    continue;
                }
                uint8_t* p = &out[3 * size_t(pixel)];
                p[1] = Clip(y);
                // A greenish floor; the blown-out track has no colour left.
                const double tint = 1 - t;
                p[0] = Clip(128 - 9 * tint + Noise(1.5, m_seed + 2, uint32_t(index), pixel));
                p[2] = Clip(128 - 12 * tint + Noise(1.5, m_seed + 3, uint32_t(index), pixel));
            }
        }
        return out;
    }

private:
    int m_rows, m_columns;
    bool m_colour;
    uint32_t m_seed;
    double m_share;
};

// The usual sensor test pattern: eight vertical bars (white, yellow, cyan,
// green, magenta, red, blue, black) as U,Y,V, the same every frame.
inline Bytes ColourBars(int rows, int columns) {
    static const int kBars[8][3] = {{255, 255, 255}, {255, 255, 0}, {0, 255, 255}, {0, 255, 0},
                                    {255, 0, 255},   {255, 0, 0},   {0, 0, 255},   {0, 0, 0}};
    Bytes out(size_t(rows) * columns * 3);
    for (int r = 0; r < rows; ++r)
        for (int c = 0; c < columns; ++c) {
            const int* rgb = kBars[c * 8 / columns];
            RgbToUyv(rgb[0], rgb[1], rgb[2], &out[3 * (size_t(r) * columns + c)]);
        }
    return out;
}

// A flat grey picture with sensor noise (a covered lens).
inline Bytes FlatPicture(int rows, int columns, int index, uint32_t seed = 1) {
    Bytes out(size_t(rows) * columns);
    for (size_t i = 0; i < out.size(); ++i)
        out[i] = Clip(90 + Noise(1.0, seed, uint32_t(index), uint32_t(i)));
    return out;
}

// Every row the same: a textured line (a line camera, or a sensor stuck on
// one row), with a little noise per frame.
inline Bytes RepeatingRows(int rows, int columns, int index, uint32_t seed = 1) {
    Bytes row(columns);
    for (int c = 0; c < columns; ++c)
        row[c] = Clip(120 + 70 * std::sin(c * 0.23) + 30 * std::sin(c * 0.041 + 1) +
                      int(Hash(seed, uint32_t(c)) % 21) - 10);
    Bytes out(size_t(rows) * columns);
    for (int r = 0; r < rows; ++r)
        for (int c = 0; c < columns; ++c)
            out[size_t(r) * columns + c] =
                Clip(row[c] + Noise(0.7, seed, uint32_t(index), uint32_t(r * columns + c)));
    return out;
}

// How the frames go on the wire.
struct Wire {
    uint8_t header = 255;
    size_t skip = 0;    // bytes cut off the front: a capture starts mid-frame
    size_t stray = 0;   // random bytes after every frame
    int loseEvery = 0;  // every loseEvery-th frame loses `lost` bytes in its middle
    size_t lost = 0;
    size_t limit = 0;  // stop at this many bytes; 0: all `frames` frames
    uint32_t seed = 5;
};

// Frames 0..frames-1 of `frame` (its pixel bytes), each after the header byte.
inline Bytes Stream(const std::function<Bytes(int)>& frame, int frames, const Wire& w = {}) {
    Bytes out;
    for (int i = 0; i < frames && (w.limit == 0 || out.size() < w.limit + w.skip); ++i) {
        Bytes f = frame(i);
        if (w.loseEvery > 0 && i % w.loseEvery == w.loseEvery - 1 && f.size() > 2 * w.lost)
            f.erase(f.begin() + f.size() / 2, f.begin() + f.size() / 2 + w.lost);
        out.push_back(w.header);
        out.insert(out.end(), f.begin(), f.end());
        for (size_t k = 0; k < w.stray; ++k)
            out.push_back(uint8_t(Hash(w.seed, uint32_t(i), uint32_t(k))));
    }
    out.erase(out.begin(), out.begin() + std::min(w.skip, out.size()));
    if (w.limit > 0 && out.size() > w.limit)
        out.resize(w.limit);
    return out;
}

}  // namespace diagpics
