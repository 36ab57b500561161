// The capture worker's scheduling priority, and the engine threads' names.
#pragma once

// Raises the calling thread's priority as far as an unprivileged process may
// (RLIMIT_NICE); a refusal is ignored.
void RaiseThreadPriority();

// Names the calling thread (at most 15 characters shown) so that tools such
// as top and /proc/PID/task tell the engine's threads apart.
void NameThisThread(const char* name);
