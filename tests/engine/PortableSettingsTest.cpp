// The settings file and the program's folders through each system's own file
// access: UTF-8 (Chinese) folder names, safe replacement that keeps the
// user's lines, a read-only file left alone, and the folders the settings
// file is looked for in.
#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "TestFolder.h"
#include "settings/ProfileFile.h"
#include "settings/SettingsPath.h"

namespace {

namespace fs = std::filesystem;

std::string Bytes(const std::string& path) {
    std::ifstream in(fs::u8path(path), std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

void Put(const std::string& path, const std::string& bytes) {
    std::ofstream out(fs::u8path(path), std::ios::binary);
    out << bytes;
}

class PortableSettingsTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(MakeTestFolder("设置-", folder));
        path = folder + "/DevSet.ini";
        SetProfileWriteFailureHandler(
            [this](const std::string&, int error) { failures.push_back(error); });
    }
    void TearDown() override {
        SetProfileWriteFailureHandler({});
        std::error_code error;
        fs::permissions(fs::u8path(path), fs::perms::owner_write, fs::perm_options::add, error);
        RemoveTestFolder(folder);
    }
    std::string folder, path;
    std::vector<int> failures;
};

TEST_F(PortableSettingsTest, WritesAndReadsInAFolderWithAChineseName) {
    EXPECT_TRUE(WriteProfileString("Com", "com", "3", path));
    EXPECT_TRUE(WriteProfileString("Window", "标题", "摄像头 测试", path));
    EXPECT_EQ(ReadProfileInt("Com", "com", -1, path), 3);
    EXPECT_EQ(ReadProfileString("Window", "标题", "", path), "摄像头 测试");
    EXPECT_EQ(Bytes(path), "[Com]\ncom=3\n[Window]\n标题=摄像头 测试\n");
    EXPECT_TRUE(failures.empty());
    // Nothing is left behind beside it but the writers' lock file.
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(fs::u8path(folder)))
        names.push_back(entry.path().filename().u8string());
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"DevSet.ini", "DevSet.ini.lock"}));
}

TEST_F(PortableSettingsTest, ReplacingAValueKeepsTheUsersLinesAndLineEnds) {
    Put(path, "; hand-written\r\n[Com]\r\ncom = 1 \r\nbaund=9600\r\n\r\n[Other]\r\nx=y\r\n");
    EXPECT_TRUE(WriteProfileString("Com", "com", "7", path));
    EXPECT_TRUE(WriteProfileString("Com", "port", "COM7", path));
    EXPECT_EQ(
        Bytes(path),
        "; hand-written\r\n[Com]\r\ncom =7\r\nbaund=9600\r\nport=COM7\r\n\r\n[Other]\r\nx=y\r\n");
}

TEST_F(PortableSettingsTest, AReadOnlyFileIsLeftAloneAndTheChangeKept) {
    Put(path, "[Com]\ncom=1\n");
    fs::permissions(fs::u8path(path),
                    fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                    fs::perm_options::remove);
    int error = -1;
    EXPECT_FALSE(CanWriteProfile(path, error));
    EXPECT_EQ(error, 0);
    EXPECT_FALSE(WriteProfileString("Com", "com", "2", path));
    EXPECT_EQ(failures, std::vector<int>{0});
    EXPECT_EQ(Bytes(path), "[Com]\ncom=1\n");
    // Writable again: the kept change goes in with the next write.
    fs::permissions(fs::u8path(path), fs::perms::owner_write, fs::perm_options::add);
    EXPECT_TRUE(WriteProfileString("Com", "baund", "115200", path));
    EXPECT_EQ(Bytes(path), "[Com]\ncom=2\nbaund=115200\n");
}

TEST_F(PortableSettingsTest, AFolderWhereTheFileBelongsIsNamedAsTheCause) {
    ASSERT_TRUE(fs::create_directory(fs::u8path(path)));
    EXPECT_FALSE(WriteProfileString("Com", "com", "2", path));
    EXPECT_EQ(failures, std::vector<int>{EISDIR});
    const std::string missing = folder + "/无此文件夹/DevSet.ini";
    EXPECT_FALSE(WriteProfileString("Com", "com", "2", missing));
    ASSERT_EQ(failures.size(), 2u);
    EXPECT_EQ(failures[1], ENOENT);
}

TEST(PortableProgramFoldersTest, TheExecutablesFolderAndTheUsersSettingsFolder) {
    const std::string exe = GetExeDirectory();
    ASSERT_FALSE(exe.empty());
    EXPECT_EQ(exe.back(), '/');
    EXPECT_TRUE(fs::exists(fs::u8path(exe + TAVIX_TEST_EXE_NAME))) << exe;
    // The test's own home stands in for the user's folders.
    const std::string config = UserConfigDirectory();
    EXPECT_EQ(config.rfind(TAVIX_TEST_HOME, 0), 0u) << config;
    EXPECT_EQ(config.substr(config.size() - 10), "TavixTool/");
    // A build tree's program keeps its settings beside itself.
    const SettingsLocation where = ResolveSettingsLocation(exe, config, false);
    EXPECT_EQ(where.path, exe + "DevSet.ini");
}

}  // namespace
