// Section "Black" of the settings file: the grayscale page's parameters.
#pragma once

#include <string>
#include <vector>

struct CBlackSettings {
    int row = 0;
    int column = 0;
    int bnumbr = 0;  // the binarized listing option
    int threshold = 0;
    int bimage = 1;  // the camera image option
    int interrow = 0;
    int intercolumn = 0;

    // Reads the keys in the order row, column, bnumbr, threshold, bimage,
    // interrow, intercolumn; missing keys keep the defaults above.
    static CBlackSettings Load(const std::string& path);
    // Writes them in the same order, each as "%d", except the keys in `skip`,
    // whose values in the file stay as they are.
    void Save(const std::string& path, const std::vector<std::string>& skip = {}) const;
};
