// The port owner's choice rules and messages, on a pseudo-terminal.
#include <gtest/gtest.h>

#include <climits>

#include "FakePortOwner.h"
#include "serial/PortDevices.h"
#include "tools/camsim/PseudoTerminal.h"

namespace {

using Messages = std::vector<std::string>;

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
    EXPECT_EQ(owner.Messages(), Messages{"打开串口失败!串口号 12 ，波特率 115200 "});
}

TEST_F(PortOwnerTest, TypedTextWithoutDigitsIsBaudZero) {
    // Even on a good device, rate 0 is refused and the message shows it.
    SetPortDevicePath(9, board.DevicePath());
    owner.baudSelection = -1;
    owner.baudText = "abc";
    EXPECT_EQ(owner.OpenPort(), 0);
    EXPECT_EQ(owner.Messages(), Messages{"打开串口失败!串口号 9 ，波特率 0 "});
}

TEST(PortOwnerRegistry, OneOwnerPerProcess) {
    FakePortOwner a;
    SetPortOwner(&a);
    EXPECT_EQ(GetPortOwner(), &a);
    SetPortOwner(nullptr);
    EXPECT_EQ(GetPortOwner(), nullptr);
}

}  // namespace
