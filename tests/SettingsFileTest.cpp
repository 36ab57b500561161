// The settings file: key-by-key reads and writes that leave the rest of a
// hand-edited (even Windows-edited) file alone, and the pages' sections.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "serial/PortDevices.h"
#include "settings/BlackSettings.h"
#include "settings/ColourSettings.h"
#include "settings/DataSection.h"
#include "settings/PortsSection.h"
#include "settings/ProfileFile.h"
#include "settings/SettingsPath.h"
#include "settings/TextToNumber.h"

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
        SetProfileWriteFailureHandler({});
        chmod(folder.c_str(), 0755);
        std::filesystem::remove_all(folder);
    }
    // The names in the folder, sorted.
    std::vector<std::string> Names() {
        std::vector<std::string> names;
        for (const auto& e : std::filesystem::directory_iterator(folder))
            names.push_back(e.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }
    // Runs `f` in a child process, as the unprivileged user 65534 when this
    // one is root (root may write anything); true when it returned true.
    static bool InChild(bool unprivileged, const std::function<bool()>& f) {
        const pid_t pid = fork();
        if (pid == 0) {
            if (unprivileged && geteuid() == 0 &&
                (setresgid(65534, 65534, 65534) != 0 || setresuid(65534, 65534, 65534) != 0))
                _exit(2);
            _exit(f() ? 0 : 1);
        }
        int status = 0;
        return pid > 0 && waitpid(pid, &status, 0) == pid && WIFEXITED(status) &&
               WEXITSTATUS(status) == 0;
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

TEST_F(SettingsFileTest, TwoProgramsWritingAtOnceLoseNoKey) {
    Write("; kept\n[Com]\ncom=2\n");
    // Two processes each write 60 keys of their own section, started together.
    int gate[2];
    ASSERT_EQ(pipe(gate), 0);
    std::vector<pid_t> children;
    for (const char* section : {"A", "B"}) {
        const pid_t pid = fork();
        if (pid == 0) {
            char go;
            close(gate[1]);
            if (read(gate[0], &go, 1) != 0)
                _exit(3);
            bool ok = true;
            for (int k = 0; k < 60; ++k)
                ok =
                    WriteProfileString(section, "k" + std::to_string(k), std::to_string(k), path) &&
                    ok;
            _exit(ok ? 0 : 1);
        }
        ASSERT_GT(pid, 0);
        children.push_back(pid);
    }
    close(gate[0]);
    close(gate[1]);  // both start
    for (pid_t pid : children) {
        int status = 0;
        ASSERT_EQ(waitpid(pid, &status, 0), pid);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    EXPECT_EQ(Read().rfind("; kept\n[Com]\ncom=2\n", 0), 0u);
    for (const char* section : {"A", "B"})
        for (int k = 0; k < 60; ++k)
            ASSERT_EQ(ReadProfileInt(section, "k" + std::to_string(k), -1, path), k)
                << section << " k" << k;
    // Only the file and its lock file are left.
    EXPECT_EQ(Names(), (std::vector<std::string>{"DevSet.ini", "DevSet.ini.lock"}));
}

TEST_F(SettingsFileTest, AReadOnlyFileIsLeftAloneAndTheChoiceKeptForLater) {
    Write("[Com]\ncom=2\n");
    ASSERT_EQ(chmod(path.c_str(), 0444), 0);
    std::vector<int> told;
    SetProfileWriteFailureHandler([&](const std::string& p, int error) {
        EXPECT_EQ(p, path);
        told.push_back(error);
    });
    EXPECT_FALSE(WriteProfileString("Com", "com", "5", path));
    EXPECT_EQ(told, std::vector<int>{0});  // read-only, even for root
    EXPECT_EQ(Read(), "[Com]\ncom=2\n");
    struct stat st {};
    ASSERT_EQ(stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0444u);
    const std::string text = ProfileWriteFailureText(path, 0);
    EXPECT_NE(text.find(path), std::string::npos);
    EXPECT_NE(text.find("只读"), std::string::npos);
    // Writable again: the next write saves the kept choice too.
    ASSERT_EQ(chmod(path.c_str(), 0644), 0);
    EXPECT_TRUE(WriteProfileString("Com", "baund", "9600", path));
    EXPECT_EQ(Read(), "[Com]\ncom=5\nbaund=9600\n");
    EXPECT_EQ(told.size(), 1u);
}

TEST_F(SettingsFileTest, ASymbolicLinkIsWrittenThrough) {
    ASSERT_EQ(mkdir((folder + "/real").c_str(), 0755), 0);
    std::ofstream(folder + "/real/settings.ini") << "[Com]\ncom=2\n";
    ASSERT_EQ(symlink("real/settings.ini", path.c_str()), 0);
    EXPECT_TRUE(WriteProfileString("Com", "com", "7", path));
    struct stat st {};
    ASSERT_EQ(lstat(path.c_str(), &st), 0);
    EXPECT_TRUE(S_ISLNK(st.st_mode));
    EXPECT_EQ(ReadProfileInt("Com", "com", 0, folder + "/real/settings.ini"), 7);
}

TEST_F(SettingsFileTest, AWritableFileInAReadOnlyFolderIsRewrittenInPlace) {
    Write("; mine\n[Com]\ncom=2\n");
    ASSERT_EQ(chown(path.c_str(), 65534, 65534), geteuid() == 0 ? 0 : -1);
    ASSERT_EQ(chmod(folder.c_str(), 0555), 0);
    struct stat before {};
    ASSERT_EQ(stat(path.c_str(), &before), 0);
    // As a user who may write the file but not the folder.
    EXPECT_TRUE(InChild(true, [&] { return WriteProfileString("Com", "com", "11", path); }));
    struct stat after {};
    ASSERT_EQ(stat(path.c_str(), &after), 0);
    EXPECT_EQ(after.st_ino, before.st_ino);  // the same file, rewritten
    EXPECT_EQ(Read(), "; mine\n[Com]\ncom=11\n");
    EXPECT_EQ(Names(), std::vector<std::string>{"DevSet.ini"});
}

TEST_F(SettingsFileTest, NoFolderOrAFolderInTheWayTouchesNothing) {
    std::vector<int> told;
    SetProfileWriteFailureHandler([&](const std::string&, int error) { told.push_back(error); });
    EXPECT_FALSE(WriteProfileString("Com", "com", "1", folder + "/missing/DevSet.ini"));
    ASSERT_EQ(mkdir(path.c_str(), 0755), 0);  // DevSet.ini is a folder
    EXPECT_FALSE(WriteProfileString("Com", "com", "1", path));
    EXPECT_EQ(told, (std::vector<int>{ENOENT, EISDIR}));
    EXPECT_EQ(Names(), std::vector<std::string>{"DevSet.ini"});
    EXPECT_TRUE(std::filesystem::is_empty(path));
    EXPECT_NE(ProfileWriteFailureText(path, ENOENT).find("文件夹不存在"), std::string::npos);
}

// Which file is used: a writable one beside the program wins even when
// installed; an unknown program folder never means the current folder.
TEST_F(SettingsFileTest, TheSettingsFileIsChosenBesideTheProgramOrInTheUsersFolder) {
    const std::string exe = folder + "/";
    const std::string config = folder + "/config/";
    auto where = ResolveSettingsLocation(exe, config, false);
    EXPECT_EQ(where.path, path);  // a build tree creates its own
    where = ResolveSettingsLocation(exe, config, true);
    EXPECT_EQ(where.path, config + "DevSet.ini");
    EXPECT_EQ(where.defaults, "");
    Write("[Black]\nrow=9\n");
    EXPECT_EQ(ResolveSettingsLocation(exe, config, true).path, path);
    ASSERT_EQ(chmod(path.c_str(), 0444), 0);
    where = ResolveSettingsLocation(exe, config, true);
    EXPECT_EQ(where.path, config + "DevSet.ini");
    EXPECT_EQ(where.defaults, path);

    ASSERT_EQ(chmod(path.c_str(), 0644), 0);
    char cwd[4096];
    ASSERT_NE(getcwd(cwd, sizeof cwd), nullptr);
    ASSERT_EQ(chdir(folder.c_str()), 0);
    where = ResolveSettingsLocation("", config, false);
    ASSERT_EQ(chdir(cwd), 0);
    EXPECT_EQ(where.path, config + "DevSet.ini");
    EXPECT_EQ(where.defaults, "");
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
    SetPortDevicePaths(ReadPortsSection(path));
    EXPECT_EQ(PortDevicePath(3), "/dev/serial/by-id/usb-board");
    EXPECT_EQ(PortDevicePath(15), "/tmp/cam0");
    EXPECT_EQ(PortDevicePath(7), "/dev/ttyUSB2");
    SetPortDevicePath(3, "");
    SetPortDevicePath(15, "");
}

TEST(TextToNumber, ReadsLeadingSignedDigitsOnly) {
    EXPECT_EQ(TextToNumber("9600"), 9600);
    EXPECT_EQ(TextToNumber("  42abc"), 42);
    EXPECT_EQ(TextToNumber("\t-3"), -3);
    EXPECT_EQ(TextToNumber("+7"), 7);
    EXPECT_EQ(TextToNumber("abc"), 0);
    EXPECT_EQ(TextToNumber(""), 0);
    EXPECT_EQ(TextToNumber("- 5"), 0);
    EXPECT_EQ(TextToNumber("12 34"), 12);
    EXPECT_EQ(TextToNumber("99999999999999999999"), INT_MAX);
    EXPECT_EQ(TextToNumber("-99999999999999999999"), INT_MIN);
}

TEST(ExeDirectory, IsTheTestBinarysFolder) {
    const std::string dir = GetExeDirectory();
    ASSERT_FALSE(dir.empty());
    EXPECT_EQ(dir.back(), '/');
    EXPECT_EQ(access((dir + "SettingsFileTest").c_str(), X_OK), 0);
    EXPECT_EQ(SettingsFilePath(), dir + "DevSet.ini");
}

}  // namespace
