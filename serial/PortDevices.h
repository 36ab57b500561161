// Maps the serial port numbers the user sees (COM1..COM15) to device files.
#pragma once

#include <map>
#include <string>
#include <vector>

// The device file behind port number `number`. An override set with
// SetPortDevicePath wins; otherwise the default table applies:
// COM1-COM4 -> /dev/ttyS0-3, COM5-COM10 -> /dev/ttyUSB0-5, COM11-COM15 -> /dev/ttyACM0-4.
// Numbers outside 1..15 have no default and give an empty path.
// On Windows port numbers are the system's own: COMn is \\.\COMn, any n >= 1.
std::string PortDevicePath(int number);

// Points port number `number` at `path` for the whole process; an empty path
// restores the default. Safe to call from any thread.
void SetPortDevicePath(int number, const std::string& path);

// SetPortDevicePath for each entry (the settings file's "Ports" section).
void SetPortDevicePaths(const std::map<int, std::string>& paths);

// The system's own table behind PortDevicePath, without the overrides.
std::string DefaultPortDevicePath(int number);

// What tells the device at `path` apart from another one that may appear at
// the same path later: the name of its link in /dev/serial/by-id (the
// adapter's make and serial number) when it has one, else `path` itself.
// Empty when no device is there now. On Windows: `path` while the system
// knows the port.
std::string DeviceIdentity(const std::string& path);

// Windows only, for now: the COM port numbers the system knows at this moment
// (its DOS device names COM1, COM2, ...), ascending.
std::vector<int> SystemPortNumbers();
