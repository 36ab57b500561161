// The port owner's choice rules and messages, on a pseudo-terminal.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <functional>

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

// Runs `f` in a child process (as the unprivileged user 65534 when asked and
// this one is root) and returns what it printed.
std::string InChild(bool unprivileged, const std::function<std::string()>& f) {
    int out[2];
    if (pipe(out) != 0)
        return "pipe failed";
    const pid_t pid = fork();
    if (pid == 0) {
        close(out[0]);
        if (unprivileged && geteuid() == 0 &&
            (setresgid(65534, 65534, 65534) != 0 || setresuid(65534, 65534, 65534) != 0))
            _exit(2);
        const std::string text = f();
        _exit(write(out[1], text.data(), text.size()) == static_cast<ssize_t>(text.size()) ? 0 : 1);
    }
    close(out[1]);
    std::string text;
    char buf[512];
    for (ssize_t n; (n = read(out[0], buf, sizeof buf)) > 0;)
        text.append(buf, static_cast<size_t>(n));
    close(out[0]);
    waitpid(pid, nullptr, 0);
    return text;
}

TEST_F(PortOwnerTest, AFailedOpenSaysWhy) {
    SetPortDevicePath(12, board.DevicePath());
    owner.portText = "COM12";
    const std::string first = "打开串口失败!串口号 12 ，波特率 115200 \n";
    // Held by another program, which is named.
    int ready[2], done[2];
    ASSERT_EQ(pipe(ready), 0);
    ASSERT_EQ(pipe(done), 0);
    const pid_t holder = fork();
    if (holder == 0) {
        SerialPort port;
        char c = port.Open(115200, 12) > 2 ? 'y' : 'n';
        (void)!write(ready[1], &c, 1);
        (void)!read(done[0], &c, 1);  // holds it until the parent has looked
        _exit(0);
    }
    char c = 0;
    ASSERT_EQ(read(ready[0], &c, 1), 1);
    ASSERT_EQ(c, 'y');
    EXPECT_EQ(owner.OpenPort(), 0);
    (void)!write(done[1], "x", 1);
    waitpid(holder, nullptr, 0);
    ASSERT_EQ(owner.Messages().size(), 1u);
    EXPECT_EQ(owner.Messages()[0], first + board.DevicePath() +
                                       " 正被另一个程序占用：PortOwnerTest（进程号 " +
                                       std::to_string(holder) + "）。");

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
