// The settings file: key-by-key reads and writes that leave the rest of a
// hand-edited (even Windows-edited) file alone, and the pages' sections.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <sstream>

#include "pages/PageSettings.h"
#include "pages/ProfileFile.h"
#include "serial/PortDevices.h"

namespace {

class SettingsFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        char dir[] = "/tmp/tavix-ini-XXXXXX";
        ASSERT_NE(mkdtemp(dir), nullptr);
        folder = dir;
        path = folder + "/DevSet.ini";
    }
    void TearDown() override {
        std::remove(path.c_str());
        std::remove((path + ".tmp").c_str());
        rmdir(folder.c_str());
    }
    void Write(const std::string& bytes) { std::ofstream(path, std::ios::binary) << bytes; }
    std::string Read() {
        std::ifstream in(path, std::ios::binary);
        std::ostringstream s;
        s << in.rdbuf();
        return s.str();
    }
    std::string folder, path;
};

const char kWindowsFile[] =
    "\xEF\xBB\xBF; written on Windows\r\n"
    "[Data]\r\n"
    "head = 170\r\n"
    "\r\n"
    " [ black ] \r\n"
    "ROW=60\r\n"
    "column = 80 \r\n"
    "; keep me\r\n"
    "threshold=-12\r\n"
    "\r\n"
    "[Unknown]\r\n"
    "x=1\r\n";

TEST_F(SettingsFileTest, ReadsAWindowsEditedFile) {
    Write(kWindowsFile);
    EXPECT_EQ(ReadHeaderByte(path), 170);
    const CBlackSettings b = CBlackSettings::Load(path);
    EXPECT_EQ(b.row, 60);  // names match whatever their case and blanks
    EXPECT_EQ(b.column, 80);
    EXPECT_EQ(b.threshold, -12);
    EXPECT_EQ(b.bimage, 1);  // missing: its default
    EXPECT_EQ(b.bnumbr, 0);
    EXPECT_EQ(ReadProfileString("unknown", "X", "", path), "1");
    EXPECT_EQ(ReadProfileString("Black", "keep me", "none", path), "none");  // a comment
}

TEST_F(SettingsFileTest, WritingAKeyLeavesEveryOtherByte) {
    Write(kWindowsFile);
    ASSERT_TRUE(WriteProfileString("Black", "column", "120", path));
    std::string expected = kWindowsFile;
    expected.replace(expected.find("column = 80 "), 12, "column =120");
    EXPECT_EQ(Read(), expected);

    // A new key goes after the section's last key, in the file's line ends.
    ASSERT_TRUE(WriteProfileString("Black", "interrow", "2", path));
    expected.insert(expected.find("\r\n\r\n[Unknown]") + 2, "interrow=2\r\n");
    EXPECT_EQ(Read(), expected);
    // A new section goes at the end.
    ASSERT_TRUE(WriteProfileString("Colour", "row", "30", path));
    EXPECT_EQ(Read(), expected + "[Colour]\r\nrow=30\r\n");
    EXPECT_EQ(ReadProfileInt("colour", "ROW", 0, path), 30);
}

TEST_F(SettingsFileTest, MissingFileGivesDefaultsAndIsCreatedOnWrite) {
    EXPECT_EQ(ReadHeaderByte(path), 255);
    EXPECT_EQ(ReadProfileInt("Black", "row", 7, path), 7);
    EXPECT_EQ(ReadProfileString("Com", "baund", "38400", path), "38400");
    ASSERT_TRUE(WriteProfileString("Com", "com", "2", path));
    EXPECT_EQ(Read(), "[Com]\ncom=2\n");
    // A file whose last line has no line end gets one before the new key.
    Write("[Com]\ncom=2");
    ASSERT_TRUE(WriteProfileString("Com", "baund", "9600", path));
    EXPECT_EQ(Read(), "[Com]\ncom=2\nbaund=9600\n");
}

