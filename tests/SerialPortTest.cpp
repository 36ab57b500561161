// The serial port on real pseudo-terminals standing in for the camera board.
#include <asm/termbits.h>
#include <gtest/gtest.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <numeric>
#include <thread>
#include <vector>

#include "serial/PortDevices.h"
#include "serial/SerialPort.h"
#include "serial/WakeEvent.h"
#include "tools/camsim/PseudoTerminal.h"

namespace {

using namespace std::chrono;

constexpr int kPort = 9;

// A pseudo-terminal behind COM9 for the length of a test.
class SerialPortTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(board.Open());
        SetPortDevicePath(kPort, board.DevicePath());
    }
    void TearDown() override {
        port.Close();
        SetPortDevicePath(kPort, "");
    }

    // Reads until `count` bytes have come or `timeout` has passed.
    std::vector<uint8_t> ReadFor(SerialPort& p, size_t count, milliseconds timeout) {
        std::vector<uint8_t> out;
        std::vector<uint8_t> buf(65536);
        const auto deadline = steady_clock::now() + timeout;
        while (out.size() < count && steady_clock::now() < deadline) {
            uint32_t n = 0;
            if (p.ReadAvailable(buf.data(), static_cast<uint32_t>(count - out.size()), n) != 0)
                break;
            out.insert(out.end(), buf.begin(), buf.begin() + n);
            if (n == 0)
                std::this_thread::sleep_for(milliseconds(2));
        }
        return out;
    }

    camsim::PseudoTerminal board;
    SerialPort port;
};

TEST(PortDevices, DefaultTableAndOverrides) {
    EXPECT_EQ(PortDevicePath(1), "/dev/ttyS0");
    EXPECT_EQ(PortDevicePath(4), "/dev/ttyS3");
    EXPECT_EQ(PortDevicePath(5), "/dev/ttyUSB0");
    EXPECT_EQ(PortDevicePath(10), "/dev/ttyUSB5");
    EXPECT_EQ(PortDevicePath(11), "/dev/ttyACM0");
    EXPECT_EQ(PortDevicePath(15), "/dev/ttyACM4");
    EXPECT_EQ(PortDevicePath(0), "");
    EXPECT_EQ(PortDevicePath(16), "");
    SetPortDevicePath(3, "/dev/serial/by-id/board");
    EXPECT_EQ(PortDevicePath(3), "/dev/serial/by-id/board");
    EXPECT_EQ(PortDevicePath(4), "/dev/ttyS3");
    SetPortDevicePath(3, "");
    EXPECT_EQ(PortDevicePath(3), "/dev/ttyS2");
}

TEST(SerialPortOpen, MissingDeviceFailsAndStaysClosed) {
    SerialPort p;
    EXPECT_EQ(p.m_hComm, 0);
    SetPortDevicePath(kPort, "/nonexistent/ttyNothing");
    EXPECT_EQ(p.Open(115200, kPort), -1);
    EXPECT_EQ(p.m_hComm, -1);
    uint8_t b[4];
    uint32_t n = 7;
    EXPECT_EQ(p.ReadAvailable(b, sizeof b, n), 1);
    EXPECT_EQ(n, 0u);
    EXPECT_EQ(p.Close(), 0);
    SetPortDevicePath(kPort, "");
    // A port number without any device at all.
    EXPECT_EQ(p.Open(115200, 99), -1);
}

TEST(SerialPortOpen, NonTerminalIsRefused) {
    char path[] = "/tmp/tavix-notatty-XXXXXX";
    const int fd = mkstemp(path);
    ASSERT_GE(fd, 0);
    close(fd);
    SetPortDevicePath(kPort, path);
    SerialPort p;
    EXPECT_EQ(p.Open(9600, kPort), -1);
    EXPECT_EQ(p.m_hComm, -1);
    SetPortDevicePath(kPort, "");
    unlink(path);
}

TEST_F(SerialPortTest, BaudZeroFailsTheOpen) {
    EXPECT_EQ(port.Open(0, kPort), -1);
    EXPECT_EQ(port.m_hComm, -1);
    // The failed open left nothing held: a good open succeeds next.
    EXPECT_GT(port.Open(9600, kPort), 2);
}

TEST_F(SerialPortTest, LineIsRaw8N1AtAnyIntegerRate) {
    for (uint32_t baud : {115200u, 250000u, 12345u}) {
        ASSERT_GT(port.Open(baud, kPort), 2) << baud;
        struct termios2 tio {};
        ASSERT_EQ(ioctl(static_cast<int>(port.m_hComm), TCGETS2, &tio), 0);
        EXPECT_EQ(tio.c_ospeed, baud);
        EXPECT_EQ(tio.c_ispeed, baud);
        EXPECT_EQ(tio.c_cflag & CSIZE, static_cast<tcflag_t>(CS8));
        EXPECT_EQ(tio.c_cflag & (PARENB | CSTOPB | CRTSCTS), 0u);
        EXPECT_EQ(tio.c_iflag & (IXON | IXOFF | ICRNL | INLCR | IGNCR | ISTRIP | INPCK), 0u);
        EXPECT_EQ(tio.c_lflag & (ECHO | ICANON | ISIG | IEXTEN), 0u);
        EXPECT_EQ(tio.c_oflag & OPOST, 0u);
        EXPECT_EQ(tio.c_cc[VMIN], 0);
        EXPECT_EQ(tio.c_cc[VTIME], 0);
        EXPECT_EQ(port.Close(), 1);
    }
}

