#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "stream/StreamFormat.h"
#include "tools/camsim/FrameEncoder.h"
#include "tools/camsim/FrameSource.h"
#include "tools/camsim/PseudoTerminal.h"

namespace camsim {

// A simulated camera board: streams frames (by default a header byte, then the
// pixels of a FrameSource picture; or any stream format, see FrameEncoder)
// down a PseudoTerminal, paced like a real serial line, optionally with faults
// a host must cope with.
//
// Boards whose format has requests read the line: with a per-frame request
// (the Arduino stream's "R", a request byte 01) the board sends one frame per
// request received, requests adding up as credits, and is silent without
// one; with only a start request it waits for that, then streams. Headerless
// boards leave the line quiet for twice the format's gap before each frame.
//
// By default it behaves like a UART: the line is written without waiting and
// bytes it cannot take are dropped and counted. With Options::blocking it
// waits for room instead.
class CameraBoard {
public:
    struct Options {
        // What goes on the line. The default, the header byte and the page's
        // encoding, sends gray bytes, or U,Y,V with colour.
        stream::CStreamFormat format;
        uint8_t header = 255;
        int rows = 60;     // 1..9999
        int columns = 80;  // 1..9999
        bool colour = false;
        Pattern pattern = Pattern::Gradient;
        std::string file;  // The PGM/PPM picture when pattern is Pattern::File.
        // Pacing: fps > 0 starts a frame every 1/fps s, each written at once;
        // otherwise baud > 0 sends baud / 10 bytes per second (start bit, 8
        // data bits, stop bit) in slices of about 5 ms; both 0 sends unpaced.
        long baud = 115200;
        double fps = 0;
        uint64_t count = 0;  // Frames to send; 0 = endless.
        // Faults. garbage: this many random bytes, never equal to the header,
        // before every frame but the first. truncateEvery = K: frames K, 2K,
        // ... (counting from 1) stop after the first half of their pixel bytes.
        // headerPixels: pixel bytes 0, 16, 32, ... of every frame are set to
        // the header value.
        size_t garbage = 0;
        uint64_t truncateEvery = 0;
        bool headerPixels = false;
        bool blocking = false;
        uint32_t seed = 1;  // Seeds the garbage bytes and the scene, so runs repeat exactly.
        // loseByteEvery = K: from frames K, 2K, ... the payload byte at
        // LostByte(payload size) never reaches the line.
        uint64_t loseByteEvery = 0;
        int quality = 80;  // JPEG quality, 1..100.
        // Sent before every frame (after any garbage): a text such as
        // "ACK IMG END\r\n", then, with betweenLength, the payload's length
        // in decimal digits and "\r\n".
        std::string between;
        bool betweenLength = false;
        // Packet framing: a debug-text packet with this text (at most 254
        // bytes) after every frame's first row.
        std::string packetText;
    };

    // The payload byte a lost-byte fault removes: the middle one.
    static size_t LostByte(size_t payloadSize) { return payloadSize / 2; }

    struct Statistics {
        uint64_t framesSent = 0;
        uint64_t bytesSent = 0;         // Bytes the line took.
        uint64_t bytesDropped = 0;      // Bytes the line had no room for.
        uint64_t requestsReceived = 0;  // Requests read from the host (per frame, or to start).
        // Pauses of the line inside a frame (the board's thread held up) at
        // least as long as the format's quiet gap (20 ms for other framings),
        // and the longest pause inside a frame: a headerless frame's end is a
        // pause, so a receiver rightly cuts a frame there.
        uint64_t pausesInFrames = 0;
        double longestPauseInFrameMs = 0;
    };

    // Called on the streaming thread right after a frame's last byte went to
    // the line, with the frame's index and the time it did.
    using FrameCallback =
        std::function<void(uint64_t index, std::chrono::steady_clock::time_point written)>;

    // line must stay open while the board runs.
    CameraBoard(PseudoTerminal& line, Options options);
    ~CameraBoard();  // Stops a background run.
    CameraBoard(const CameraBoard&) = delete;
    CameraBoard& operator=(const CameraBoard&) = delete;

    // Checks the options and prepares the picture (loading the file). Run and
    // Start do it if needed; calling it first reports bad options early. Not
    // while running.
    bool Init(std::string* error = nullptr);
    // Set before Run or Start.
    void SetFrameCallback(FrameCallback callback) { callback_ = std::move(callback); }

    // Streams on the calling thread until the count is reached or stop is set.
    // False only if Init fails or the board is already running. Statistics
    // add up over runs.
    bool Run(const std::atomic<bool>& stop, std::string* error = nullptr);
    // The same on a background thread (false if already running); Stop ends
    // it early, Wait waits for the count to be reached.
    bool Start(std::string* error = nullptr);
    void Stop();
    void Wait();

    // Safe to call from any thread while running.
    Statistics Stats() const;

    // Frame index exactly as the board sends it without faults, in parts,
    // with the picture it shows. After a successful Init.
    EncodedFrame Expected(uint64_t index) const { return encoder_->Encode(index); }
    // The encoding the board sends (the page's resolved by Options::colour).
    stream::Encoding SentEncoding() const { return options_.format.Resolved(options_.colour); }

    // Bytes a line at baud has carried after elapsed time: floor(t * baud / 10).
    static uint64_t BytesDue(long baud, std::chrono::nanoseconds elapsed);

private:
    using Clock = std::chrono::steady_clock;

    bool Claim(std::string* error);
    void Stream(const std::atomic<bool>& stop);
    struct Chunk {
        std::vector<uint8_t> before;  // Garbage, sent before any quiet gap.
        std::vector<uint8_t> frame;   // The between text and the frame.
    };
    Chunk NextChunk(uint64_t index, std::mt19937& rng) const;
    void ReadRequests(int timeoutMs);
    bool WaitForRequest(const std::atomic<bool>& stop);
    void Quiet(std::chrono::milliseconds gap, const std::atomic<bool>& stop);
    bool SendPaced(const std::vector<uint8_t>& chunk, const std::atomic<bool>& stop,
                   bool frame = false);
    bool Transmit(const uint8_t* data, size_t n, const std::atomic<bool>& stop);

    PseudoTerminal& line_;
    Options options_;
    FrameCallback callback_;
    std::optional<FrameSource> source_;
    std::optional<FrameEncoder> encoder_;  // Holds a reference to *source_.
    std::vector<uint8_t> request_;         // What the board counts as a request; empty: none.
    std::vector<uint8_t> heard_;           // Bytes read that may begin a request.
    uint64_t credits_ = 0;                 // Frames requested and not yet sent.

    Clock::time_point origin_;  // When line position 0 was due.
    uint64_t linePos_ = 0;      // Bytes offered to the line so far, dropped or not.

    std::atomic<bool> running_{false};
    std::atomic<bool> stopRequested_{false};
    std::thread thread_;
    std::atomic<uint64_t> framesSent_{0};
    std::atomic<uint64_t> bytesSent_{0};
    std::atomic<uint64_t> bytesDropped_{0};
    std::atomic<uint64_t> pausesInFrames_{0};
    std::atomic<int64_t> longestPauseInFrameUs_{0};
    std::atomic<uint64_t> requestsReceived_{0};
};

}  // namespace camsim
