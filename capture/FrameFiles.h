// A received frame as files, without Qt: the picture as the screen converts
// it (PGM for the grayscale page, PPM or PNG), the bytes as received (raw, or
// a JPEG frame's own file) and the "0"/"1" listing. The window's saves and
// tavix-capture both write through here, so the same frame gives the same
// file.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "capture/FrameCopy.h"

namespace framefile {

// What a file name's suffix asks for.
enum class Kind { Pgm, Ppm, Png, Raw, Jpeg, Unknown };
Kind KindOf(const std::string& path);

// One picture pixel per frame pixel, as the screen converts it: on the
// grayscale page (pixel::kGray) one brightness byte each, on the colour page
// R, G, B. Empty for an empty or incomplete frame; `channels` is 1 or 3.
std::vector<uint8_t> Picture(const CFrameCopy& frame, int& channels);

// The file's bytes for `kind` (Raw and Jpeg: the bytes as received, Jpeg only
// for a JPEG frame). False with the reason (in the chosen language) when the frame cannot
// be written so: a colour frame as PGM, another frame as JPEG, an incomplete
// frame as a picture.
bool Encode(Kind kind, const CFrameCopy& frame, std::vector<uint8_t>& bytes, std::string& reason);

// Writes `bytes` to `path` whole or not at all: into a new file beside it
// that takes the name only once every byte is on disk. False with a message
// naming the file and the reason.
bool WriteWhole(const std::string& path, const std::vector<uint8_t>& bytes, std::string& error);

// Encode and WriteWhole by the path's suffix; the message names the file.
bool Save(const std::string& path, const CFrameCopy& frame, std::string& error);

// The grayscale page's listing of the frame's shown pixels: per shown row a
// "1" for each value above `threshold`, else "0", and a line end; empty for
// an incomplete frame.
std::string ListingText(const CFrameCopy& frame, int threshold);

}  // namespace framefile