TEST_F(SerialPortTest, SecondOpenOfAHeldPortFails) {
    ASSERT_GT(port.Open(115200, kPort), 2);
    SerialPort other;
    EXPECT_EQ(other.Open(115200, kPort), -1);
    EXPECT_EQ(port.Close(), 1);
    EXPECT_GT(other.Open(115200, kPort), 2);
    other.Close();
}

TEST_F(SerialPortTest, CloseKeepsHandleValueAndReportsOnce) {
    const intptr_t h = port.Open(115200, kPort);
    ASSERT_GT(h, 2);
    EXPECT_NE(port.Close(), 0);
    EXPECT_EQ(port.m_hComm, h);
    EXPECT_EQ(port.Close(), 0);
    uint8_t b[4];
    uint32_t n = 0;
    EXPECT_EQ(port.ReadAvailable(b, sizeof b, n), 1);
}

TEST_F(SerialPortTest, OpenEmptiesWhatWasQueuedBefore) {
    std::vector<uint8_t> junk(3000, 0x55);
    ASSERT_TRUE(board.WriteAll(junk.data(), junk.size()));
    ASSERT_TRUE(board.WaitQueued(junk.size(), 2000));
    ASSERT_GT(port.Open(115200, kPort), 2);
    std::this_thread::sleep_for(milliseconds(20));
    uint8_t buf[4096];
    uint32_t n = 99;
    EXPECT_EQ(port.ReadAvailable(buf, sizeof buf, n), 0);
    EXPECT_EQ(n, 0u);
}

TEST_F(SerialPortTest, ReadTakesAtMostWhatIsWantedAndLeavesTheRest) {
    ASSERT_GT(port.Open(115200, kPort), 2);
    uint8_t buf[8192];
    uint32_t n = 99;
    EXPECT_EQ(port.ReadAvailable(buf, sizeof buf, n), 0);  // nothing queued
    EXPECT_EQ(n, 0u);

    std::vector<uint8_t> data(5000);
    for (size_t i = 0; i < data.size(); ++i)
        data[i] = static_cast<uint8_t>(i * 7);
    ASSERT_TRUE(board.WriteAll(data.data(), data.size()));
    ASSERT_TRUE(board.WaitQueued(data.size(), 2000));
    ASSERT_EQ(port.ReadAvailable(buf, 2400, n), 0);
    ASSERT_EQ(n, 2400u);
    EXPECT_TRUE(std::equal(buf, buf + 2400, data.begin()));
    const std::vector<uint8_t> rest = ReadFor(port, 5000, milliseconds(500));
    ASSERT_EQ(rest.size(), 2600u);
    EXPECT_TRUE(std::equal(rest.begin(), rest.end(), data.begin() + 2400));
}

TEST_F(SerialPortTest, EveryByteValueArrivesUnchangedAndNothingIsEchoed) {
    ASSERT_GT(port.Open(115200, kPort), 2);
    std::vector<uint8_t> all(256 * 4);
    for (size_t i = 0; i < all.size(); ++i)
        all[i] = static_cast<uint8_t>(i);
    ASSERT_TRUE(board.WriteAll(all.data(), all.size()));
    const std::vector<uint8_t> got = ReadFor(port, all.size(), milliseconds(2000));
    EXPECT_EQ(got, all);  // CR, LF, XON (0x11), XOFF (0x13), 0xFF, 0x00 included
    uint8_t back[64];
    EXPECT_EQ(board.ReadFromHost(back, sizeof back, 200), 0u);
}

TEST_F(SerialPortTest, BurstBetweenPollsIsReadWithoutLoss) {
    ASSERT_GT(port.Open(921600, kPort), 2);
    // The board sends 64 KiB as fast as the line takes it while the host polls
    // every 50 ms, as the capture worker does.
    std::vector<uint8_t> data(65536);
    for (size_t i = 0; i < data.size(); ++i)
        data[i] = static_cast<uint8_t>((i * 131) ^ (i >> 8));
    std::atomic<bool> written{false};
    std::thread writer([&] { written = board.WriteAll(data.data(), data.size(), 10000); });
    std::vector<uint8_t> got;
    std::vector<uint8_t> buf(32768);
    uint32_t biggest = 0;
    for (int poll = 0; poll < 200 && got.size() < data.size(); ++poll) {
        std::this_thread::sleep_for(milliseconds(50));
        uint32_t n = 0;
        ASSERT_EQ(port.ReadAvailable(buf.data(), static_cast<uint32_t>(buf.size()), n), 0);
        biggest = std::max(biggest, n);
        got.insert(got.end(), buf.begin(), buf.begin() + n);
    }
    writer.join();
    EXPECT_TRUE(written);
    ASSERT_EQ(got.size(), data.size());
    EXPECT_EQ(got, data);
    // One call drains everything queued, not one 4095-byte read's worth.
    EXPECT_GT(biggest, 4095u);
    RecordProperty("largest_single_read", static_cast<int>(biggest));
}

