// Where the program's files are: the executable's directory and the settings
// file DevSet.ini beside it. Worked out once, at start-up, by the
// application; everything below it is handed the path.
#pragma once

#include <string>

// The directory of the running executable, with its trailing '/'.
std::string GetExeDirectory();
// GetExeDirectory() + "DevSet.ini".
std::string SettingsFilePath();
