// A folder of one test case's own under the system's temporary folder, named
// with Chinese characters as a user's folder may be.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <system_error>

// "<temp>/<prefix><test case>" in UTF-8 with '/', made empty; false when it
// cannot be made.
inline bool MakeTestFolder(const std::string& prefix, std::string& folder) {
    namespace fs = std::filesystem;
    folder = fs::temp_directory_path().generic_u8string();
    if (folder.back() != '/')
        folder += '/';
    folder += prefix + ::testing::UnitTest::GetInstance()->current_test_info()->name();
    std::error_code error;
    fs::remove_all(fs::u8path(folder), error);
    return fs::create_directories(fs::u8path(folder), error);
}

inline void RemoveTestFolder(const std::string& folder) {
    std::error_code error;
    std::filesystem::remove_all(std::filesystem::u8path(folder), error);
}