TEST_F(SerialPortTest, PurgeDiscardsEverythingAndPauses) {
    ASSERT_GT(port.Open(115200, kPort), 2);
    std::vector<uint8_t> data(12000, 0xAA);
    const size_t taken = board.WriteSome(data.data(), data.size());
    ASSERT_GT(taken, 4095u);
    ASSERT_TRUE(board.WaitQueued(taken, 2000));
    const auto start = steady_clock::now();
    port.Purge();
    EXPECT_GE(steady_clock::now() - start, milliseconds(50));
    std::this_thread::sleep_for(milliseconds(20));
    uint8_t buf[16384];
    uint32_t n = 99;
    EXPECT_EQ(port.ReadAvailable(buf, sizeof buf, n), 0);
    EXPECT_EQ(n, 0u);
}

TEST_F(SerialPortTest, VanishedDeviceMakesReadsFail) {
    ASSERT_GT(port.Open(115200, kPort), 2);
    board.Close();
    uint8_t buf[16];
    uint32_t n = 5;
    EXPECT_EQ(port.ReadAvailable(buf, sizeof buf, n), 1);
    EXPECT_EQ(n, 0u);
}

TEST_F(SerialPortTest, CloseDuringReadsNeverReadsARecycledDescriptor) {
    ASSERT_GT(port.Open(115200, kPort), 2);
    std::atomic<bool> failed{false};
    std::thread reader([&] {
        uint8_t buf[256];
        for (int i = 0; i < 100000 && !failed; ++i) {
            uint32_t n = 0;
            if (port.ReadAvailable(buf, sizeof buf, n) != 0)
                failed = true;
        }
    });
    std::this_thread::sleep_for(milliseconds(5));
    EXPECT_EQ(port.Close(), 1);
    reader.join();
    EXPECT_TRUE(failed);

    // A second board on another port now gets the freed descriptor number; the
    // closed wrapper must not read its data.
    camsim::PseudoTerminal second;
    ASSERT_TRUE(second.Open());
    SetPortDevicePath(kPort + 1, second.DevicePath());
    SerialPort other;
    ASSERT_GT(other.Open(115200, kPort + 1), 2);
    const uint8_t msg[] = {1, 2, 3, 4};
    ASSERT_TRUE(second.WriteAll(msg, sizeof msg));
    ASSERT_TRUE(second.WaitQueued(sizeof msg, 2000));
    uint8_t buf[16];
    uint32_t n = 0;
    EXPECT_EQ(port.ReadAvailable(buf, sizeof buf, n), 1);
    const std::vector<uint8_t> got = ReadFor(other, 4, milliseconds(1000));
    EXPECT_EQ(got, std::vector<uint8_t>(msg, msg + 4));
    other.Close();
    SetPortDevicePath(kPort + 1, "");
}

TEST_F(SerialPortTest, WaitEndsOnDataOnAWakeOrAtItsTimeOut) {
    ASSERT_GT(port.Open(115200, kPort), 2);
    CWakeEvent wake;
    // An idle line: the full time-out.
    auto start = steady_clock::now();
    EXPECT_EQ(port.WaitForData(30, &wake), SerialPort::kTimedOut);
    EXPECT_GE(steady_clock::now() - start, milliseconds(25));

    // A wake from another thread ends a long wait at once, with no data.
    std::thread waker([&] {
        std::this_thread::sleep_for(milliseconds(20));
        wake.Signal();
    });
    start = steady_clock::now();
    EXPECT_EQ(port.WaitForData(10000, &wake), SerialPort::kWoken);
    EXPECT_LT(steady_clock::now() - start, milliseconds(5000));
    waker.join();
    wake.Clear();  // taken back: the next wait waits again
    EXPECT_EQ(port.WaitForData(10, &wake), SerialPort::kTimedOut);

    // Data ends it; unless the port is not watched.
    const uint8_t byte = 7;
    ASSERT_TRUE(board.WriteAll(&byte, 1));
    ASSERT_TRUE(board.WaitQueued(1, 2000));
    EXPECT_EQ(port.WaitForData(10000, &wake), SerialPort::kDataReady);
    EXPECT_EQ(port.WaitForData(10, &wake, false), SerialPort::kTimedOut);
    EXPECT_EQ(ReadFor(port, 1, milliseconds(1000)), std::vector<uint8_t>{7});

    // A closed or vanished port does not keep a waiter: the read tells why.
    board.Close();
    EXPECT_EQ(port.WaitForData(10000, &wake), SerialPort::kDataReady);
    port.Close();
    EXPECT_EQ(port.WaitForData(10000, &wake), SerialPort::kDataReady);
}

}  // namespace
