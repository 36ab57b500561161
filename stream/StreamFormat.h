// What a camera board sends, as one value: how frames are marked off on the
// line (the framing), how a frame's pixels are encoded, where the frame's
// size comes from, and which bytes the host sends the board. The boards'
// usual combinations are presets; "自定义" sets every part by hand.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "stream/PixelEncoding.h"

namespace stream {

enum class Framing : uint8_t {
    HeaderByte,  // one header byte (the 帧头 box), then the payload
    Marker,      // a start marker of 1..8 bytes, the payload, an optional end marker of 0..8
    Described,   // the self-describing 20-byte header (sync D5 AA 96 5A), then its payload
    Packet,      // command packets (00, N, N bytes, XOR) around pixel bytes that are never 00
    Jpeg,        // FF D8 ... FF D9, anything between frames skipped
    Headerless,  // the payload alone; frames start after a quiet gap or a request
};

struct CStreamFormat {
    Framing framing = Framing::HeaderByte;
    Encoding encoding = Encoding::Page;
    std::vector<uint8_t> startMarker;  // Marker: 1..8 bytes
    std::vector<uint8_t> endMarker;    // Marker: 0..8 bytes
    // Headerless: a frame starts after the line was quiet this long (ms), or
    // right after a request was sent when requestPerFrame is set.
    uint32_t gapMilliseconds = 20;
    // Bytes sent to the board when a capture starts, after each whole frame,
    // and when it stops. The design's format sends nothing.
    std::vector<uint8_t> requestAtStart;
    std::vector<uint8_t> requestPerFrame;
    std::vector<uint8_t> requestAtStop;

    // The framing carries each frame's width, height (and encoding).
    bool GeometryFromWire() const {
        return framing == Framing::Described || framing == Framing::Packet ||
               framing == Framing::Jpeg;
    }
    // The encoding a page draws with: Page resolves to Gray8 or Uyv.
    Encoding Resolved(bool colourPage) const {
        if (encoding != Encoding::Page)
            return encoding;
        return colourPage ? Encoding::Uyv : Encoding::Gray8;
    }
    // The design's format: header byte and the page's encoding, nothing sent.
    bool IsDesignFormat() const;
    // Every part within its limits (marker lengths, a known encoding, a JPEG
    // encoding only with the JPEG framing and back); the reason, in the chosen language,
    // when not.
    bool Valid(std::string* reason = nullptr) const;

    // Parts the framing does not use (markers unless Marker, the gap unless
    // Headerless) do not count: such formats behave alike and read as one preset.
    bool operator==(const CStreamFormat& other) const;
    bool operator!=(const CStreamFormat& other) const { return !(*this == other); }
};

struct CStreamPreset {
    const char* id;     // settings and command-line name, e.g. "jpeg"
    const char* label;  // Chinese, e.g. "JPEG（FF D8 … FF D9）"; shown through PresetLabel
    CStreamFormat format;
    uint32_t rows, columns;  // the size its boards usually send (0 x 0: keep the page's)
};

// The presets in the order the user sees them; the first is the design's format.
const std::vector<CStreamPreset>& Presets();
// By id; null when the text names none.
const CStreamPreset* FindPreset(const std::string& id);
// The preset whose format equals `format`; null for a custom format.
const CStreamPreset* PresetOf(const CStreamFormat& format);
// The id of the custom format in settings and on the command line.
constexpr const char kCustomId[] = "custom";
// Its label, "自定义".
extern const char kCustomLabel[];
// The labels in the chosen language, for display (the id is what is stored).
const char* CustomLabel();
const char* PresetLabel(const CStreamPreset& preset);

// Bytes as text and back: "00 FF 01 01" (hex pairs, spaces optional) or, in
// double quotes, text with C escapes ("R", "*RDY*", "\r\n", "\x01").
// False (and the reason, in the chosen language) on anything else.
bool ParseBytes(const std::string& text, std::vector<uint8_t>& bytes,
                std::string* reason = nullptr);
// Hex pairs separated by spaces.
std::string BytesToHex(const std::vector<uint8_t>& bytes);

// The whole format as one line of text, the same one the settings file, the
// recordings and the simulator's --format take: a preset's id, or
// "custom,framing=marker,start=01 FE,end=FE 01,encoding=bits1,gap=20,
// request-start=...,request-frame=...,request-stop=..." (parts at their
// defaults may be left out).
std::string FormatToText(const CStreamFormat& format);
bool FormatFromText(const std::string& text, CStreamFormat& format, std::string* reason = nullptr);

// Framing ids as used in that text: "header", "marker", "described", "packet",
// "jpeg", "headerless".
const char* FramingId(Framing framing);
const char* FramingLabel(Framing framing);  // in the chosen language, for the user
bool FramingFromId(const std::string& id, Framing& framing);

}  // namespace stream
