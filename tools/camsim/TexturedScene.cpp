#include "tools/camsim/TexturedScene.h"

#include <algorithm>
#include <cmath>

namespace camsim {

namespace {

// A well-mixed 32-bit hash of a few integers (a murmur-style finaliser after
// each one), the source of every random choice and of the noise.
uint32_t Mix(uint32_t h) {
    h ^= h >> 16;
    h *= 0x7FEB352Du;
    h ^= h >> 15;
    h *= 0x846CA68Bu;
    h ^= h >> 16;
    return h;
}

uint32_t Hash(uint32_t seed, uint32_t a, uint32_t b = 0, uint32_t c = 0, uint32_t d = 0) {
    uint32_t h = Mix(seed ^ 0x9E3779B9u);
    h = Mix(h ^ a);
    h = Mix(h + b * 0x85EBCA6Bu);
    h = Mix(h ^ (c * 0xC2B2AE35u));
    return Mix(h + d * 0x27D4EB2Fu);
}

// 0 <= x < 1 from the hash of the choice number k.
double Unit(uint32_t seed, uint32_t k) {
    return Hash(seed, 0xC0FFEEu, k) / 4294967296.0;
}

// A position bouncing between lo and hi: start + speed * t folded into the range.
double Bounce(double start, double speed, uint64_t t, double lo, double hi) {
    const double span = hi - lo;
    if (span <= 0) {
        return lo;
    }
    double p = std::fmod(start - lo + speed * static_cast<double>(t), 2 * span);
    if (p < 0) {
        p += 2 * span;
    }
    return lo + (p <= span ? p : 2 * span - p);
}

uint8_t Clip(int v) {
    return static_cast<uint8_t>(std::clamp(v, 0, 255));
}

constexpr int kNoise = 6;  // Sensor noise: -6..+6 on every channel, every frame.
constexpr size_t kOrdinaryObjects = 9;

}  // namespace

TexturedScene::TexturedScene(int rows, int columns, uint32_t seed)
    : rows_(std::max(rows, 1)), columns_(std::max(columns, 1)), seed_(seed) {
    const double w = columns_;
    const double h = rows_;
    uint32_t k = 0;
    auto unit = [&] { return Unit(seed_, k++); };
    for (uint32_t i = 0; i < kOrdinaryObjects; ++i) {
        Object o{};
        o.shape = static_cast<Shape>(Hash(seed_, 1, i) % 3);
        o.texture = static_cast<Texture>(Hash(seed_, 2, i) % 3);
        o.rx = w * (0.06 + 0.12 * unit());
        o.ry = h * (0.06 + 0.14 * unit());
        o.x = w * unit();
        o.y = h * unit();
        o.vx = (unit() - 0.5) * 1.2;
        o.vy = (unit() - 0.5) * 0.8;
        // Mid-tones of clearly different brightness and hue.
        const double level = 50 + 150 * unit();
        for (int& ch : o.colour) {
            ch = static_cast<int>(level + (unit() - 0.5) * 120);
            ch = std::clamp(ch, 25, 230);
        }
        o.textureDepth = 12 + static_cast<int>(28 * unit());
        o.texturePeriod = 2 + static_cast<int>(4 * unit());
        objects_.push_back(o);
    }
    // The blown-out patch (left half) and the crushed one (right half), far
    // enough beyond 0..255 that neither texture nor noise brings them back.
    Object white{Shape::Ellipse, Texture::Grain, w * 0.25,        h * 0.4, 0.35, 0.25,
                 w * 0.15,       h * 0.22,       {360, 360, 360}, 20,      2};
    Object black{Shape::Rectangle, Texture::Checks, w * 0.72,           h * 0.6, -0.3, 0.2,
                 w * 0.12,         h * 0.16,        {-100, -100, -100}, 20,      3};
    objects_.push_back(white);
    objects_.push_back(black);
}

// Ordinary objects drift over the whole picture and partly out of it; the
// saturated two (the last) stay whole inside their own half, so their share
// stays put.
void TexturedScene::Centre(size_t i, uint64_t index, double& x, double& y) const {
    const Object& o = objects_[i];
    if (i >= kOrdinaryObjects) {
        const bool left = i == kOrdinaryObjects;
        const double lo = left ? o.rx : columns_ / 2.0 + o.rx;
        const double hi = left ? columns_ / 2.0 - o.rx : columns_ - o.rx;
        x = Bounce(o.x, o.vx, index, lo, hi);
        y = Bounce(o.y, o.vy, index, o.ry, rows_ - o.ry);
    } else {
        x = Bounce(o.x, o.vx, index, -o.rx / 2, columns_ + o.rx / 2);
        y = Bounce(o.y, o.vy, index, -o.ry / 2, rows_ + o.ry / 2);
    }
}

bool TexturedScene::Inside(const Object& o, double dx, double dy) {
    const double u = dx / o.rx;
    const double v = dy / o.ry;
    switch (o.shape) {
        case Shape::Ellipse:
            return u * u + v * v <= 1.0;
        case Shape::Rectangle:
            return std::fabs(u) <= 1.0 && std::fabs(v) <= 1.0;
        case Shape::Diamond:
            return std::fabs(u) + std::fabs(v) <= 1.0;
    }
    return false;
}

void TexturedScene::Pixel(int r, int c, uint64_t index, const std::vector<double>& centres,
                          uint8_t* out) const {
    // Background: a slow mottle of two colours with a fine grain that stays put.
    const double mottle =
        0.5 + 0.25 * std::sin(c * 0.11 + r * 0.05) + 0.25 * std::sin(r * 0.13 - c * 0.04 + 1.3);
    const int grain = static_cast<int>(Hash(seed_, 3, c, r) % 31) - 15;
    int rgb[3] = {static_cast<int>(70 + 60 * mottle) + grain,
                  static_cast<int>(90 + 40 * mottle) + grain,
                  static_cast<int>(110 - 30 * mottle) + grain};
    for (size_t i = 0; i < objects_.size(); ++i) {
        const Object& o = objects_[i];
        const double dx = c + 0.5 - centres[2 * i];
        const double dy = r + 0.5 - centres[2 * i + 1];
        if (!Inside(o, dx, dy)) {
            continue;
        }
        // The texture in the object's own coordinates, so it moves with it.
        const int u = static_cast<int>(std::floor(dx + o.rx));
        const int v = static_cast<int>(std::floor(dy + o.ry));
        int t = 0;
        switch (o.texture) {
            case Texture::Stripes:
                t = ((u + v) / o.texturePeriod) % 2 == 0 ? o.textureDepth : -o.textureDepth;
                break;
            case Texture::Checks:
                t = ((u / o.texturePeriod + v / o.texturePeriod) % 2) == 0 ? o.textureDepth
                                                                           : -o.textureDepth;
                break;
            case Texture::Grain:
                t = static_cast<int>(Hash(seed_, 4 + static_cast<uint32_t>(i), u, v) %
                                     (2 * o.textureDepth + 1)) -
                    o.textureDepth;
                break;
        }
        for (int ch = 0; ch < 3; ++ch) {
            rgb[ch] = o.colour[ch] + t;
        }
    }
    for (int ch = 0; ch < 3; ++ch) {
        const auto frame = static_cast<uint32_t>(index);
        const int noise = static_cast<int>(Hash(seed_, 100 + ch, c, r,
                                                frame ^ static_cast<uint32_t>(index >> 32)) %
                                           (2 * kNoise + 1)) -
                          kNoise;
        out[ch] = Clip(rgb[ch] + noise);
    }
}

std::vector<uint8_t> TexturedScene::Rgb(uint64_t index) const {
    std::vector<double> centres(objects_.size() * 2);
    for (size_t i = 0; i < objects_.size(); ++i) {
        Centre(i, index, centres[2 * i], centres[2 * i + 1]);
    }
    std::vector<uint8_t> rgb(static_cast<size_t>(rows_) * static_cast<size_t>(columns_) * 3);
    uint8_t* out = rgb.data();
    for (int r = 0; r < rows_; ++r) {
        for (int c = 0; c < columns_; ++c, out += 3) {
            Pixel(r, c, index, centres, out);
        }
    }
    return rgb;
}

std::vector<uint8_t> TexturedScene::Gray(uint64_t index) const {
    const std::vector<uint8_t> rgb = Rgb(index);
    std::vector<uint8_t> gray(rgb.size() / 3);
    for (size_t i = 0; i < gray.size(); ++i) {
        const uint8_t* p = &rgb[3 * i];
        gray[i] = static_cast<uint8_t>((77 * p[0] + 150 * p[1] + 29 * p[2] + 128) >> 8);
    }
    return gray;
}

}  // namespace camsim
