// The help command's binding to the help viewer. The CHM reader library
// (chmlib, package libchm1) is not linked: it is loaded with dlopen when help
// is first asked for, so the tool starts and runs without it and only the help
// command does nothing. The binding is process-wide and made once.
#pragma once

#include <chm_lib.h>  // types only; the functions are called through ChmFunctions

#include <cstdint>
#include <string>

class QWidget;

// The commands of ResolveHtmlHelp.
constexpr unsigned kHelpDisplayTopic = 0;

// The chmlib functions the viewer calls, resolved from the loaded library.
struct ChmFunctions {
    decltype(&chm_open) open = nullptr;
    decltype(&chm_close) close = nullptr;
    decltype(&chm_resolve_object) resolveObject = nullptr;
    decltype(&chm_retrieve_object) retrieveObject = nullptr;
    decltype(&chm_enumerate) enumerate = nullptr;
};

// Runs help command `command` on the CHM file `path`, binding the viewer first
// if that has not been done. kHelpDisplayTopic shows the topic named by `data`
// (a const char* path inside the CHM, such as "frame-format.html"), or the
// file's default topic when `data` is 0, in the help window: a top-level,
// non-modal window owned by `owner` (may be null), created at the first call
// and reused by the later ones. Returns that window, or nullptr when the viewer
// cannot be bound (the library is missing or incomplete: no second attempt is
// made in this process), for an unknown command, or when called outside the
// user-interface thread. A CHM file that cannot be opened still opens the
// window, which then says so: the call never blocks on a message box.
QWidget* ResolveHtmlHelp(QWidget* owner, const std::string& path, unsigned command, uintptr_t data);

// Test hook: the library to load instead of "libchm.so.1". Takes effect at the
// next load attempt.
void SetHelpLibraryName(const std::string& name);

// Test hook: deletes the help window, unloads the library and clears the
// binding (the failed flag, the attempt count, the library name), as at start.
void ResetHtmlHelpBinding();

// Test hooks: whether binding has failed, and how many times the library was
// loaded (dlopen calls) since start or the last reset.
bool HtmlHelpFailed();
int HtmlHelpLoadAttempts();
