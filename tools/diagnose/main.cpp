// tavix-diagnose: says what a serial line carries (header byte, frame size,
// format, rows and columns, rate against the baud rate) from a few seconds
// of a serial device or from a TavixTool recording.

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <string>
#include <system_error>
#include <thread>
#include <vector>

#include "capture/RecordingFormat.h"
#include "capture/RecordingReader.h"
#include "capture/StreamDiagnosis.h"
#include "serial/PortDevices.h"
#include "serial/PortSelection.h"
#include "serial/SerialPort.h"
#include "settings/ConsoleText.h"
#include "settings/Translation.h"
#include "stream/StreamFormat.h"
#include "tools/capture/PlatformHelp.h"

namespace {

constexpr const char* kName = "tavix-diagnose";
// The analysis looks at this much; beyond it bytes are only counted.
constexpr size_t kKeepBytes = size_t{4} << 20;
constexpr uint32_t kDefaultBaud = 115200;
// A quiet line this long before bytes marks where a burst starts.
constexpr std::chrono::milliseconds kPause{15};
// The longest a device is listened to while its bytes are too few.
constexpr std::chrono::seconds kMostListening{10};

std::string HelpText() {
    // The examples differ by system (PlatformHelp*.cpp).
    return tx::Tr("tavix-diagnose",
                  "用法：tavix-diagnose 设备或文件 [选项]\n"
                  "读取串口设备几秒钟的数据（或者一个 TavixTool 录制文件、一个原始数据文件），\n"
                  "说明数据是什么：\n"
                  "数据头的值和周期、每帧字节数、黑白还是彩色（U,Y,V）、可能的行数和列数、\n"
                  "数据速率与波特率是否相符、串口的错误计数，并给出页面应该怎样设置。\n"
                  "\n"
                  "选项：\n"
                  "  --baud N            打开设备用的波特率（默认 115200）；对录制文件，\n"
                  "                      代替文件里记下的波特率\n"
                  "  --seconds S         读取设备的秒数（默认 3；数据不够下结论时最多再听到\n"
                  "                      10 秒）；对录制文件，只看前 S 秒\n"
                  "  --rows R            页面现在的行数（只在几种可能一样好时用来取舍）\n"
                  "  --columns C         页面现在的列数\n"
                  "  --colour            页面现在是彩色页面\n"
                  "  --header N          页面现在的数据头，0～255\n"
                  "  --help              显示本说明\n"
                  "\n"
                  "录制文件以 TAVIXREC 开头，它记下的波特率、数据头、行列和格式就是页面设置。\n"
                  "其他文件都当作原始数据（例如 cat /dev/ttyUSB0 > dump.bin 或终端程序存下的\n"
                  "字节），只看前 4 MiB；原始数据没有时间，速率无从得知。\n"
                  "输入读不出来时退出码为 2，否则为 0。\n"
                  "\n"
                  "例子：\n") +
           std::string(platformhelp::DiagnoseExamples());
}

// Prints a translated line (the pattern filled) to `to`.
template <typename... Args>
void Say(std::FILE* to, const char* pattern, const Args&... args) {
    std::fputs(tx::Format(pattern, args...).c_str(), to);
    std::fputc('\n', to);
}

// Prints "tavix-diagnose: " and a translated line (the pattern filled) to the
// standard error. The arguments are worked out first (errno among them).
template <typename... Args>
void Fail(const char* pattern, const Args&... args) {
    const std::string text = tx::Format(pattern, args...);
    std::fprintf(stderr, "%s: %s\n", kName, text.c_str());
}

struct BadOption {
    std::string message;
};

uint64_t ParseWhole(const std::string& option, const std::string& text, uint64_t min,
                    uint64_t max) {
    char* end = nullptr;
    errno = 0;
    const unsigned long long value = std::strtoull(text.c_str(), &end, 10);
    if (text.empty() || text[0] == '-' || *end != '\0' || errno == ERANGE || value < min ||
        value > max)
        throw BadOption{tx::Format(tx::Tr("tavix-diagnose", "%1 需要 %2～%3 的整数，而不是“%4”"),
                                   option, min, max, text)};
    return value;
}

struct CommandLine {
    std::string input;
    uint32_t baud = 0;   // 0: not given
    double seconds = 0;  // 0: not given
    uint32_t rows = 0;
    uint32_t columns = 0;
    bool colour = false;
    int header = -1;
    bool help = false;
};

CommandLine Parse(int argc, char** argv) {
    CommandLine cl;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        auto next = [&]() -> std::string {
            if (i + 1 >= argc)
                throw BadOption{tx::Format(tx::Tr("tavix-diagnose", "%1 后面缺少数值"), arg)};
            return argv[++i];
        };
        if (arg == "--help" || arg == "-h") {
            cl.help = true;
        } else if (arg == "--baud") {
            cl.baud = uint32_t(ParseWhole(arg, next(), 1, 100000000));
        } else if (arg == "--seconds") {
            const std::string text = next();
            char* end = nullptr;
            cl.seconds = std::strtod(text.c_str(), &end);
            if (text.empty() || *end != '\0' || !std::isfinite(cl.seconds) || cl.seconds <= 0 ||
                cl.seconds > 3600)
                throw BadOption{
                    tx::Format(tx::Tr("tavix-diagnose",
                                      "--seconds 需要大于 0、不超过 3600 的秒数，而不是“%1”"),
                               text)};
        } else if (arg == "--rows") {
            cl.rows = uint32_t(ParseWhole(arg, next(), 1, 9999));
        } else if (arg == "--columns") {
            cl.columns = uint32_t(ParseWhole(arg, next(), 1, 9999));
        } else if (arg == "--colour" || arg == "--color") {
            cl.colour = true;
        } else if (arg == "--header") {
            cl.header = int(ParseWhole(arg, next(), 0, 255));
        } else if (!arg.empty() && arg[0] == '-') {
            throw BadOption{tx::Format(tx::Tr("tavix-diagnose", "不认识的选项“%1”"), arg)};
        } else if (cl.input.empty()) {
            cl.input = arg;
        } else {
            throw BadOption{tx::Tr("tavix-diagnose", "只能给一个设备或录制文件")};
        }
    }
    if (!cl.help && cl.input.empty())
        throw BadOption{tx::Tr("tavix-diagnose", "缺少设备或录制文件")};
    if ((cl.rows > 0) != (cl.columns > 0))
        throw BadOption{tx::Tr("tavix-diagnose", "--rows 和 --columns 要一起给")};
    return cl;
}

