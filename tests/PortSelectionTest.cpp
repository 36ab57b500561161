// The port and baud-rate lists: probing, parsing, preselection and saving.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>

#include "ChildProcess.h"
#include "serial/PortDevices.h"
#include "serial/PortSelection.h"
#include "serial/SerialPort.h"
#include "settings/ProfileFile.h"
#include "tools/camsim/PseudoTerminal.h"

namespace {

using List = std::vector<std::string>;
const List kDefault = BaudList("2400,4800,9600,14400,19200,38400");

TEST(BaudList, MessyTextGivesCleanItems) {
    EXPECT_EQ(BaudList("  9600 , 19 200 , , 38400 ,  "),
              (List{"请选择波特率", "9600", "19200", "38400"}));
    EXPECT_EQ(BaudList(",,"), List{"请选择波特率"});
    EXPECT_EQ(BaudList("9600,abc,9600"), (List{"请选择波特率", "9600", "abc", "9600"}));
    EXPECT_EQ(kDefault.size(), 7u);
}

TEST(BaudList, PreselectionByPrefix) {
    EXPECT_EQ(kDefault[PreselectBaud(kDefault, "96")], "9600");
    EXPECT_EQ(kDefault[PreselectBaud(kDefault, "1")], "14400");
    EXPECT_EQ(kDefault[PreselectBaud(kDefault, "38400")], "38400");
    EXPECT_EQ(PreselectBaud(kDefault, "57600"), 0);
    EXPECT_EQ(PreselectBaud(BaudList("Fast,slow"), "SL"), 2);  // case ignored
    EXPECT_EQ(kDefault[PreselectBaud(kDefault, "480")], "4800");
}

TEST(PortList, SavedIndexRules) {
    EXPECT_EQ(PortSelectionFor(2, 3), 2);   // the second probed port
    EXPECT_EQ(PortSelectionFor(2, 2), -1);  // only one port answered
    EXPECT_EQ(PortSelectionFor(-4, 2), 0);
    EXPECT_EQ(PortSelectionFor(0, 1), 0);
}

TEST(ComSection, DefaultListWithSelectedRate) {
    const ComSection s = BuildComSection(kDefault, 6, "", 2);
    EXPECT_TRUE(s.writeBaund);
    EXPECT_EQ(s.baund, "38400");
    EXPECT_EQ(s.com, "2");
    EXPECT_EQ(s.baunds, ",2400,4800,9600,14400,19200,38400");
}

TEST(ComSection, TypedRates) {
    ComSection s = BuildComSection(kDefault, -1, "57600", -1);
    EXPECT_TRUE(s.writeBaund);
    EXPECT_EQ(s.baund, "57600");
    EXPECT_EQ(s.com, "0");
    EXPECT_EQ(s.baunds, ",2400,4800,9600,14400,19200,38400,57600");
    s = BuildComSection(kDefault, -1, "480", 0);  // part of 4800: not appended
    EXPECT_EQ(s.baund, "480");
    EXPECT_EQ(s.baunds, ",2400,4800,9600,14400,19200,38400");
    s = BuildComSection(kDefault, 0, "", 1);  // the prompt is no rate
    EXPECT_FALSE(s.writeBaund);
    s = BuildComSection(kDefault, -1, "abc", 1);
    EXPECT_FALSE(s.writeBaund);
    EXPECT_EQ(BuildComSection({"请选择波特率"}, 0, "", 0).baunds, "");
}

TEST(ComSection, SavedChoiceComesBackAtTheNextStart) {
    char dir[] = "/tmp/tavix-com-XXXXXX";
    ASSERT_NE(mkdtemp(dir), nullptr);
    const std::string path = std::string(dir) + "/DevSet.ini";
    ComSettings fresh = LoadComSection(path);
    EXPECT_EQ(fresh.com, 0);
    EXPECT_EQ(fresh.baund, "38400");
    SaveComSection(BuildComSection(BaudList(fresh.baunds), -1, "57600", 1), path);
    const ComSettings next = LoadComSection(path);
    const List bauds = BaudList(next.baunds);
    EXPECT_EQ(bauds.back(), "57600");
    EXPECT_EQ(PreselectBaud(bauds, next.baund), static_cast<int>(bauds.size()) - 1);
    EXPECT_EQ(next.com, 1);
    // A prompt selection writes no "baund": the earlier one stays.
    SaveComSection(BuildComSection(bauds, 0, "", 0), path);
    EXPECT_EQ(LoadComSection(path).baund, "57600");
    std::remove(path.c_str());
    rmdir(dir);
}

TEST(PortProbe, ListsFreeTerminalsOnly) {
    camsim::PseudoTerminal a, b;
    ASSERT_TRUE(a.Open());
    ASSERT_TRUE(b.Open());
    char file[] = "/tmp/tavix-plain-XXXXXX";
    const int fd = mkstemp(file);
    ASSERT_GE(fd, 0);
    close(fd);
    for (int n = 1; n <= 15; ++n)
        SetPortDevicePath(n, "/nonexistent/tty" + std::to_string(n));
    SetPortDevicePath(4, a.DevicePath());
    SetPortDevicePath(12, b.DevicePath());
    SetPortDevicePath(6, file);  // exists, but no terminal
    EXPECT_EQ(ProbePortList(), (List{"请选择串口", "COM4", "COM12"}));

    SerialPort held;  // a port in use is offered with the reason it cannot be opened
    ASSERT_GT(held.Open(115200, 12), 2);
    EXPECT_EQ(ProbePortList(), (List{"请选择串口", "COM4", "COM12（被占用）"}));
    // unless this program is the one that holds it
    EXPECT_EQ(ProbePortList(held.m_strDevice), (List{"请选择串口", "COM4", "COM12"}));
    held.Close();
    EXPECT_TRUE(ProbePort(12));
    for (int n = 1; n <= 15; ++n)
        SetPortDevicePath(n, "");
    std::remove(file);
}

// A port this user may not open (not in its group) is listed with the reason
// and its fix. The check is the real open: as root it is run by an
// unprivileged child, since root may open any device.
TEST(PortProbe, APortWithoutPermissionIsListedWithItsFix) {
    camsim::PseudoTerminal a, locked;
    ASSERT_TRUE(a.Open());
    ASSERT_TRUE(locked.Open());
    ASSERT_EQ(chmod(a.DevicePath().c_str(), 0666), 0);
    ASSERT_EQ(chmod(locked.DevicePath().c_str(), 0), 0);
    for (int n = 1; n <= 15; ++n)
        SetPortDevicePath(n, "/nonexistent/tty" + std::to_string(n));
    SetPortDevicePath(4, a.DevicePath());
    SetPortDevicePath(5, locked.DevicePath());
    const std::string seen = InChild(true, [] {
        std::string text;
        for (const std::string& item : ProbePortList())
            text += item + "|";
        const std::vector<CPortEntry> entries = ProbePortEntries();
        return text + (entries.size() == 2 ? PortEntryDetail(entries[1]) : std::string());
    });
    EXPECT_EQ(seen, "请选择串口|COM4|COM5（无权限）|" + locked.DevicePath() +
                        "\n当前用户没有权限打开它。\n请把当前用户加入 dialout 组（sudo usermod "
                        "-aG dialout $USER），然后重新登录。");
    EXPECT_EQ(PortEntryName("COM5（无权限）"), "COM5");
    for (int n = 1; n <= 15; ++n)
        SetPortDevicePath(n, "");
}

}  // namespace
