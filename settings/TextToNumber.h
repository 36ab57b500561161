// The numeric value of a text as the settings file, the port and baud choices
// and the pages' boxes read it.
#pragma once

#include <string>

// Leading white space skipped, an optional sign and the decimal digits after
// it; 0 when no digit follows. Out-of-range values saturate instead of
// overflowing.
int TextToNumber(const std::string& text);
