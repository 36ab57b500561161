// Section "Stream" of the settings file: the stream format the board sends,
// as one line of text under "format" (a preset's id, or "custom,..." with its
// parts). A file without it reads as the design's format, so files written
// before it existed behave as they did.
#pragma once

#include <string>

#include "stream/StreamFormat.h"

namespace stream {

// The format in `path`; the design's format when the key is missing. A value
// that does not read also gives the design's format, and `reason` (when not
// null) says why, in the chosen language; it stays empty otherwise.
CStreamFormat ReadStreamFormat(const std::string& path, std::string* reason = nullptr);
// Writes the format's text; false when the file could not be written.
bool WriteStreamFormat(const CStreamFormat& format, const std::string& path);

}  // namespace stream
