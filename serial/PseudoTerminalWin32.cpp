#include "serial/PseudoTerminal.h"

#include "settings/Translation.h"

// Windows has no pseudo-terminals: nothing can stand in for a board here, so
// every call fails, and Open says why (a replayed recording needs one).

CPseudoTerminal::~CPseudoTerminal() = default;

bool CPseudoTerminal::Open(std::string* error) {
    if (error)
        *error = tx::Tr("CPseudoTerminal",
                        "Windows 没有伪终端，这一版不能回放录制文件：请用 tavix-diagnose "
                        "读取录制文件，或在 Linux 上回放。");
    return false;
}

void CPseudoTerminal::Close() {}
bool CPseudoTerminal::WriteAll(const void*, size_t, int) {
    return false;
}
size_t CPseudoTerminal::WriteUntil(const void*, size_t, const std::function<bool()>&) {
    return 0;
}
size_t CPseudoTerminal::WriteSome(const void*, size_t) {
    return 0;
}
size_t CPseudoTerminal::QueuedForHost() const {
    return 0;
}
bool CPseudoTerminal::WaitQueued(size_t, int) {
    return false;
}
size_t CPseudoTerminal::ReadFromHost(void*, size_t, int) {
    return 0;
}
bool CPseudoTerminal::MakeLink(const std::string&, std::string*) {
    return false;
}
void CPseudoTerminal::RemoveLink() {}
