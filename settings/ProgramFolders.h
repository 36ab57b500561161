// The system's own answers on where things are, one source file per system
// (ProgramFoldersPosix.cpp, ProgramFoldersWin32.cpp). Paths are UTF-8 with
// '/' between folders.
#pragma once

#include <string>

// The running executable's full path; "" when it cannot be found.
std::string ExecutableFilePath();

// The folder below which a user's programs keep their settings, without a
// trailing '/': $XDG_CONFIG_HOME (when absolute) or $HOME/.config on Linux,
// %APPDATA% on Windows.
std::string UserSettingsBase();
