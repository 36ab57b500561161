// The platform's part of the port list: which port numbers are tried, and
// whether two device names are one device. ProbeDevice (PortSelection.h) is
// defined beside these, one file per platform.
#pragma once

#include <string>
#include <vector>

// The port numbers the port list tries: COM1..COM15 on Linux, the COM ports
// the system knows on Windows.
std::vector<int> PortNumbersToProbe();

// Whether two device names name one device (links and aliases included).
bool SameDevice(const std::string& a, const std::string& b);
