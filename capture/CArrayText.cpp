#include "capture/CArrayText.h"

#include <algorithm>

namespace {

constexpr uint32_t kValuesPerLine = 16;

}  // namespace

std::string CArrayText(const std::string& name, uint32_t rows, uint32_t columns,
                       const uint8_t* values) {
    if (rows == 0 || columns == 0 || values == nullptr)
        return std::string();
    const uint64_t count = static_cast<uint64_t>(rows) * columns;
    const uint8_t widest = *std::max_element(values, values + count);
    const size_t width = widest >= 100 ? 3 : widest >= 10 ? 2 : 1;

    std::string text = "const unsigned char " + name + "[" + std::to_string(rows) + "][" +
                       std::to_string(columns) + "] = {\n";
    text.reserve(text.size() + count * (width + 2) + (count / kValuesPerLine + rows) * 8 + 4);
    for (uint32_t r = 0; r < rows; ++r) {
        text += "    {";
        for (uint32_t c = 0; c < columns; ++c) {
            if (c > 0)
                text += c % kValuesPerLine == 0 ? ",\n     " : ", ";
            const std::string number =
                std::to_string(values[r * static_cast<uint64_t>(columns) + c]);
            text.append(width - number.size(), ' ');
            text += number;
        }
        text += r + 1 < rows ? "},\n" : "}\n";
    }
    text += "};\n";
    return text;
}
