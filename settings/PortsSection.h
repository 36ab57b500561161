// Section "Ports" of the settings file: keys "com1" to "com15" name the device
// file of that port number (for example com3=/dev/serial/by-id/...). Read
// once at start; never written.
#pragma once

#include <map>
#include <string>

// Port number -> device file, for the keys that hold a value; keys without a
// value are left out.
std::map<int, std::string> ReadPortsSection(const std::string& path);