// The bytes looked at, and how many came in all.
struct Received {
    std::vector<uint8_t> bytes;
    uint64_t total = 0;
    void Add(const uint8_t* data, size_t n) {
        total += n;
        const size_t room = kKeepBytes - bytes.size();
        bytes.insert(bytes.end(), data, data + std::min(n, room));
    }
};

// A recording's chunks up to `seconds` (0: all) and its header as context.
// False, with the reason on stderr, when it cannot be read.
bool ReadRecording(const CommandLine& cl, Received& got, CDiagnosisContext& ctx) {
    CRecordingReader reader;
    std::string error;
    if (!reader.Open(cl.input, error)) {
        std::fprintf(stderr, "%s: %s\n", kName, error.c_str());
        return false;
    }
    const RecordingHeader& h = reader.Header();
    ctx.baud = h.baud;
    ctx.header = h.headerByte;
    ctx.rows = h.rows;
    ctx.columns = h.columns;
    ctx.colour = h.format == recording::PixelFormat::Colour ? 1 : 0;
    if (!h.streamFormat.empty())
        ctx.hasFormat = stream::FormatFromText(h.streamFormat, ctx.format);
    CRecordingReader::Chunk chunk;
    uint64_t last = 0;
    while (reader.Next(chunk)) {
        if (cl.seconds > 0 && double(chunk.timeMicroseconds) > cl.seconds * 1e6)
            break;
        got.Add(chunk.bytes.data(), chunk.bytes.size());
        last = chunk.timeMicroseconds;
    }
    ctx.seconds = double(last) / 1e6;
    Say(stdout,
        ctx.colour == 1
            ? tx::Tr("tavix-diagnose", "录制文件 %1：%2 波特，数据头 %3，彩色 %4 行 × %5 列，%6 秒")
            : tx::Tr("tavix-diagnose",
                     "录制文件 %1：%2 波特，数据头 %3，黑白 %4 行 × %5 列，%6 秒"),
        cl.input, h.baud, h.headerByte, h.rows, h.columns, tx::Fixed(ctx.seconds, 2));
    if (reader.WasCut())
        std::printf("%s\n", reader.CutText().c_str());
    return true;
}

