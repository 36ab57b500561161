#include "pages/PageSettings.h"

#include <unistd.h>

#include <vector>

#include "pages/ProfileFile.h"
#include "serial/PortDevices.h"

std::string GetExeDirectory() {
    std::vector<char> buf(1001);
    const ssize_t n = readlink("/proc/self/exe", buf.data(), buf.size() - 1);
    if (n <= 0)
        return std::string();
    const std::string path(buf.data(), static_cast<size_t>(n));
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(0, slash + 1);
}

std::string SettingsFilePath() {
    return GetExeDirectory() + "DevSet.ini";
}

uint8_t ReadHeaderByte(const std::string& path) {
    return static_cast<uint8_t>(ReadProfileInt("Data", "head", 255, path) & 0xFF);
}

namespace {

void WriteInt(const char* section, const char* key, int value, const std::string& path) {
    WriteProfileString(section, key, std::to_string(value), path);
}

}  // namespace

CBlackSettings CBlackSettings::Load(const std::string& path) {
    CBlackSettings s;
    s.row = ReadProfileInt("Black", "row", 0, path);
    s.column = ReadProfileInt("Black", "column", 0, path);
    s.bnumbr = ReadProfileInt("Black", "bnumbr", 0, path);
    s.threshold = ReadProfileInt("Black", "threshold", 0, path);
    s.bimage = ReadProfileInt("Black", "bimage", 1, path);
    s.interrow = ReadProfileInt("Black", "interrow", 0, path);
    s.intercolumn = ReadProfileInt("Black", "intercolumn", 0, path);
    return s;
}

void CBlackSettings::Save(const std::string& path) const {
    WriteInt("Black", "row", row, path);
    WriteInt("Black", "column", column, path);
    WriteInt("Black", "bnumbr", bnumbr, path);
    WriteInt("Black", "threshold", threshold, path);
    WriteInt("Black", "bimage", bimage, path);
    WriteInt("Black", "interrow", interrow, path);
    WriteInt("Black", "intercolumn", intercolumn, path);
}

CColourSettings CColourSettings::Load(const std::string& path) {
    CColourSettings s;
    s.row = ReadProfileInt("Colour", "row", 0, path);
    s.column = ReadProfileInt("Colour", "column", 0, path);
    s.interrow = ReadProfileInt("Colour", "interrow", 0, path);
    s.intercolumn = ReadProfileInt("Colour", "intercolumn", 0, path);
    return s;
}

void CColourSettings::Save(const std::string& path) const {
    WriteInt("Colour", "row", row, path);
    WriteInt("Colour", "column", column, path);
    WriteInt("Colour", "interrow", interrow, path);
    WriteInt("Colour", "intercolumn", intercolumn, path);
}

void LoadPortDevices(const std::string& path) {
    for (int n = 1; n <= 15; ++n) {
        const std::string device =
            ReadProfileString("Ports", "com" + std::to_string(n), std::string(), path);
        if (!device.empty())
            SetPortDevicePath(n, device);
    }
}
