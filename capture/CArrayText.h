// A block of bytes as C source text, for pasting a frame into firmware or a
// test program.
#pragma once

#include <cstdint>
#include <string>

// "const unsigned char NAME[ROWS][COLUMNS] = {\n    {v, v, ...},\n    ...\n};\n"
// with `values` read row by row (rows * columns of them). Every value is
// right-aligned to the widest one; a row of more than 16 values goes on over
// further source lines, indented under its first value. An empty text when
// rows or columns is 0: C has no empty array to write.
std::string CArrayText(const std::string& name, uint32_t rows, uint32_t columns,
                       const uint8_t* values);
