#include "settings/DataSection.h"

#include "settings/ProfileFile.h"

uint8_t ReadHeaderByte(const std::string& path) {
    return static_cast<uint8_t>(ReadProfileInt("Data", "head", 255, path) & 0xFF);
}
