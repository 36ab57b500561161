#include <signal.h>

#include "tools/capture/StopRequest.h"

namespace {

std::atomic<bool>* g_stop = nullptr;

extern "C" void OnSignal(int) {
    if (g_stop != nullptr)
        *g_stop = true;
}

}  // namespace

void StopOnInterrupt(std::atomic<bool>& stop) {
    g_stop = &stop;
    struct sigaction action {};
    action.sa_handler = OnSignal;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
    signal(SIGPIPE, SIG_IGN);
}
