// tavix-capture: takes frames from a camera board without the window, for
// scripts, test rigs and remote machines: the window's engine, formats and
// statistics, files and JSON out, exit codes a script can trust.

#include <atomic>
#include <cstdio>
#include <string>

#include "settings/ConsoleText.h"
#include "settings/Translation.h"
#include "tools/capture/CaptureOptions.h"
#include "tools/capture/CaptureSession.h"
#include "tools/capture/StopRequest.h"

namespace {

std::atomic<bool> g_stop{false};

}  // namespace

int main(int argc, char** argv) {
    UseUtf8Console(argc, argv);
    // The terminal's language: Chinese when the locale is Chinese, else English.
    tx::SetLanguage(tx::LanguageFromEnvironment());
    CCaptureOptions options;
    std::string error;
    if (!ParseCaptureOptions(argc, argv, options, error)) {
        std::fprintf(stderr, "tavix-capture: %s\n", error.c_str());
        return kExitBadArguments;
    }
    if (options.help) {
        std::fputs(CaptureHelp().c_str(), stdout);
        return kExitOk;
    }
    StopOnInterrupt(g_stop);
    CCaptureSession session(options, g_stop);
    return session.Run(stdout, stderr);
}
