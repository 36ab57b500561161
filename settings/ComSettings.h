// Section "Com" of the settings file: the serial settings bar's port and baud
// choice.
#pragma once

#include <string>

// What the file holds, with the defaults of a missing key.
struct ComSettings {
    int com = 0;
    std::string baund = "38400";
    std::string baunds = "2400,4800,9600,14400,19200,38400";
};

// What the close of the window writes (built from the bar's lists).
struct ComSection {
    bool writeBaund = false;  // only when the baud text's value is above 0
    std::string baund;
    std::string com;
    std::string baunds;
};

ComSettings LoadComSection(const std::string& path);
// Writes "baund" (when due), then "com", then "baunds".
void SaveComSection(const ComSection& section, const std::string& path);
