// The installed program: `cmake --install` into a throwaway root puts the
// program, its help and the desktop files where a Linux desktop expects them;
// started from there it finds its help and keeps its settings in the user's
// configuration folder, never beside itself.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <thread>

namespace fs = std::filesystem;

namespace {

std::string Shell(const std::string& command, int& status) {
    std::string out;
    FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr) {
        status = -1;
        return out;
    }
    char buffer[4096];
    size_t n;
    while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0)
        out.append(buffer, n);
    status = pclose(pipe);
    return out;
}

std::string ReadAll(const fs::path& path) {
    std::ifstream in(path);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

class InstallTest : public ::testing::Test {
protected:
    void SetUp() override {
        char dir[] = "/tmp/tavix-install-XXXXXX";
        ASSERT_NE(mkdtemp(dir), nullptr);
        root = dir;
        int status = 0;
        const std::string out =
            Shell("DESTDIR='" + (root / "dest").string() + "' '" TAVIX_CMAKE "' --install '" +
                      TAVIX_BINARY_DIR "' --prefix /usr 2>&1",
                  status);
        ASSERT_EQ(status, 0) << out;
        prefix = root / "dest" / "usr";
        home = root / "home";
        fs::create_directories(home);
    }
    void TearDown() override { fs::remove_all(root); }

    // The environment of a user whose home is the test's own, in a Chinese
    // locale (the programs' --help and --version follow it).
    std::string Env() const {
        return "env -u XDG_CONFIG_HOME -u LC_MESSAGES LC_ALL=zh_CN.UTF-8 HOME='" + home.string() +
               "' QT_QPA_PLATFORM=offscreen ";
    }

    // Starts the installed program as the user, offscreen, and ends it 3 s
    // later as a session would; its wait status (-1 if it did not end).
    int RunUntilTerminated() const {
        const pid_t pid = fork();
        if (pid == 0) {
            setenv("HOME", home.c_str(), 1);
            unsetenv("XDG_CONFIG_HOME");
            setenv("QT_QPA_PLATFORM", "offscreen", 1);
            const std::string program = (prefix / "bin/tavixtool").string();
            execl(program.c_str(), program.c_str(), static_cast<char*>(nullptr));
            _exit(127);
        }
        if (pid < 0)
            return -1;
        std::this_thread::sleep_for(std::chrono::seconds(3));
        kill(pid, SIGTERM);
        int status = 0;
        for (int i = 0; i < 100; ++i) {
            if (waitpid(pid, &status, WNOHANG) == pid)
                return status;
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
        kill(pid, SIGKILL);
        waitpid(pid, nullptr, 0);
        return -1;
    }

    fs::path root, prefix, home;
};

TEST_F(InstallTest, FilesGoWhereADesktopExpectsThem) {
    std::set<std::string> files;
    for (const auto& entry : fs::recursive_directory_iterator(prefix))
        if (entry.is_regular_file())
            files.insert(fs::relative(entry.path(), prefix).string());
    EXPECT_EQ(files, (std::set<std::string>{
                         "bin/tavixtool",
                         "bin/tavix-camsim",
                         "bin/tavix-diagnose",
                         "bin/tavix-capture",
                         "share/applications/tavixtool.desktop",
                         "share/doc/tavixtool/changelog.gz",
                         "share/doc/tavixtool/copyright",
                         "share/man/man1/tavix-camsim.1.gz",
                         "share/man/man1/tavix-diagnose.1.gz",
                         "share/man/man1/tavix-capture.1.gz",
                         "share/man/man1/tavixtool.1.gz",
                         "share/man/zh_CN/man1/tavix-diagnose.1.gz",
                         "share/man/zh_CN/man1/tavix-capture.1.gz",
                         "share/man/zh_CN/man1/tavixtool.1.gz",
                         "share/icons/hicolor/16x16/apps/tavixtool.png",
                         "share/icons/hicolor/22x22/apps/tavixtool.png",
                         "share/icons/hicolor/24x24/apps/tavixtool.png",
                         "share/icons/hicolor/32x32/apps/tavixtool.png",
                         "share/icons/hicolor/48x48/apps/tavixtool.png",
                         "share/icons/hicolor/64x64/apps/tavixtool.png",
                         "share/icons/hicolor/128x128/apps/tavixtool.png",
                         "share/icons/hicolor/256x256/apps/tavixtool.png",
                         "share/metainfo/io.github.tavixtool.TavixTool.metainfo.xml",
                         "share/mime/packages/tavixtool.xml",
                         "share/tavixtool/Help.chm",
                         "share/tavixtool/Help_en.chm",
                         "share/tavixtool/help/about.html",
                         "share/tavixtool/help/camera-board.html",
                         "share/tavixtool/help/simulator.html",
                         "share/tavixtool/help/en/about.html",
                         "share/tavixtool/help/en/camera-board.html",
                         "share/tavixtool/help/en/simulator.html",
                     }));
    const std::string desktop = ReadAll(prefix / "share/applications/tavixtool.desktop");
    EXPECT_NE(desktop.find("Exec=tavixtool"), std::string::npos);
    EXPECT_NE(desktop.find("Icon=tavixtool"), std::string::npos);
    EXPECT_NE(desktop.find("\nMimeType=application/x-tavixrec;\n"), std::string::npos) << desktop;
    // The file type as the shared MIME database builds it: by name and, for a
    // recording renamed, by its first bytes.
    int status = 0;
    if (Shell("command -v update-mime-database", status).empty()) {
        ADD_FAILURE() << "update-mime-database is missing (package shared-mime-info)";
    } else {
        const std::string out =
            Shell("update-mime-database '" + (prefix / "share/mime").string() + "' 2>&1", status);
        ASSERT_EQ(status, 0) << out;
        const std::string globs = ReadAll(prefix / "share/mime/globs2");
        EXPECT_NE(globs.find(":application/x-tavixrec:*.tavixrec"), std::string::npos) << globs;
        const std::string magic = ReadAll(prefix / "share/mime/magic");
        EXPECT_NE(magic.find("application/x-tavixrec"), std::string::npos);
        EXPECT_NE(magic.find("TAVIXREC"), std::string::npos);
    }
    // Each icon is the size its folder names (a theme scales a wrong one).
    for (const int size : {16, 22, 24, 32, 48, 64, 128, 256}) {
        const std::string name = std::to_string(size) + "x" + std::to_string(size);
        const std::string png =
            ReadAll(prefix / "share/icons/hicolor" / name / "apps/tavixtool.png");
        ASSERT_GE(png.size(), 24u) << name;
        const auto be32 = [&png](size_t at) {
            return (unsigned(uint8_t(png[at])) << 24) | (unsigned(uint8_t(png[at + 1])) << 16) |
                   (unsigned(uint8_t(png[at + 2])) << 8) | unsigned(uint8_t(png[at + 3]));
        };
        EXPECT_EQ(png.substr(1, 3), "PNG") << name;
        EXPECT_EQ(be32(16), unsigned(size)) << name;
        EXPECT_EQ(be32(20), unsigned(size)) << name;
    }
}

TEST_F(InstallTest, TheInstalledProgramSaysWhatItIsAndWhereItsFilesAre) {
    int status = 0;
    const std::string version =
        Shell(Env() + "'" + (prefix / "bin/tavixtool").string() + "' --version", status);
    EXPECT_EQ(status, 0) << version;
    EXPECT_NE(version.find("TavixTool "), std::string::npos) << version;
    EXPECT_NE(version.find("设置文件：" + (home / ".config/TavixTool/DevSet.ini").string()),
              std::string::npos)
        << version;
    EXPECT_NE(version.find("/share/tavixtool/Help.chm"), std::string::npos) << version;
    const std::string help =
        Shell(Env() + "'" + (prefix / "bin/tavixtool").string() + "' --help", status);
    EXPECT_EQ(status, 0);
    EXPECT_NE(help.find("用法"), std::string::npos) << help;
    EXPECT_NE(help.find("dialout"), std::string::npos) << help;
    // The manual pages carry the --help texts: English ones in man1, Chinese
    // ones in zh_CN/man1, every character intact.
    const auto page = [&](const std::string& path) {
        return Shell("zcat '" + (prefix / "share/man" / path).string() + "'", status);
    };
    const std::string man = page("zh_CN/man1/tavix-diagnose.1.gz");
    EXPECT_NE(man.find("用法：tavix\\-diagnose"), std::string::npos) << man;
    EXPECT_EQ(man.find("??"), std::string::npos) << man;
    EXPECT_NE(page("zh_CN/man1/tavix-capture.1.gz").find("退出码"), std::string::npos);
    EXPECT_NE(page("zh_CN/man1/tavixtool.1.gz").find("回放这个录制文件"), std::string::npos);
    for (const char* name : {"tavix-diagnose", "tavix-capture", "tavixtool", "tavix-camsim"}) {
        const std::string english = page(std::string("man1/") + name + ".1.gz");
        EXPECT_NE(english.find(".SH SYNOPSIS"), std::string::npos) << english;
        // Nothing Chinese: no CJK character (E3-E9 lead bytes: U+3000-U+9FFF;
        // EF BC-BF: U+FF00-U+FFFF).
        EXPECT_EQ(english.find_first_of("\xE3\xE4\xE5\xE6\xE7\xE8\xE9"), std::string::npos)
            << english;
        EXPECT_EQ(english.find("\xEF\xBC"), std::string::npos) << english;
    }
    EXPECT_NE(page("man1/tavix-capture.1.gz").find("Exit codes"), std::string::npos);
    // The simulator speaks English only: no Chinese page.
    EXPECT_FALSE(fs::exists(prefix / "share/man/zh_CN/man1/tavix-camsim.1.gz"));
}

// Started, then ended as a session would end it: the settings it writes at
// exit go to the configuration folder; nothing appears beside the program.
// The program's own state (the recent recordings) left by an older version
// under a borrowed folder name moves to the program's own folder.
TEST_F(InstallTest, SettingsLiveInTheUsersConfigurationFolder) {
    const fs::path oldFolder = home / ".config/Local AppWizard-Generated Applications";
    fs::create_directories(oldFolder);
    const std::string state = "[Recent%20File%20List]\nFile1=/data/run.tavixrec\n";
    std::ofstream(oldFolder / "TavixTool.conf") << state;
    const int status = RunUntilTerminated();
    ASSERT_TRUE(WIFEXITED(status)) << "still running or killed";
    EXPECT_EQ(WEXITSTATUS(status), 0);
    const fs::path settings = home / ".config/TavixTool/DevSet.ini";
    ASSERT_TRUE(fs::exists(settings));
    EXPECT_NE(ReadAll(settings).find("[Com]"), std::string::npos) << ReadAll(settings);
    EXPECT_FALSE(fs::exists(prefix / "bin/DevSet.ini"));
    EXPECT_EQ(ReadAll(home / ".config/TavixTool/TavixTool.conf"), state);
    EXPECT_FALSE(fs::exists(oldFolder));
}

// A read-only DevSet.ini beside the installed program gives the defaults;
// the user's file is made from it at the first write.
TEST_F(InstallTest, AReadOnlyFileBesideTheProgramGivesTheDefaults) {
    const fs::path beside = prefix / "bin/DevSet.ini";
    std::ofstream(beside) << "[Com]\nbaunds=57600,921600\n[Black]\nrow=99\n";
    fs::permissions(beside, fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
    const int status = RunUntilTerminated();
    ASSERT_TRUE(WIFEXITED(status));
    const std::string user = ReadAll(home / ".config/TavixTool/DevSet.ini");
    EXPECT_NE(user.find("row=99"), std::string::npos) << user;
    EXPECT_NE(user.find("57600,921600"), std::string::npos) << user;
    EXPECT_EQ(ReadAll(beside), "[Com]\nbaunds=57600,921600\n[Black]\nrow=99\n");
}

// The Debian package holds what the install puts, depends on the Qt 6
// runtime, chmlib and a CJK font, and its program runs from an unpacked root.
TEST(Package, TheDebHoldsTheProgramAndNamesItsDependencies) {
    char dir[] = "/tmp/tavix-package-XXXXXX";
    ASSERT_NE(mkdtemp(dir), nullptr);
    const fs::path root = dir;
    int status = 0;
    const std::string out =
        Shell("cd '" + root.string() + "' && '" TAVIX_CPACK "' -G DEB --config '" +
                  TAVIX_BINARY_DIR "/CPackConfig.cmake' 2>&1",
              status);
    ASSERT_EQ(status, 0) << out;
    fs::path deb;
    for (const auto& entry : fs::directory_iterator(root))
        if (entry.path().extension() == ".deb")
            deb = entry.path();
    ASSERT_FALSE(deb.empty()) << out;
    const std::string list = Shell("dpkg-deb -c '" + deb.string() + "'", status);
    for (const char* file :
         {"./usr/bin/tavixtool", "./usr/bin/tavix-camsim", "./usr/bin/tavix-diagnose",
          "./usr/bin/tavix-capture", "./usr/share/man/man1/tavix-capture.1.gz",
          "./usr/share/tavixtool/Help.chm", "./usr/share/tavixtool/Help_en.chm",
          "./usr/share/tavixtool/help/en/about.html", "./usr/share/applications/tavixtool.desktop",
          "./usr/share/metainfo/io.github.tavixtool.TavixTool.metainfo.xml",
          "./usr/share/mime/packages/tavixtool.xml",
          "./usr/share/icons/hicolor/256x256/apps/tavixtool.png",
          "./usr/share/icons/hicolor/16x16/apps/tavixtool.png",
          "./usr/share/man/man1/tavixtool.1.gz", "./usr/share/man/zh_CN/man1/tavixtool.1.gz",
          "./usr/share/man/zh_CN/man1/tavix-capture.1.gz"})
        EXPECT_NE(list.find(file), std::string::npos) << file << "\n" << list;
    const std::string depends = Shell("dpkg-deb -f '" + deb.string() + "' Depends", status);
    for (const char* package : {"libqt6widgets6", "libchm1", "fonts-wqy-microhei"})
        EXPECT_NE(depends.find(package), std::string::npos) << package << " in " << depends;
    ASSERT_EQ(
        Shell("dpkg-deb -x '" + deb.string() + "' '" + (root / "unpacked").string() + "'", status),
        "");
    const std::string version =
        Shell("HOME='" + root.string() + "' '" + (root / "unpacked/usr/bin/tavixtool").string() +
                  "' --version",
              status);
    EXPECT_EQ(status, 0);
    EXPECT_NE(version.find("TavixTool"), std::string::npos) << version;
    fs::remove_all(root);
}

}  // namespace