// A file of raw line bytes: its first kKeepBytes are looked at, the rest
// counted. False, with the reason on stderr, when it cannot be read.
bool ReadRawFile(const CommandLine& cl, Received& got) {
    std::ifstream in(std::filesystem::u8path(cl.input), std::ios::binary);
    if (!in) {
        Fail(tx::Tr("tavix-diagnose", "打不开 %1：%2"), cl.input,
             recording::text::ReasonText(errno));
        return false;
    }
    std::vector<uint8_t> buffer(64 * 1024);
    while (in) {
        in.read(reinterpret_cast<char*>(buffer.data()), std::streamsize(buffer.size()));
        got.Add(buffer.data(), size_t(in.gcount()));
    }
    if (in.bad()) {
        Fail(tx::Tr("tavix-diagnose", "读取 %1 出错"), cl.input);
        return false;
    }
    if (got.total == 0) {
        Fail(tx::Tr("tavix-diagnose", "%1 是空文件，没有数据可以诊断"), cl.input);
        return false;
    }
    Say(stdout, tx::Tr("tavix-diagnose", "原始数据文件 %1：%2 字节（没有时间信息，速率无从得知）"),
        cl.input, got.total);
    return true;
}

// What a listening thread shares with the one that decides how long.
struct Listening {
    std::mutex lock;  // guards got and pauses
    Received got;
    std::vector<uint64_t> pauses;
    std::atomic<int64_t> endNs{0};  // until when, steady clock; 0 stops the listener
    std::atomic<bool> failed{false};
};

// Listens on an open port until the deciding thread stops it, adding what
// comes; progress on the standard error when it is a terminal. The end is the
// decider's to judge: stopping at it here would lose the bytes that come
// while the decider weighs whether to listen on.
void Listen(SerialPort& port, std::chrono::steady_clock::time_point start, Listening& l) {
    using Clock = std::chrono::steady_clock;
    std::vector<uint8_t> buffer(64 * 1024);
    const bool progress = isatty(STDERR_FILENO) != 0;
    auto shown = Clock::time_point();
    auto lastData = Clock::now();
    while (l.endNs != 0) {
        port.WaitForData(50, nullptr);
        uint32_t n = 0;
        if (port.ReadAvailable(buffer.data(), uint32_t(buffer.size()), n) != 0) {
            l.failed = true;
            break;
        }
        const auto now = Clock::now();
        uint64_t total = 0;
        {
            std::lock_guard<std::mutex> guard(l.lock);
            // Bytes after a quiet while start a burst: where headerless
            // frames begin.
            if (n > 0 && l.got.total > 0 && l.got.total < kKeepBytes && now - lastData >= kPause)
                l.pauses.push_back(l.got.total);
            l.got.Add(buffer.data(), n);
            total = l.got.total;
        }
        if (n > 0)
            lastData = now;
        if (progress && now - shown >= std::chrono::milliseconds(200)) {
            shown = now;
            std::fprintf(
                stderr, "\r%s   ",
                tx::Format(tx::Tr("tavix-diagnose", "正在读取：%1 秒，%2 字节"),
                           tx::Fixed(std::chrono::duration<double>(now - start).count(), 1), total)
                    .c_str());
        }
    }
    if (progress)
        std::fputs("\r\033[K", stderr);
}

