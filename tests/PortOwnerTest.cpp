// The port owner's choice rules and messages, on a pseudo-terminal.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>

#include "ChildProcess.h"
#include "FakePortOwner.h"
#include "serial/PortDevices.h"
#include "tools/camsim/PseudoTerminal.h"

namespace {

using Messages = std::vector<std::string>;

class PortOwnerTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(board.Open()); }
    void TearDown() override {
        owner.m_port.Close();
        for (int n : {3, 9, 12})
            SetPortDevicePath(n, "");
    }
    camsim::PseudoTerminal board;
    FakePortOwner owner;
};

TEST_F(PortOwnerTest, BaudIsCheckedBeforePort) {
    owner.baudSelection = 0;
    owner.portSelection = -1;
    EXPECT_EQ(owner.OpenPort(), 0);
    EXPECT_EQ(owner.Messages(), Messages{"请选择波特率!"});
    EXPECT_EQ(owner.Captions(), Messages{"TavixTool"});
    EXPECT_EQ(owner.IsPortOpen(), 0);
}

TEST_F(PortOwnerTest, PortPromptOrNoSelectionAsksForAPort) {
    owner.portSelection = 0;
    EXPECT_EQ(owner.OpenPort(), 0);
    owner.portSelection = -1;
    owner.baudSelection = -1;  // a typed rate is a valid choice
    owner.baudText = "57600";
    EXPECT_EQ(owner.OpenPort(), 0);
    EXPECT_EQ(owner.Messages(), (Messages{"请选择串口号!", "请选择串口号!"}));
}

TEST_F(PortOwnerTest, OpensTheNumberedPortWithoutAMessage) {
    SetPortDevicePath(12, board.DevicePath());
    owner.portText = "COM12";  // both digits count
    EXPECT_EQ(owner.OpenPort(), 1);
    EXPECT_EQ(owner.IsPortOpen(), 1);
    EXPECT_TRUE(owner.Messages().empty());
    // The port is really held: another wrapper cannot open it.
    SerialPort other;
    EXPECT_EQ(other.Open(115200, 12), -1);
    owner.ClosePort();
    EXPECT_EQ(owner.IsPortOpen(), 0);
    EXPECT_GT(other.Open(115200, 12), 2);
    other.Close();
}

TEST_F(PortOwnerTest, SingleDigitPort) {
    SetPortDevicePath(3, board.DevicePath());
    owner.portText = "COM3";
    EXPECT_EQ(owner.OpenPort(), 1);
}

TEST_F(PortOwnerTest, FailedOpenNamesPortAndBaud) {
    SetPortDevicePath(12, "/nonexistent/tty");
    owner.portText = "COM12";
    EXPECT_EQ(owner.OpenPort(), 0);
    EXPECT_EQ(owner.IsPortOpen(), 0);
    EXPECT_EQ(owner.Messages(),
              Messages{"打开串口失败!串口号 12 ，波特率 115200 \n设备 /nonexistent/tty "
                       "不存在：摄像头板没有连接，或已被拔出。"});
}

TEST_F(PortOwnerTest, AFailedOpenSaysWhy) {
    SetPortDevicePath(12, board.DevicePath());
    owner.portText = "COM12";
    const std::string first = "打开串口失败!串口号 12 ，波特率 115200 \n";
    // Held by another program, which is named.
    {
        CHoldingChild rival(board.DevicePath(), board.MasterFd());
        ASSERT_TRUE(rival.Held());
        EXPECT_EQ(owner.OpenPort(), 0);
        EXPECT_EQ(owner.Messages(), Messages{first + board.DevicePath() + " 正被另一个程序占用：" +
                                             rival.Named() + "。"});
    }

    // No permission: the dialout hint.
    ASSERT_EQ(chmod(board.DevicePath().c_str(), 0600), 0);
    ASSERT_EQ(chown(board.DevicePath().c_str(), 0, 0), geteuid() == 0 ? 0 : -1);
    const std::string denied = InChild(true, [&] {
        FakePortOwner other;
        other.portText = "COM12";
        other.OpenPort();
        return other.Messages().empty() ? std::string() : other.Messages()[0];
    });
    if (geteuid() == 0) {
        EXPECT_EQ(denied, first + "没有权限打开 " + board.DevicePath() +
                              "：请把当前用户加入 dialout 组（sudo usermod -aG dialout $USER），"
                              "然后重新登录。");
    }
}

// A board emulator on a pseudo-terminal (QEMU's -serial pty, socat, a script
// with openpty) holds both ends; only the program that took the line from
// this one is named.
TEST_F(PortOwnerTest, TheBoardsEndOfAPseudoTerminalIsNoRival) {
    int pathPipe[2];
    ASSERT_EQ(pipe(pathPipe), 0);
    const pid_t emulator = fork();
    if (emulator == 0) {
        alarm(20);
        close(board.MasterFd());
        close(pathPipe[0]);
        camsim::PseudoTerminal line;  // both ends, as an emulator holds them
        const std::string path = line.Open() ? line.DevicePath() : std::string("-");
        (void)!write(pathPipe[1], path.c_str(), path.size());
        pause();  // until the test ends it
        _exit(0);
    }
    close(pathPipe[1]);
    char path[128] = {};
    ASSERT_GT(read(pathPipe[0], path, sizeof path - 1), 1);
    close(pathPipe[0]);
    {
        CHoldingChild rival(path, board.MasterFd());
        ASSERT_TRUE(rival.Held());
        SetPortDevicePath(9, path);
        EXPECT_EQ(owner.OpenPort(), 0);
        EXPECT_EQ(owner.Messages(),
                  Messages{"打开串口失败!串口号 9 ，波特率 115200 \n" + std::string(path) +
                           " 正被另一个程序占用：" + rival.Named() + "。"});
    }
    kill(emulator, SIGKILL);
    waitpid(emulator, nullptr, 0);
}

TEST_F(PortOwnerTest, TypedTextWithoutDigitsIsBaudZero) {
    // Even on a good device, rate 0 is refused and the message shows it.
    SetPortDevicePath(9, board.DevicePath());
    owner.baudSelection = -1;
    owner.baudText = "abc";
    EXPECT_EQ(owner.OpenPort(), 0);
    EXPECT_EQ(owner.Messages(), Messages{"打开串口失败!串口号 9 ，波特率 0 \n波特率 0 无效。"});
}

TEST(PortOwnerRegistry, OneOwnerPerProcess) {
    FakePortOwner a;
    SetPortOwner(&a);
    EXPECT_EQ(GetPortOwner(), &a);
    SetPortOwner(nullptr);
    EXPECT_EQ(GetPortOwner(), nullptr);
}

}  // namespace
