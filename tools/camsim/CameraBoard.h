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

#include "tools/camsim/FrameSource.h"
#include "tools/camsim/PseudoTerminal.h"

namespace camsim {

// A simulated camera board: streams frames (header byte, then the pixels of a
// FrameSource picture) down a PseudoTerminal, paced like a real serial line,
// optionally with faults a host must cope with.
//
// By default it behaves like a UART: the line is written without waiting and
// bytes it cannot take are dropped and counted. With Options::blocking it
// waits for room instead.
class CameraBoard {
public:
    struct Options {
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
        uint32_t seed = 1;  // Seeds the garbage bytes, so runs repeat exactly.
    };

    struct Statistics {
        uint64_t framesSent = 0;
        uint64_t bytesSent = 0;     // Bytes the line took.
        uint64_t bytesDropped = 0;  // Bytes the line had no room for.
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

    // Bytes a line at baud has carried after elapsed time: floor(t * baud / 10).
    static uint64_t BytesDue(long baud, std::chrono::nanoseconds elapsed);

private:
    using Clock = std::chrono::steady_clock;

    bool Claim(std::string* error);
    void Stream(const std::atomic<bool>& stop);
    std::vector<uint8_t> NextChunk(uint64_t index, std::mt19937& rng) const;
    bool SendPaced(const std::vector<uint8_t>& chunk, const std::atomic<bool>& stop);
    bool Transmit(const uint8_t* data, size_t n, const std::atomic<bool>& stop);

    PseudoTerminal& line_;
    Options options_;
    FrameCallback callback_;
    std::optional<FrameSource> source_;

    Clock::time_point origin_;  // When line position 0 was due.
    uint64_t linePos_ = 0;      // Bytes offered to the line so far, dropped or not.

    std::atomic<bool> running_{false};
    std::atomic<bool> stopRequested_{false};
    std::thread thread_;
    std::atomic<uint64_t> framesSent_{0};
    std::atomic<uint64_t> bytesSent_{0};
    std::atomic<uint64_t> bytesDropped_{0};
};

}  // namespace camsim
