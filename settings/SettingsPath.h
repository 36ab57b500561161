// Where the program's files are: the executable's directory and the settings
// file DevSet.ini beside it. Worked out once, at start-up, by the
// application; everything below it is handed the path.
#pragma once

#include <string>

#include "settings/Translation.h"

// The directory of the running executable, with its trailing '/'.
std::string GetExeDirectory();
// The settings file in use. DevSet.ini beside the executable when it can be
// written there, or created there by a program that is not installed (a build
// tree, a portable copy, a writable file in a read-only folder); otherwise
// (an installed program: its help file in ../share/tavixtool) DevSet.ini in the
// user's configuration folder, $XDG_CONFIG_HOME/TavixTool (~/.config/TavixTool
// when unset), whose keys come from a DevSet.ini beside the executable, if
// any, until the first write creates it from that file.
std::string SettingsFilePath();

// The choice itself, for an executable folder and a configuration folder
// (with their trailing '/'): the path, and the defaults file ("" for none).
struct SettingsLocation {
    std::string path;
    std::string defaults;
};
SettingsLocation ResolveSettingsLocation(const std::string& exeDir, const std::string& configDir,
                                         bool installed);

// Where the program's help file and pages are, with its trailing '/': beside
// the executable (a build tree, a portable copy), or ../share/tavixtool/
// from it (an installed program), or tavixtool/ in $XDG_DATA_DIRS when the
// executable's folder cannot be found.
std::string ProgramDataDirectory();

// The help file of a language in that folder: "Help.chm" (Chinese) or
// "Help_en.chm" (English).
const char* HelpFileName(tx::Language language);

// $XDG_CONFIG_HOME/TavixTool/, or $HOME/.config/TavixTool/ (%APPDATA%/TavixTool/ on
// Windows).
std::string UserConfigDirectory();
