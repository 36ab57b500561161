#include "settings/DataSection.h"

#include "settings/ProfileFile.h"

uint8_t ReadHeaderByte(const std::string& path) {
    return static_cast<uint8_t>(ReadProfileInt("Data", "head", 255, path) & 0xFF);
}

void WriteHeaderByte(uint8_t header, const std::string& path) {
    WriteProfileString("Data", "head", std::to_string(header), path);
}
