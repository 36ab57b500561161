// Maps the serial port numbers the user sees (COM1..COM15) to device files.
#pragma once

#include <map>
#include <string>

// The device file behind port number `number`. An override set with
// SetPortDevicePath wins; otherwise the default table applies:
// COM1-COM4 -> /dev/ttyS0-3, COM5-COM10 -> /dev/ttyUSB0-5, COM11-COM15 -> /dev/ttyACM0-4.
// Numbers outside 1..15 have no default and give an empty path.
std::string PortDevicePath(int number);

// Points port number `number` at `path` for the whole process; an empty path
// restores the default. Safe to call from any thread.
void SetPortDevicePath(int number, const std::string& path);

// SetPortDevicePath for each entry (the settings file's "Ports" section).
void SetPortDevicePaths(const std::map<int, std::string>& paths);

// What tells the device at `path` apart from another one that may appear at
// the same path later: the name of its link in /dev/serial/by-id (the
// adapter's make and serial number) when it has one, else `path` itself.
// Empty when no device is there now.
std::string DeviceIdentity(const std::string& path);
