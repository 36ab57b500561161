// The Windows SerialPort against a COM port whose far end is fed from outside
// (under Wine: a pseudo-terminal behind dosdevices/comN, see run-wine-serial-test.sh).
//
//   SerialPortWineTest <port> <baud> <bytes> <missing port>
//
// 1. opens COM<port> at <baud>, purges, writes "R" so that the feeder starts,
//    reads <bytes> bytes with WaitForData + ReadAvailable and checks them byte
//    for byte against the feeder's pattern (0..255, then a fixed LCG);
// 2. a second open of the same port must fail as held by another program;
// 3. a wait for data on the quiet line must end at once when woken, and after
//    its time-out when not;
// 4. COM<missing port> must fail as missing, with the same reason line as on
//    Linux.
// Exit 0 when every check passed, 1 otherwise; each check prints one line.
#include <windows.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <initializer_list>
#include <string>
#include <thread>
#include <vector>

#include "serial/PortDevices.h"
#include "serial/PortOwner.h"
#include "serial/PortSelection.h"
#include "serial/SerialPort.h"
#include "serial/WakeEvent.h"

namespace {

using Clock = std::chrono::steady_clock;

int g_failures = 0;

void Check(bool ok, const std::string& what) {
    std::printf("%s %s\n", ok ? "PASS" : "FAIL", what.c_str());
    std::fflush(stdout);
    if (!ok)
        ++g_failures;
}

double MsSince(Clock::time_point t) {
    return std::chrono::duration<double, std::milli>(Clock::now() - t).count();
}

// The feeder's stream: every byte value once, then the high bytes of an LCG.
std::vector<uint8_t> Pattern(size_t n) {
    std::vector<uint8_t> p(n);
    uint32_t x = 0x1234;
    for (size_t i = 0; i < n; ++i) {
        if (i < 256) {
            p[i] = static_cast<uint8_t>(i);
        } else {
            x = x * 1103515245u + 12345u;
            p[i] = static_cast<uint8_t>(x >> 24);
        }
    }
    return p;
}

// A port owner whose choice is set by the test and whose message is kept.
class TestOwner : public CPortOwner {
public:
    std::string portText;
    std::string baudText;
    std::string message;

protected:
    int GetBaudSelection() override { return 1; }
    std::string GetBaudText() override { return baudText; }
    int GetPortSelection() override { return 1; }
    std::string GetPortText() override { return portText; }
    void ShowPortMessage(const std::string& text, const std::string&) override { message = text; }
};

bool UnderWine() {
    const HMODULE ntdll = GetModuleHandleA("ntdll.dll");
    return ntdll != nullptr && GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

// What the driver keeps of rates the engine may ask for: reported, not
// checked (a pseudo-terminal has no rate, and Wine keeps only the standard ones).
void BaudReport(SerialPort& port) {
    for (uint32_t b : {921600u, 3000000u, 1000000u, 250000u, 123456u}) {
        const int ok = port.Configure(b);
        DCB dcb{};
        dcb.DCBlength = sizeof dcb;
        const HANDLE h = LongToHandle(static_cast<int>(port.m_hComm));
        const BOOL got = GetCommState(h, &dcb);
        std::printf("INFO baud %lu: Configure %d, the driver reports %lu\n",
                    static_cast<unsigned long>(b), ok,
                    got ? static_cast<unsigned long>(dcb.BaudRate) : 0ul);
    }
}

void StreamCheck(SerialPort& port, size_t total) {
    const std::vector<uint8_t> expected = Pattern(total);
    std::vector<uint8_t> got;
    got.reserve(total);
    CWakeEvent wake;
    std::vector<uint8_t> buffer(65536);
    uint32_t written = 0;
    Check(port.Write(reinterpret_cast<const uint8_t*>("R"), 1, written, 1000) == 0 && written == 1,
          "write of the start request");
    const auto start = Clock::now();
    Clock::time_point first{};
    size_t reads = 0, waits = 0;
    bool readFailed = false;
    while (got.size() < total && MsSince(start) < 20000) {
        uint32_t n = 0;
        if (port.ReadAvailable(buffer.data(), static_cast<uint32_t>(buffer.size()), n) != 0) {
            readFailed = true;
            break;
        }
        if (n > 0) {
            if (got.empty())
                first = Clock::now();
            ++reads;
            got.insert(got.end(), buffer.begin(), buffer.begin() + n);
            continue;
        }
        ++waits;
        port.WaitForData(50, &wake);
    }
    const double ms = got.empty() ? 0.0 : MsSince(first);
    size_t firstBad = got.size();
    for (size_t i = 0; i < got.size() && i < total; ++i) {
        if (got[i] != expected[i]) {
            firstBad = i;
            break;
        }
    }
    char line[256];
    std::snprintf(line, sizeof line,
                  "stream: %zu of %zu bytes in %.1f ms after the first (%.0f bytes/s), %zu "
                  "reads, %zu waits, read failure %d, first difference at %zd",
                  got.size(), total, ms, ms > 0 ? got.size() * 1000.0 / ms : 0.0, reads, waits,
                  readFailed ? 1 : 0,
                  firstBad < got.size() ? static_cast<ptrdiff_t>(firstBad) : ptrdiff_t{-1});
    Check(!readFailed && got.size() == total && firstBad == got.size(), line);
}

// On a quiet line a read returns at once with nothing. A read that waited
// instead would hold the port's lock and keep a stop or a close waiting; a
// watchdog cancels it after a second so that the check ends either way.
void QuietReadCheck(SerialPort& port) {
    std::atomic<bool> done{false};
    std::thread watchdog([&] {
        for (int i = 0; i < 100 && !done; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        if (!done)
            (void)CancelIoEx(LongToHandle(static_cast<int>(port.m_hComm)), nullptr);
    });
    uint8_t buffer[4096];
    uint32_t n = 99;
    const auto t = Clock::now();
    const int r = port.ReadAvailable(buffer, sizeof buffer, n);
    const double ms = MsSince(t);
    done = true;
    watchdog.join();
    Check(r == 0 && n == 0 && ms < 50, "quiet line: read returned " + std::to_string(r) + " with " +
                                           std::to_string(n) + " bytes after " +
                                           std::to_string(ms) + " ms");
}

void WakeCheck(SerialPort& port) {
    CWakeEvent wake;
    Check(wake.Handle() != -1, "wake event created");
    // Not woken: the wait ends with its time-out.
    auto t = Clock::now();
    int r = port.WaitForData(200, &wake);
    double ms = MsSince(t);
    Check(r == SerialPort::kTimedOut && ms >= 190 && ms < 1000,
          "quiet line, no wake: timed out after " + std::to_string(ms) + " ms");

    // Woken from another thread 150 ms into a 5 s wait.
    std::atomic<int64_t> signalledAt{0};
    std::thread stopper([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(150));
        signalledAt = Clock::now().time_since_epoch().count();
        wake.Signal();
    });
    t = Clock::now();
    r = port.WaitForData(5000, &wake);
    const auto end = Clock::now();
    stopper.join();
    const double lag = std::chrono::duration<double, std::milli>(
                           end.time_since_epoch() - Clock::duration(signalledAt.load()))
                           .count();
    Check(r == SerialPort::kWoken && lag < 50, "stop wakes the wait: woken " + std::to_string(lag) +
                                                   " ms after the signal (" +
                                                   std::to_string(MsSince(t)) + " ms in all)");
    // The signal stays until cleared, then the wait times out again.
    Check(port.WaitForData(1000, &wake) == SerialPort::kWoken, "signal kept until cleared");
    wake.Clear();
    Check(port.WaitForData(100, &wake) == SerialPort::kTimedOut, "cleared signal no longer wakes");
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 5) {
        std::fprintf(stderr, "usage: %s <port> <baud> <bytes> <missing port>\n", argv[0]);
        return 2;
    }
    const int portNumber = std::atoi(argv[1]);
    const uint32_t baud = static_cast<uint32_t>(std::strtoul(argv[2], nullptr, 10));
    const size_t bytes = std::strtoul(argv[3], nullptr, 10);
    const int missing = std::atoi(argv[4]);

    const std::vector<int> known = SystemPortNumbers();
    std::string list;
    bool listed = false;
    for (int n : known) {
        list += " COM" + std::to_string(n);
        listed = listed || n == portNumber;
    }
    Check(listed, "system port list:" + list);

    // The port list as the window builds it: the fed port is there and free,
    // a port the system does not know is missing.
    std::string entries;
    bool free = false;
    for (const CPortEntry& e : ProbePortEntries()) {
        entries += " " + e.Text() + "=" + e.device;
        free = free || (e.name == "COM" + std::to_string(portNumber) && e.state == PortState::Free);
    }
    Check(free, "port list entries:" + entries);
    Check(ProbeDevice(PortDevicePath(missing)) == PortState::Missing,
          "probe of COM" + std::to_string(missing) + ": missing");

    SerialPort port;
    const intptr_t h = port.Open(baud, portNumber);
    Check(h != -1 && h != 0, "open " + port.m_strDevice + " at " + std::to_string(baud) +
                                 " (error number " + std::to_string(port.m_nLastError) + ")");
    if (h == -1 || h == 0)
        return 1;
    port.Purge();
    Check(port.PurgeCount() == 1, "purge counted");

    StreamCheck(port, bytes);

    // Windows refuses a second open of a COM port (access denied); Wine does
    // not emulate that, so there it is only reported.
    SerialPort second;
    const intptr_t h2 = second.Open(baud, portNumber);
    const bool refused = h2 == -1 && second.m_nLastError == EBUSY;
    if (!refused && UnderWine())
        std::printf("INFO Wine lets a second open of the port through (not emulated)\n");
    else
        Check(refused, "second open refused as held (error number " +
                           std::to_string(second.m_nLastError) + ")");
    second.Close();

    BaudReport(port);

    QuietReadCheck(port);
    WakeCheck(port);

    // A close on another thread ends a wait on the port at once.
    {
        CWakeEvent wake;
        std::thread closer([&] {
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
            port.Close();
        });
        const auto t = Clock::now();
        const int r = port.WaitForData(5000, &wake);
        const double ms = MsSince(t);
        closer.join();
        uint8_t b;
        uint32_t n = 0;
        Check(r == SerialPort::kDataReady && ms < 1000 && port.ReadAvailable(&b, 1, n) == 1,
              "close on another thread ends the wait after " + std::to_string(ms) +
                  " ms; the next read fails");
    }

    // A port the system does not know: the "missing" reason.
    TestOwner owner;
    owner.portText = "COM" + std::to_string(missing);
    owner.baudText = std::to_string(baud);
    const int opened = owner.OpenPort();
    Check(opened == 0 && owner.m_port.m_nLastError == ENOENT &&
              owner.message.find("不存在：摄像头板没有连接，或已被拔出。") != std::string::npos,
          "missing port's message: " + owner.message);

    std::printf("%s\n", g_failures == 0 ? "ALL PASSED" : "FAILURES");
    return g_failures == 0 ? 0 : 1;
}
