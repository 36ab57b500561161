// Section "Colour" of the settings file: the colour page's parameters.
#pragma once

#include <string>
#include <vector>

struct CColourSettings {
    int row = 0;
    int column = 0;
    int interrow = 0;
    int intercolumn = 0;

    // Keys in the order row, column, interrow, intercolumn; as CBlackSettings.
    static CColourSettings Load(const std::string& path);
    void Save(const std::string& path, const std::vector<std::string>& skip = {}) const;
};