// Reads the device for the given seconds with the UART's counters around it;
// while the bytes are too few for an answer (and no time was given), up to
// kMostListening in all.
bool ReadDevice(const CommandLine& cl, Received& got, CDiagnosisContext& ctx) {
    const uint32_t baud = cl.baud > 0 ? cl.baud : kDefaultBaud;
    const double seconds = cl.seconds > 0 ? cl.seconds : 3.0;
    // A port name (COM5) is the device the port list gives that number.
    const int number = PortNumberOf(cl.input);
    const std::string device = number > 0 ? PortDevicePath(number) : cl.input;
    SerialPort port;
    if (port.OpenDevice(baud, device) < 0) {
        Fail(tx::Tr("tavix-diagnose", "打不开 %1：%2"), cl.input,
             recording::text::ReasonText(port.m_nLastError));
        return false;
    }
    Say(stdout, tx::Tr("tavix-diagnose", "设备 %1：%2 波特，读取 %3 秒"), cl.input, baud,
        tx::Fixed(seconds, 1));
    std::fflush(stdout);
    uint64_t before[4] = {};
    const bool counters = port.LineErrorCounters(before[0], before[1], before[2], before[3]);
    using Clock = std::chrono::steady_clock;
    const auto start = Clock::now();
    const auto most = start + kMostListening;
    auto end =
        start + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(seconds));
    // One thread reads all the while; this one decides, from a copy of what
    // came, whether to listen on (the port is never left unread).
    Listening l;
    l.endNs = end.time_since_epoch().count();
    std::thread listener([&] { Listen(port, start, l); });
    for (;;) {
        std::this_thread::sleep_until(end);
        if (l.failed || cl.seconds > 0 || end >= most)
            break;
        std::vector<uint8_t> sofarBytes;
        CDiagnosisContext sofar = ctx;
        uint64_t total = 0;
        {
            std::lock_guard<std::mutex> guard(l.lock);
            sofarBytes = l.got.bytes;
            sofar.pauses = l.pauses;
            total = l.got.total;
        }
        if (total == 0 || total >= kKeepBytes)
            break;
        // Enough for an answer? The diagnosis says how many more bytes it needs.
        const double elapsed = std::chrono::duration<double>(Clock::now() - start).count();
        sofar.seconds = elapsed;
        const uint64_t needed =
            Diagnose(sofarBytes.data(), sofarBytes.size(), sofar).moreBytesNeeded;
        if (needed == 0)
            break;
        // At the rate so far, and half a second more.
        const double rate = double(total) / std::max(elapsed, 0.001);
        const double more = double(needed) / rate + 0.5;
        Say(stdout, tx::Tr("tavix-diagnose", "数据还不够下结论（还需要约 %1 字节），继续读取…"),
            needed);
        std::fflush(stdout);
        end =
            std::min(most, Clock::now() + std::chrono::duration_cast<Clock::duration>(
                                              std::chrono::duration<double>(std::min(more, 10.0))));
        l.endNs = end.time_since_epoch().count();
    }
    l.endNs = 0;  // the listener stops at its next look
    listener.join();
    const bool failed = l.failed;
    got = std::move(l.got);
    ctx.pauses = std::move(l.pauses);
    ctx.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    uint64_t after[4] = {};
    if (counters && port.LineErrorCounters(after[0], after[1], after[2], after[3])) {
        ctx.countersKnown = true;
        ctx.framing = after[0] - before[0];
        ctx.parity = after[1] - before[1];
        ctx.overrun = after[2] - before[2];
        ctx.breaks = after[3] - before[3];
    }
    port.Close();
    ctx.baud = baud;
    if (failed && got.total == 0) {
        Fail(tx::Tr("tavix-diagnose", "读取 %1 失败（设备被拔掉或出错）"), cl.input);
        return false;
    }
    if (failed)
        Say(stdout,
            tx::Tr("tavix-diagnose",
                   "读取在 %1 秒时中断（设备被拔掉或出错），只分析此前收到的数据"),
            tx::Fixed(ctx.seconds, 2));
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    UseUtf8Console(argc, argv);
    // The terminal's language: Chinese when the locale is Chinese, else English.
    tx::SetLanguage(tx::LanguageFromEnvironment());
    CommandLine cl;
    try {
        cl = Parse(argc, argv);
    } catch (const BadOption& bad) {
        Fail(tx::Tr("tavix-diagnose", "%1（见 --help）"), bad.message);
        return 2;
    }
    if (cl.help) {
        std::fputs(HelpText().c_str(), stdout);
        return 0;
    }

    std::error_code why;
    const std::filesystem::file_status st =
        std::filesystem::status(std::filesystem::u8path(cl.input), why);
    const bool exists = !why && std::filesystem::exists(st);
    // A port name is a device unless a file of that name is at hand.
    const bool file = exists && std::filesystem::is_regular_file(st);
    if (!exists && PortNumberOf(cl.input) == 0) {
        Fail(tx::Tr("tavix-diagnose", "打不开 %1：%2"), cl.input,
             recording::text::ReasonText(why ? why.value() : ENOENT));
        return 2;
    }
    Received got;
    CDiagnosisContext ctx;
    const bool recording = file && recording::IsRecordingFile(cl.input);
    // What the command line says about the page wins over the recording's;
    // on a device it also weighs whether to listen on.
    auto page = [&] {
        if (cl.baud > 0)
            ctx.baud = cl.baud;
        if (cl.header >= 0)
            ctx.header = cl.header;
        if (cl.rows > 0) {
            ctx.rows = cl.rows;
            ctx.columns = cl.columns;
        }
        if (cl.colour)
            ctx.colour = 1;
        else if (cl.rows > 0 && !recording)
            ctx.colour = 0;
    };
    if (!recording)
        page();
    const bool read = recording ? ReadRecording(cl, got, ctx)
                      : file    ? ReadRawFile(cl, got)
                                : ReadDevice(cl, got, ctx);
    if (!read)
        return 2;
    page();
    if (got.total > got.bytes.size())
        ctx.bytesReceived = got.total;

    const CDiagnosisReport report = Diagnose(got.bytes.data(), got.bytes.size(), ctx);
    std::fputs(ReportText(report).c_str(), stdout);
    if (file && report.moreBytesNeeded > 0)
        Say(stdout, tx::Tr("tavix-diagnose", "文件里的数据不够下结论：还需要约 %1 字节。"),
            report.moreBytesNeeded);
    return 0;
}
