#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "tools/camsim/TexturedScene.h"

namespace camsim {

// What the simulated camera looks at.
enum class Pattern { Gradient, Bars, Moving, File, Scene };

// Deterministic pictures for the simulated camera, so a test can compute the
// exact bytes of any frame. Pixels go row by row; grayscale is one byte per
// pixel, colour three bytes per pixel in the order U, Y, V.
//
// Colour conversion (full-range BT.601, integers, results clamped to 0..255):
//   Y = (77 R + 150 G + 29 B + 128) >> 8
//   U = ((-43 R - 85 G + 128 B + 128) >> 8) + 128
//   V = ((128 R - 107 G - 21 B + 128) >> 8) + 128
// A gray RGB (R = G = B = v) gives exactly Y = v, U = V = 128.
//
// Patterns, for frame index i, row r, column c:
//   Gradient  grayscale: (4r + 2c + i) & 0xFF
//             colour:    U = (4c + i) & 0xFF, Y = (4r + 2c + i) & 0xFF, V = (4r + i) & 0xFF
//   Bars      eight vertical bars, bar = c * 8 / columns: white, yellow, cyan,
//             green, magenta, red, blue, black (RGB 255/0), converted as above;
//             grayscale gives their Y (255 226 178 149 106 77 29 0). Same every frame.
//   Moving    background Y = 16, a square of Y = 235 (U = V = 128 in colour),
//             side max(1, min(rows, columns) / 4), top-left corner at
//             row i % (rows - side + 1), column i % (columns - side + 1):
//             one pixel down and right per frame, wrapping.
//   File      a binary PGM (P5) or PPM (P6) picture with maxval 255, scaled
//             nearest-neighbour (source row r * height / rows, column
//             c * width / columns). PGM in colour gives U = V = 128; PPM in
//             grayscale gives Y. Same every frame.
//   Scene     a TexturedScene from the seed: its luma in grayscale, its R, G, B
//             converted as above in colour.
class FrameSource {
public:
    // A generated pattern. rows and columns must be at least 1; Pattern::File
    // here gives a black picture (use FromFile to load one). The seed shapes
    // Pattern::Scene.
    FrameSource(int rows, int columns, bool colour, Pattern pattern, uint32_t seed = 1);

    // Loads a PGM/PPM picture. nullopt, with a reason in *error, if the file
    // is missing, unreadable or not a binary 8-bit PGM/PPM.
    static std::optional<FrameSource> FromFile(const std::string& path, int rows, int columns,
                                               bool colour, std::string* error = nullptr);

    // "gradient", "bars", "moving", "scene" (not "file", which needs a path).
    static std::optional<Pattern> ParsePattern(const std::string& name);
    static const char* PatternName(Pattern pattern);

    // The pixel bytes of frame index: FrameBytes() of them, no header.
    std::vector<uint8_t> Frame(uint64_t index) const;
    // Frame index of a colour source as R, G, B bytes: the scene's own colours,
    // other patterns' U, Y, V as the tool converts them (stream::PixelRgb).
    std::vector<uint8_t> Rgb(uint64_t index) const;

    int Rows() const { return rows_; }
    int Columns() const { return columns_; }
    bool IsColour() const { return colour_; }
    Pattern GetPattern() const { return pattern_; }
    size_t FrameBytes() const;

private:
    void FillPixel(uint8_t* out, int r, int c, uint64_t index) const;

    int rows_;
    int columns_;
    bool colour_;
    Pattern pattern_;
    std::vector<uint8_t> picture_;  // Pattern::File: the scaled picture.
    std::optional<TexturedScene> scene_;
};

// A frame as the board sends it: the header byte, then the pixels.
std::vector<uint8_t> WireFrame(uint8_t header, const std::vector<uint8_t>& pixels);

}  // namespace camsim
