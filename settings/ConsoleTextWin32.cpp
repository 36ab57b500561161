#include "settings/ConsoleText.h"

#include <windows.h>

#include <shellapi.h>

#include <filesystem>
#include <string>
#include <vector>

void UseUtf8Console(int& argc, char**& argv) {
    SetConsoleOutputCP(CP_UTF8);
    // The progress line is redrawn with "\r\033[K": Windows 10 consoles
    // take such sequences once asked to.
    for (DWORD which : {STD_OUTPUT_HANDLE, STD_ERROR_HANDLE}) {
        HANDLE h = GetStdHandle(which);
        DWORD mode = 0;
        if (h != INVALID_HANDLE_VALUE && GetConsoleMode(h, &mode))
            SetConsoleMode(h, mode | ENABLE_VIRTUAL_TERMINAL_PROCESSING);
    }
    int count = 0;
    wchar_t** wide = CommandLineToArgvW(GetCommandLineW(), &count);
    if (wide == nullptr)
        return;  // the ANSI arguments are still there
    static std::vector<std::string> arguments;
    static std::vector<char*> pointers;
    arguments.clear();
    for (int i = 0; i < count; ++i)
        arguments.push_back(std::filesystem::path(wide[i]).u8string());
    LocalFree(wide);
    pointers.clear();
    for (std::string& a : arguments)
        pointers.push_back(&a[0]);
    pointers.push_back(nullptr);
    argc = count;
    argv = pointers.data();
}
