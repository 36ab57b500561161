#include <windows.h>

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
    const int n = MultiByteToWideChar(CP_UTF8, 0, name, -1, nullptr, 0);
    if (n <= 0)
        return;
    std::wstring wide(static_cast<size_t>(n), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, name, -1, wide.data(), n);
    (void)describe(GetCurrentThread(), wide.c_str());
}
