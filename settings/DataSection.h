// Section "Data" of the settings file: the frame header byte, read only.
#pragma once

#include <cstdint>
#include <string>

// "head" of section "Data" (default 255); only its low 8 bits count.
uint8_t ReadHeaderByte(const std::string& path);
