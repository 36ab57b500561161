// Section "Com" of the settings file: the serial settings bar's port and baud
// choice.
#pragma once

#include <string>

// What the file holds, with the defaults of a missing key.
struct ComSettings {
    int com = 0;
    // The chosen entry's name ("COM5", or a typed device path); when it is
    // set, it is chosen again by name instead of by the position "com".
    // Files written before it existed have none and load as they did.
    std::string port;
    // A device path the user typed (/dev/ttyAMA0, a /dev/serial/by-id name),
    // offered after the probed ports; empty when none.
    std::string device;
    std::string baund = "38400";
    std::string baunds = "2400,4800,9600,14400,19200,38400";
};

// What the close of the window writes (built from the bar's lists).
struct ComSection {
    bool writeBaund = false;  // only when the baud text's value is above 0
    std::string baund;
    std::string com;
    std::string baunds;
    std::string port;
    std::string device;
};

ComSettings LoadComSection(const std::string& path);
// Writes "baund" (when due), then "com", then "baunds", then "port", then
// "device" (when there is one, or the file had one).
void SaveComSection(const ComSection& section, const std::string& path);
