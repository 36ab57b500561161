#include <windows.h>

#include <filesystem>
#include <string>

#include "capture/ThreadPriority.h"

void RaiseThreadPriority() {
    // Above the normal class, as far as a program may go without asking for
    // the real-time ones; a refusal is ignored.
    (void)SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_HIGHEST);
}

void NameThisThread(const char* name) {
    // SetThreadDescription exists from Windows 10 1607 on: looked up, so that
    // the program still starts on older systems.
    using Describe = HRESULT(WINAPI*)(HANDLE, PCWSTR);
    const HMODULE kernel = GetModuleHandleW(L"kernel32.dll");
    if (kernel == nullptr)
        return;
    const auto describe = reinterpret_cast<Describe>(
        reinterpret_cast<void*>(GetProcAddress(kernel, "SetThreadDescription")));
    if (describe == nullptr)
        return;
    (void)describe(GetCurrentThread(), std::filesystem::u8path(name).wstring().c_str());
}
