#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace camsim {

// A picture with what real camera pictures have and a gradient lacks, so that
// nothing downstream is tuned to a smooth ramp: shapes of different brightness
// and colour over a mottled background, a fine texture on each (stripes,
// checks, grain) that moves with it, sensor noise that changes every frame, and
// saturated areas — a blown-out white patch and a crushed black one, together
// 10–20 % of the picture — all drifting slowly from frame to frame.
//
// Deterministic: the same seed, size and frame index give the same pixels on
// every run (integer hashing, no library random numbers). Pixels come as
// R, G, B bytes row by row; Gray gives their luma,
// Y = (77 R + 150 G + 29 B + 128) >> 8, which keeps 0 and 255.
class TexturedScene {
public:
    TexturedScene(int rows, int columns, uint32_t seed = 1);

    // rows * columns * 3 bytes: R, G, B.
    std::vector<uint8_t> Rgb(uint64_t index) const;
    // rows * columns bytes.
    std::vector<uint8_t> Gray(uint64_t index) const;

    int Rows() const { return rows_; }
    int Columns() const { return columns_; }

private:
    enum class Shape : uint8_t { Ellipse, Rectangle, Diamond };
    enum class Texture : uint8_t { Stripes, Checks, Grain };

    struct Object {
        Shape shape;
        Texture texture;
        double x, y;    // Centre at frame 0, pixels.
        double vx, vy;  // Drift, pixels per frame; objects bounce off the edges.
        double rx, ry;  // Half width and half height, pixels.
        int colour[3];  // May lie beyond 0..255: saturated areas clip.
        int textureDepth;
        int texturePeriod;  // Stripe and check size, pixels.
    };

    void Centre(size_t i, uint64_t index, double& x, double& y) const;
    static bool Inside(const Object& o, double dx, double dy);
    void Pixel(int r, int c, uint64_t index, const std::vector<double>& centres,
               uint8_t* out) const;

    int rows_;
    int columns_;
    uint32_t seed_;
    std::vector<Object> objects_;  // Drawn in order; the last two are the saturated ones.
};

}  // namespace camsim
