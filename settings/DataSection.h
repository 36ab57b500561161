// Section "Data" of the settings file: the frame header byte.
#pragma once

#include <cstdint>
#include <string>

// "head" of section "Data" (default 255); only its low 8 bits count.
uint8_t ReadHeaderByte(const std::string& path);
// Writes "head" as the decimal text of `header`.
void WriteHeaderByte(uint8_t header, const std::string& path);