TEST_F(SettingsFileTest, IntegersRoundTripAndGarbageReadsAsZero) {
    for (int v : {0, 1, -1, 255, 2147483647, -2147483647 - 1}) {
        ASSERT_TRUE(WriteProfileString("Black", "row", std::to_string(v), path));
        EXPECT_EQ(ReadProfileInt("Black", "row", 99, path), v);
    }
    Write("[Black]\nrow=abc\ncolumn=12abc\nthreshold=\ninterrow=  +7\nintercolumn=99999999999\n");
    EXPECT_EQ(ReadProfileInt("Black", "row", 99, path), 0);
    EXPECT_EQ(ReadProfileInt("Black", "column", 99, path), 12);
    EXPECT_EQ(ReadProfileInt("Black", "threshold", 99, path), 0);
    EXPECT_EQ(ReadProfileInt("Black", "interrow", 99, path), 7);
    EXPECT_EQ(ReadProfileInt("Black", "intercolumn", 99, path), 2147483647);
}

TEST_F(SettingsFileTest, HeaderKeepsItsLowEightBits) {
    Write("[Data]\nhead=256\n");
    EXPECT_EQ(ReadHeaderByte(path), 0);
    Write("[Data]\nhead=300\n");
    EXPECT_EQ(ReadHeaderByte(path), 44);
    Write("[Data]\nhead=-1\n");
    EXPECT_EQ(ReadHeaderByte(path), 255);
}

TEST_F(SettingsFileTest, TextsAreCutTo1023Bytes) {
    ASSERT_TRUE(WriteProfileString("Com", "baunds", std::string(3000, '9'), path));
    EXPECT_EQ(ReadProfileString("Com", "baunds", "", path).size(), 1023u);
    ASSERT_TRUE(WriteProfileString("Com", "baund", "\"quoted\"", path));
    EXPECT_EQ(ReadProfileString("Com", "baund", "", path), "quoted");
    // A line break in a value cannot split the line.
    ASSERT_TRUE(WriteProfileString("Com", "baund", "96\n[Evil]\nx=1", path));
    EXPECT_EQ(ReadProfileString("Evil", "x", "none", path), "none");
}

TEST_F(SettingsFileTest, UnwritablePlaceFailsWithoutDamage) {
    const std::string bad = folder + "/no/such/dir/DevSet.ini";
    EXPECT_FALSE(WriteProfileString("Com", "com", "1", bad));
}

TEST_F(SettingsFileTest, PageSectionsAreIndependentAndWrittenInOrder) {
    CBlackSettings b;
    b.row = 60;
    b.column = 80;
    b.bnumbr = 1;
    b.threshold = 128;
    b.bimage = 0;
    b.intercolumn = 1;
    b.Save(path);
    CColourSettings c;
    c.row = 30;
    c.column = 40;
    c.interrow = 2;
    c.Save(path);
    EXPECT_EQ(Read(),
              "[Black]\nrow=60\ncolumn=80\nbnumbr=1\nthreshold=128\nbimage=0\ninterrow=0\n"
              "intercolumn=1\n[Colour]\nrow=30\ncolumn=40\ninterrow=2\nintercolumn=0\n");
    const CBlackSettings b2 = CBlackSettings::Load(path);
    EXPECT_EQ(b2.row, 60);
    EXPECT_EQ(b2.bimage, 0);
    EXPECT_EQ(b2.threshold, 128);
    const CColourSettings c2 = CColourSettings::Load(path);
    EXPECT_EQ(c2.row, 30);
    EXPECT_EQ(c2.interrow, 2);
    EXPECT_EQ(c2.intercolumn, 0);
}

TEST_F(SettingsFileTest, PortsSectionOverridesTheDeviceTable) {
    Write("[Ports]\ncom3=/dev/serial/by-id/usb-board\nCOM15 = /tmp/cam0\ncom7=\n");
    LoadPortDevices(path);
    EXPECT_EQ(PortDevicePath(3), "/dev/serial/by-id/usb-board");
    EXPECT_EQ(PortDevicePath(15), "/tmp/cam0");
    EXPECT_EQ(PortDevicePath(7), "/dev/ttyUSB2");
    SetPortDevicePath(3, "");
    SetPortDevicePath(15, "");
}

TEST(ExeDirectory, IsTheTestBinarysFolder) {
    const std::string dir = GetExeDirectory();
    ASSERT_FALSE(dir.empty());
    EXPECT_EQ(dir.back(), '/');
    EXPECT_EQ(access((dir + "SettingsFileTest").c_str(), X_OK), 0);
    EXPECT_EQ(SettingsFilePath(), dir + "DevSet.ini");
}

}  // namespace
