#include <windows.h>

#include "tools/capture/StopRequest.h"

namespace {

std::atomic<bool>* g_stop = nullptr;

// Runs on a thread of its own that Windows starts. Ctrl+C, Ctrl+Break and
// closing the console window ask for a stop; the window's close gives the
// program a few seconds, in which the capture ends and its files are closed.
BOOL WINAPI OnConsoleEvent(DWORD event) {
    switch (event) {
        case CTRL_C_EVENT:
        case CTRL_BREAK_EVENT:
        case CTRL_CLOSE_EVENT:
        case CTRL_SHUTDOWN_EVENT:
            if (g_stop != nullptr)
                *g_stop = true;
            return TRUE;
        default:
            return FALSE;
    }
}

}  // namespace

void StopOnInterrupt(std::atomic<bool>& stop) {
    g_stop = &stop;
    SetConsoleCtrlHandler(OnConsoleEvent, TRUE);
}
