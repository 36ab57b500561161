// What a serial stream is: the periodic header byte and its period, the frame
// size and whether it fits grayscale or U,Y,V colour, rows × columns ranked by
// how smooth the picture is from one row to the next, the byte rate against
// the chosen baud rate and the UART's error counters, with a verdict in
// Chinese that says what the page's settings should be. A verdict is
// confident only when the stream leaves one reading; otherwise it says the
// stream is ambiguous and lists what it could be.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "stream/FormatRecogniser.h"
#include "stream/StreamFormat.h"

// What is known about the bytes besides themselves.
struct CDiagnosisContext {
    double seconds = 0;          // how long the bytes took to arrive; 0 unknown
    uint64_t bytesReceived = 0;  // bytes in that time when more came than were kept; 0: all kept
    uint32_t baud = 0;           // the chosen baud rate; 0 unknown
    // The page's settings: they break ties, and where the stream fits them
    // (the header recurs a page frame apart) they stand unless the stream
    // reads otherwise with more evidence.
    int header = -1;  // header byte, -1 unknown
    uint32_t rows = 0;
    uint32_t columns = 0;
    int colour = -1;  // 0 grayscale, 1 U,Y,V colour, -1 unknown
    // The UART's error counters over the same time (TIOCGICOUNT), if the
    // driver has them.
    bool countersKnown = false;
    uint64_t framing = 0;
    uint64_t parity = 0;
    uint64_t overrun = 0;
    uint64_t breaks = 0;
    // The stream format the bytes were received with, if known.
    bool hasFormat = false;
    stream::CStreamFormat format;
    // Offsets before which the line had been quiet a while (a live device,
    // ascending; none for a file): where headerless frames start.
    std::vector<uint64_t> pauses;
};

// One way to lay the frame out.
struct CSizeCandidate {
    uint32_t rows = 0;
    uint32_t columns = 0;
    bool colour = false;
    // Row-to-row difference of the picture (Y for colour) against that of
    // misaligned neighbours and of a row's end and the next row's start:
    // near 0 for the right column count, about 1 or more for a wrong one.
    // Negative when it cannot be measured (one row or one column).
    double score = -1;
    bool common = false;  // a common camera size
};

// A byte value that recurs at a fixed distance.
struct CPeriodicValue {
    uint8_t value = 0;
    uint32_t period = 0;
    double coverage = 0;  // share of periods in which it recurs one period later
    double perFrame = 0;  // such recurring occurrences per period
};

struct CDiagnosisReport {
    enum class Verdict {
        NoData,     // nothing arrived
        NoHeader,   // bytes, but no value recurs once per frame
        Ambiguous,  // a header, but more than one reading of the stream
        Confident,  // one reading
    };
    Verdict verdict = Verdict::NoData;

    // The bytes.
    uint64_t bytes = 0;   // received over `seconds`
    size_t analysed = 0;  // of them looked at
    double seconds = 0;
    double bytesPerSecond = 0;  // 0 when the time is unknown
    double entropyBits = 0;     // of the byte values, 0..8

    // The line.
    uint32_t baud = 0;
    double capacity = 0;          // baud / 10 bytes per second; 0 when the baud is unknown
    double rateRatio = 0;         // bytesPerSecond / capacity; 0 when either is unknown
    bool fasterThanLine = false;  // more bytes than the baud rate can carry
    bool countersKnown = false;
    uint64_t framing = 0;
    uint64_t parity = 0;
    uint64_t overrun = 0;
    uint64_t breaks = 0;

    // The header and its period (header byte, frame, bytes between frames).
    bool headerFound = false;
    uint8_t header = 0;
    uint32_t period = 0;
    double coverage = 0;                        // share of periods in which the header recurs
    uint32_t frames = 0;                        // whole periods seen from one header to the next
    uint32_t gaps = 0;                          // distances between successive frame starts
    uint32_t gapsAtPeriod = 0;                  // of them exactly one period
    uint32_t headerValuedPixels = 0;            // other bytes per frame with the header's value
    double headerValueShare = 0;                // share of all bytes with the header's value
    bool headerAmbiguous = false;               // other values recur just as a header would
    std::vector<CPeriodicValue> otherPeriodic;  // those values, best first
    uint32_t garbage = 0;                       // bytes between a frame's end and the next header
    double framesPerSecond = 0;

    // The frame.
    uint32_t frameSize = 0;   // pixel bytes after the header
    bool fitsGray = false;    // frameSize = rows × columns, both 1..9999
    bool fitsColour = false;  // frameSize = 3 × rows × columns
    int format = -1;          // what the bytes look like: 0 grayscale, 1 colour, -1 cannot tell
    double channelRatio = 0;  // byte differences 3 apart against 1 and 2 apart (colour: small)
    std::vector<CSizeCandidate> candidates;  // best first

    // The conclusion.
    bool confident = false;
    std::vector<std::string> doubts;  // why the reading is not certain
    std::vector<std::string> notes;   // what else the stream shows
    // The format the bytes could also be, when the header analysis stands
    // without certainty (also among the doubts); empty otherwise.
    std::string otherFormat;
    // How many more bytes a confident reading needs (the window holds too
    // few periods of the largest frame the stream may carry); 0 when there
    // are enough, or when more would not help.
    uint64_t moreBytesNeeded = 0;
    std::string verdictText;
    // The settings it leads to (meaningful when headerFound; rows and
    // columns 0 when no size fits).
    uint8_t suggestHeader = 0;
    uint32_t suggestRows = 0;
    uint32_t suggestColumns = 0;
    bool suggestColour = false;
    uint32_t suggestBaud = 0;  // 0: keep the chosen one

    // The stream format, told from the bytes: every framing the tool reads.
    stream::FormatRecognition recognition;
    // A format other than the header byte, read confidently: the verdict and
    // the suggestion are its (suggestRows/Columns/Colour as well).
    bool formatFound = false;
    // The format the suggestion stands for (the header byte's for a header
    // found above), its preset's id ("custom" for none) and name.
    stream::CStreamFormat suggestFormat;
    std::string suggestPreset;
    std::string suggestPresetName;
    bool suggestGeometryFromWire = false;
    // The tavix-camsim command that sends such a stream (empty without a reading).
    std::string camsimCommand;
};

// Looks at the first 4 MiB of data[0..size).
CDiagnosisReport Diagnose(const uint8_t* data, size_t size, const CDiagnosisContext& context);

// The report for a person: several lines in the chosen language, ending with the verdict
// and the settings it suggests.
std::string ReportText(const CDiagnosisReport& report);
