#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>

#include "capture/RecordingReader.h"
#include "tools/camsim/PseudoTerminal.h"

namespace camsim {

// Plays a recording down a PseudoTerminal, chunk by chunk, exactly as the
// port delivered it.
//
// Paced (the default), each chunk goes out at its time stamp, measured from
// the start of Run. With fast, the chunks go back to back, as fast as the host
// reads. Either way writes wait for room in the line, so every recorded byte
// arrives in order; when the host has kept a chunk waiting for more than
// kMaxLag, the schedule moves on by that delay rather than bursting to catch
// up, so the gaps between chunks stay as recorded.
class ReplaySource {
public:
    static constexpr std::chrono::milliseconds kMaxLag{100};

    struct Statistics {
        uint64_t chunksSent = 0;
        uint64_t bytesSent = 0;
    };

    // line and recording (open) must outlive the source.
    ReplaySource(PseudoTerminal& line, CRecordingReader& recording, bool fast);

    // Plays from the recording's position to its end on the calling thread.
    // True when the end was reached (the recording's WasCut tells whether the
    // file was cut), false when stop was set first.
    bool Run(const std::atomic<bool>& stop);

    // Safe to call from any thread while running.
    Statistics Stats() const;

private:
    bool Send(const uint8_t* data, size_t n, const std::atomic<bool>& stop);

    PseudoTerminal& line_;
    CRecordingReader& recording_;
    bool fast_;
    std::atomic<uint64_t> chunksSent_{0};
    std::atomic<uint64_t> bytesSent_{0};
};

}  // namespace camsim
