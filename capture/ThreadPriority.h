// The capture worker's scheduling priority.
#pragma once

// Raises the calling thread's priority as far as an unprivileged process may
// (RLIMIT_NICE); a refusal is ignored.
void RaiseThreadPriority();
