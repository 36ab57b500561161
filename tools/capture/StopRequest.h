// The user's request to stop a capture from the terminal: Ctrl+C or a
// termination request sets the flag (the capture ends cleanly, its files
// whole); a closed output pipe is an error of the write, not the end of the
// program. One source file per system (StopRequestPosix.cpp,
// StopRequestWin32.cpp).
#pragma once

#include <atomic>

// From now on, an interrupt or termination request sets `stop`, which must
// live until the program ends.
void StopOnInterrupt(std::atomic<bool>& stop);
