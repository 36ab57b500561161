#include "pages/PageSettings.h"

#include <algorithm>

#include <unistd.h>

#include <initializer_list>
#include <utility>
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

// A section's keys in their order of reading and writing, each with its field;
// a field's initial value is the key's default.
template <typename S>
using Keys = std::initializer_list<std::pair<const char*, int S::*>>;

const Keys<CBlackSettings> kBlackKeys = {{"row", &CBlackSettings::row},
                                         {"column", &CBlackSettings::column},
                                         {"bnumbr", &CBlackSettings::bnumbr},
                                         {"threshold", &CBlackSettings::threshold},
                                         {"bimage", &CBlackSettings::bimage},
                                         {"interrow", &CBlackSettings::interrow},
                                         {"intercolumn", &CBlackSettings::intercolumn}};

const Keys<CColourSettings> kColourKeys = {{"row", &CColourSettings::row},
                                           {"column", &CColourSettings::column},
                                           {"interrow", &CColourSettings::interrow},
                                           {"intercolumn", &CColourSettings::intercolumn}};

template <typename S>
S LoadKeys(const char* section, const Keys<S>& keys, const std::string& path) {
    S s;
    for (const auto& [key, field] : keys)
        s.*field = ReadProfileInt(section, key, s.*field, path);
    return s;
}

template <typename S>
void SaveKeys(const S& s, const char* section, const Keys<S>& keys, const std::string& path,
              const std::vector<std::string>& skip) {
    for (const auto& [key, field] : keys)
        if (std::find(skip.begin(), skip.end(), key) == skip.end())
            WriteProfileString(section, key, std::to_string(s.*field), path);
}

}  // namespace

CBlackSettings CBlackSettings::Load(const std::string& path) {
    return LoadKeys("Black", kBlackKeys, path);
}

void CBlackSettings::Save(const std::string& path, const std::vector<std::string>& skip) const {
    SaveKeys(*this, "Black", kBlackKeys, path, skip);
}

CColourSettings CColourSettings::Load(const std::string& path) {
    return LoadKeys("Colour", kColourKeys, path);
}

void CColourSettings::Save(const std::string& path, const std::vector<std::string>& skip) const {
    SaveKeys(*this, "Colour", kColourKeys, path, skip);
}

void LoadPortDevices(const std::string& path) {
    for (int n = 1; n <= 15; ++n) {
        const std::string device =
            ReadProfileString("Ports", "com" + std::to_string(n), std::string(), path);
        if (!device.empty())
            SetPortDevicePath(n, device);
    }
}
