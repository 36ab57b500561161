// The program's settings file DevSet.ini beside the executable: the capture
// pages' sections "Black" and "Colour", the header byte in "Data", and the
// serial device table in "Ports".
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// The directory of the running executable, with its trailing '/'.
std::string GetExeDirectory();
// GetExeDirectory() + "DevSet.ini".
std::string SettingsFilePath();

// "head" of section "Data" (default 255); only its low 8 bits count.
uint8_t ReadHeaderByte(const std::string& path);

// Section "Black": the grayscale page's parameters.
struct CBlackSettings {
    int row = 0;
    int column = 0;
    int bnumbr = 0;  // the binarized listing option
    int threshold = 0;
    int bimage = 1;  // the camera image option
    int interrow = 0;
    int intercolumn = 0;

    // Reads the keys in the order row, column, bnumbr, threshold, bimage,
    // interrow, intercolumn; missing keys keep the defaults above.
    static CBlackSettings Load(const std::string& path);
    // Writes them in the same order, each as "%d", except the keys in `skip`,
    // whose values in the file stay as they are.
    void Save(const std::string& path, const std::vector<std::string>& skip = {}) const;
};

// Section "Colour": the colour page's parameters.
struct CColourSettings {
    int row = 0;
    int column = 0;
    int interrow = 0;
    int intercolumn = 0;

    static CColourSettings Load(const std::string& path);
    void Save(const std::string& path, const std::vector<std::string>& skip = {}) const;
};

// Section "Ports": keys "com1" to "com15" name the device file of that port
// number, overriding the default table (for example com3=/dev/serial/by-id/...).
// Read once at start; never written. Keys without a value are ignored.
void LoadPortDevices(const std::string& path);
