// The capture worker's scheduling priority, and the engine threads' names.
// One source file per system (ThreadPriorityPosix.cpp, ThreadPriorityWin32.cpp).
#pragma once

// Raises the calling thread's priority as far as an unprivileged process may
// (RLIMIT_NICE on Linux, THREAD_PRIORITY_HIGHEST on Windows); a refusal is
// ignored.
void RaiseThreadPriority();

// Names the calling thread (at most 15 characters shown on Linux) so that
// tools such as top, /proc/PID/task or a debugger tell the engine's threads
// apart.
void NameThisThread(const char* name);
