// A section of integer keys read and written through a table of the keys in
// their order, each with the field of the settings structure it fills.
#pragma once

#include <algorithm>
#include <initializer_list>
#include <string>
#include <utility>
#include <vector>

#include "settings/ProfileFile.h"

namespace settings {

// A field's initial value is its key's default.
template <typename S>
using Keys = std::initializer_list<std::pair<const char*, int S::*>>;

template <typename S>
S LoadKeys(const char* section, const Keys<S>& keys, const std::string& path) {
    S s;
    for (const auto& [key, field] : keys)
        s.*field = ReadProfileInt(section, key, s.*field, path);
    return s;
}

// Each key as "%d", in table order, except the keys in `skip`.
template <typename S>
void SaveKeys(const S& s, const char* section, const Keys<S>& keys, const std::string& path,
              const std::vector<std::string>& skip) {
    for (const auto& [key, field] : keys)
        if (std::find(skip.begin(), skip.end(), key) == skip.end())
            WriteProfileString(section, key, std::to_string(s.*field), path);
}

}  // namespace settings
