// tavix-camsim: a simulated camera board on a pseudo-terminal, so TavixTool can
// be tried and tested without hardware; it also plays recordings back.

#include <signal.h>

#include <atomic>
#include <cctype>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <string>
#include <thread>

#include "capture/RecordingReader.h"
#include "settings/Translation.h"
#include "stream/StreamFormat.h"
#include "tools/camsim/CameraBoard.h"
#include "tools/camsim/FrameSource.h"
#include "tools/camsim/PseudoTerminal.h"
#include "tools/camsim/ReplaySource.h"

namespace {

constexpr const char* kName = "tavix-camsim";

const char kHelp[] =
    "Usage: tavix-camsim [options]\n"
    "       tavix-camsim --replay FILE [--fast] [--link PATH]\n"
    "Simulates a camera board streaming raw frames over a serial line. Opens a\n"
    "pseudo-terminal, prints its device path and streams frames to it. By default\n"
    "each frame is one header byte, then rows x columns pixels row by row: one\n"
    "byte per pixel in grayscale, three (U, Y, V) in color, and nothing sent to\n"
    "the board is read. --format sends what other camera boards send.\n"
    "\n"
    "Stream format:\n"
    "  --format FORMAT     a preset or a custom format (see below); default design\n"
    "  --quality Q         JPEG quality, 1..100 (default 80)\n"
    "  --between TEXT      send TEXT before every frame, with C escapes (\\r \\n\n"
    "                      \\t \\\\ \\xHH), e.g. 'ACK IMG END\\r\\n'\n"
    "  --between-length    send the frame's payload length in decimal and \\r\\n\n"
    "                      before every frame (after --between)\n"
    "  --packet-text TEXT  packet format: a debug-text packet (command 13) after\n"
    "                      each frame's first row\n"
    "Picture:\n"
    "  --rows N            rows per frame, 1..9999 (default 60, or the preset's)\n"
    "  --columns N         columns per frame, 1..9999 (default 80, or the preset's)\n"
    "  --color             send U,Y,V triplets instead of grayscale bytes (the\n"
    "                      design format only; other formats set the encoding)\n"
    "  --pattern NAME      gradient (default), bars, moving or scene (textured\n"
    "                      shapes, fine detail, noise, blown-out and black areas)\n"
    "  --seed N            seeds the scene and the garbage bytes (default 1)\n"
    "  --file PATH         send a binary PGM (P5) or PPM (P6) picture, maxval 255,\n"
    "                      scaled to rows x columns\n"
    "  --header N          header byte, 0..255 (default 255)\n"
    "Pacing:\n"
    "  --baud N            line speed: N/10 bytes per second (default 115200)\n"
    "  --fps N             N frames per second instead, each written at once\n"
    "  --count N           stop after N frames (default 0: endless)\n"
    "  --blocking          wait while the host does not read, instead of dropping\n"
    "                      the bytes the line cannot take as a real UART would\n"
    "Faults:\n"
    "  --garbage N         N random bytes between frames, never starting a frame\n"
    "  --truncate-every K  cut frames K, 2K, ... to half their pixel bytes\n"
    "  --header-pixels     set every 16th pixel byte to the header value\n"
    "  --lose-byte-every K frames K, 2K, ... lose the middle byte of their payload\n"
    "Replay:\n"
    "  --replay FILE       play a TavixTool recording (.tavixrec) instead: exactly\n"
    "                      the bytes the port delivered, each chunk at its recorded\n"
    "                      time from the start of the replay. Every byte is sent;\n"
    "                      a host that does not read holds the replay up. Only\n"
    "                      --fast and --link go with it\n"
    "  --fast              send the chunks back to back, as fast as the host reads\n"
    "Other:\n"
    "  --link PATH         symlink PATH to the device (replaces a symlink, never a\n"
    "                      file; removed on exit)\n"
    "  --help              show this text\n"
    "\n"
    "Ctrl+C (or SIGTERM) stops and prints frames sent, bytes sent and bytes\n"
    "dropped (a replay: chunks and bytes sent). After the last of --count frames,\n"
    "or the end of a recording, it waits up to 2 s for the host to read what is\n"
    "still queued. A recording that cannot be read ends it with exit code 2.\n"
    "\n"
    "Formats (--format): a preset id, or custom,framing=F,... as TavixTool's\n"
    "format settings write it. Presets (usual rows x columns):\n"
    "%PRESETS%"
    "\n"
    "Custom: custom,framing=header|marker|described|packet|jpeg|headerless,\n"
    "start=HEX,end=HEX,encoding=ID,gap=MS,request-start=BYTES,\n"
    "request-frame=BYTES,request-stop=BYTES (BYTES: hex pairs, or text in\n"
    "double quotes). Encodings: gray8, uyv, rgb565be, rgb565le, rgb888, yuyv,\n"
    "uyvy, yvyu, yuyv-y, uyvy-y, bits1, jpeg, jpeg-gray.\n"
    "\n"
    "Garbage never starts a frame: it avoids the header byte, the start marker's\n"
    "first byte, D5 (described), 00 (packet) and FF (JPEG). A headerless board is\n"
    "quiet for twice the format's gap before each frame. A board with a per-frame\n"
    "request sends one frame per request it reads (requests add up) and nothing\n"
    "without one; with a start request only, it waits for that, then streams.\n"
    "\n"
    "Examples:\n"
    "  tavix-camsim --rows 120 --columns 160 --color --pattern bars --link /tmp/cam\n"
    "  then open /tmp/cam as the serial port.\n"
    "\n"
    "  tavix-camsim --format arduino --pattern scene --baud 921600 --link /tmp/cam\n"
    "\n"
    "  tavix-camsim --format jpeg --between 'ACK IMG END\\r\\n' --link /tmp/cam\n";

std::atomic<bool> g_stop{false};

void OnSignal(int) {
    g_stop = true;
}

struct BadOption {
    std::string message;
};

// Decimal, or hexadecimal with 0x; digits only (no sign), min..max.
uint64_t ParseUnsigned(const std::string& option, const std::string& text, uint64_t min,
                       uint64_t max) {
    const bool hex = text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X');
    const std::string digits = hex ? text.substr(2) : text;
    const bool ok = !digits.empty() &&
                    digits.find_first_not_of(hex ? "0123456789abcdefABCDEF" : "0123456789") ==
                        std::string::npos;
    errno = 0;
    const unsigned long long value = ok ? std::strtoull(digits.c_str(), nullptr, hex ? 16 : 10) : 0;
    if (!ok || errno == ERANGE || value < min || value > max) {
        throw BadOption{option + " needs a whole number from " + std::to_string(min) + " to " +
                        std::to_string(max) + ", not '" + text + "'"};
    }
    return value;
}

// The help text with the preset list filled in.
std::string HelpText() {
    std::string presets;
    for (const stream::CStreamPreset& p : stream::Presets()) {
        std::string size = p.rows > 0 ? std::to_string(p.rows) + "x" + std::to_string(p.columns)
                                      : std::string("60x80");
        char line[160];
        std::snprintf(line, sizeof line, "  %-14s %-9s %s\n", p.id, size.c_str(),
                      stream::PresetLabel(p));
        presets += line;
    }
    std::string text = kHelp;
    const std::string mark = "%PRESETS%";
    text.replace(text.find(mark), mark.size(), presets);
    return text;
}

// TEXT with C escapes \r \n \t \\ \xHH as bytes.
std::string Unescape(const std::string& option, const std::string& text) {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\\') {
            out += text[i];
            continue;
        }
        const char e = i + 1 < text.size() ? text[++i] : '\0';
        if (e == 'r') {
            out += '\r';
        } else if (e == 'n') {
            out += '\n';
        } else if (e == 't') {
            out += '\t';
        } else if (e == '\\') {
            out += '\\';
        } else if (e == 'x' && i + 2 < text.size() &&
                   std::isxdigit(static_cast<unsigned char>(text[i + 1])) &&
                   std::isxdigit(static_cast<unsigned char>(text[i + 2]))) {
            out += static_cast<char>(std::stoi(text.substr(i + 1, 2), nullptr, 16));
            i += 2;
        } else {
            throw BadOption{option + ": unknown escape in '" + text + "' (\\r \\n \\t \\\\ \\xHH)"};
        }
    }
    return out;
}

struct CommandLine {
    camsim::CameraBoard::Options board;
    std::string link;
    std::string replay;  // The recording to play instead of frames.
    bool fast = false;
    bool help = false;
};

CommandLine Parse(int argc, char** argv) {
    CommandLine cl;
    camsim::CameraBoard::Options& o = cl.board;
    bool baudGiven = false;
    bool patternGiven = false;
    bool rowsGiven = false;
    bool columnsGiven = false;
    const stream::CStreamPreset* preset = nullptr;
    std::string boardOption;  // The last option that shapes generated frames.
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        std::string value;
        bool hasValue = false;
        if (const size_t eq = arg.find('='); arg.rfind("--", 0) == 0 && eq != std::string::npos) {
            value = arg.substr(eq + 1);
            arg.resize(eq);
            hasValue = true;
        }
        // Returns the option's value, from "--opt=value" or the next argument.
        auto next = [&]() -> std::string {
            if (hasValue) {
                return value;
            }
            if (i + 1 >= argc) {
                throw BadOption{arg + " needs a value"};
            }
            return argv[++i];
        };
        auto flag = [&] {
            if (hasValue) {
                throw BadOption{arg + " takes no value"};
            }
        };
        if (arg == "--help" || arg == "-h") {
            flag();
            cl.help = true;
        } else if (arg == "--rows" || arg == "--columns") {
            (arg == "--rows" ? o.rows : o.columns) =
                static_cast<int>(ParseUnsigned(arg, next(), 1, 9999));
            (arg == "--rows" ? rowsGiven : columnsGiven) = true;
        } else if (arg == "--format") {
            const std::string text = next();
            std::string reason;
            if (!stream::FormatFromText(text, o.format, &reason)) {
                throw BadOption{"--format '" + text + "': " + reason};
            }
            preset = stream::FindPreset(text);
        } else if (arg == "--quality") {
            o.quality = static_cast<int>(ParseUnsigned(arg, next(), 1, 100));
        } else if (arg == "--between") {
            o.between = Unescape(arg, next());
        } else if (arg == "--between-length") {
            flag();
            o.betweenLength = true;
        } else if (arg == "--packet-text") {
            o.packetText = Unescape(arg, next());
        } else if (arg == "--seed") {
            o.seed = static_cast<uint32_t>(ParseUnsigned(arg, next(), 0, UINT32_MAX));
        } else if (arg == "--lose-byte-every") {
            o.loseByteEvery = ParseUnsigned(arg, next(), 1, UINT64_MAX);
        } else if (arg == "--colour" || arg == "--color") {
            flag();
            o.colour = true;
        } else if (arg == "--header") {
            o.header = static_cast<uint8_t>(ParseUnsigned(arg, next(), 0, 255));
        } else if (arg == "--pattern") {
            const std::string name = next();
            const auto pattern = camsim::FrameSource::ParsePattern(name);
            if (!pattern) {
                throw BadOption{"unknown pattern '" + name + "' (gradient, bars, moving or scene)"};
            }
            o.pattern = *pattern;
            patternGiven = true;
        } else if (arg == "--file") {
            o.file = next();
            if (o.file.empty()) {
                throw BadOption{"--file needs a path"};
            }
            o.pattern = camsim::Pattern::File;
        } else if (arg == "--baud") {
            o.baud = static_cast<long>(ParseUnsigned(arg, next(), 1, 100000000));
            baudGiven = true;
        } else if (arg == "--fps") {
            const std::string text = next();
            char* end = nullptr;
            o.fps = std::strtod(text.c_str(), &end);
            if (text.empty() || *end != '\0' || !std::isfinite(o.fps) || o.fps <= 0 ||
                o.fps > 1e6) {
                throw BadOption{"--fps needs a number greater than 0, not '" + text + "'"};
            }
        } else if (arg == "--count") {
            o.count = ParseUnsigned(arg, next(), 0, UINT64_MAX);
        } else if (arg == "--garbage") {
            o.garbage = ParseUnsigned(arg, next(), 0, 1000000);
        } else if (arg == "--truncate-every") {
            o.truncateEvery = ParseUnsigned(arg, next(), 1, UINT64_MAX);
        } else if (arg == "--header-pixels") {
            flag();
            o.headerPixels = true;
        } else if (arg == "--blocking") {
            flag();
            o.blocking = true;
        } else if (arg == "--link") {
            cl.link = next();
            if (cl.link.empty()) {
                throw BadOption{"--link needs a path"};
            }
        } else if (arg == "--replay") {
            cl.replay = next();
            if (cl.replay.empty()) {
                throw BadOption{"--replay needs a path"};
            }
        } else if (arg == "--fast") {
            flag();
            cl.fast = true;
        } else {
            throw BadOption{"unknown option '" + arg + "'"};
        }
        if (arg != "--help" && arg != "-h" && arg != "--link" && arg != "--replay" &&
            arg != "--fast") {
            boardOption = arg;
        }
    }
    if (!cl.replay.empty() && !boardOption.empty()) {
        throw BadOption{"--replay plays the recording as it was recorded; " + boardOption +
                        " does not go with it"};
    }
    if (cl.fast && cl.replay.empty()) {
        throw BadOption{"--fast goes only with --replay"};
    }
    if (baudGiven && o.fps > 0) {
        throw BadOption{"use either --baud or --fps, not both"};
    }
    if (patternGiven && !o.file.empty()) {
        throw BadOption{"use either --pattern or --file, not both"};
    }
    if (o.colour && o.format.encoding != stream::Encoding::Page) {
        throw BadOption{
            "--color goes only with a format whose encoding is the page's (design); "
            "this format sets its own encoding"};
    }
    if (preset != nullptr && preset->rows > 0) {
        o.rows = rowsGiven ? o.rows : static_cast<int>(preset->rows);
        o.columns = columnsGiven ? o.columns : static_cast<int>(preset->columns);
    }
    return cl;
}

// Gives the host a moment to read the last frames before the line closes and
// takes whatever is still queued with it.
void LetHostDrain(const camsim::PseudoTerminal& line) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(2);
    int emptyLooks = 0;
    while (!g_stop && std::chrono::steady_clock::now() < deadline && emptyLooks < 3) {
        emptyLooks = line.QueuedForHost() == 0 ? emptyLooks + 1 : 0;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

void InstallSignalHandlers() {
    struct sigaction sa {};
    sa.sa_handler = OnSignal;
    sigemptyset(&sa.sa_mask);
    sigaction(SIGINT, &sa, nullptr);
    sigaction(SIGTERM, &sa, nullptr);
}

// Makes the link to the open line, if asked for, and says where both are;
// false after printing why not.
bool LinkAndAnnounce(camsim::PseudoTerminal& line, const std::string& link) {
    std::string error;
    if (!link.empty() && !line.MakeLink(link, &error)) {
        std::fprintf(stderr, "%s: %s\n", kName, error.c_str());
        return false;
    }
    std::printf("%s: device %s\n", kName, line.DevicePath().c_str());
    if (!link.empty()) {
        std::printf("%s: link %s -> %s\n", kName, link.c_str(), line.DevicePath().c_str());
    }
    return true;
}

// The recording's tool text with control characters shown as '?'.
std::string Printable(std::string text) {
    for (char& c : text) {
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) {
            c = '?';
        }
    }
    return text;
}

int Replay(const CommandLine& cl) {
    CRecordingReader recording;
    std::string error;
    if (!recording.Open(cl.replay, error)) {
        std::fprintf(stderr, "%s: %s\n", kName, error.c_str());
        return 2;
    }
    camsim::PseudoTerminal line;
    if (!line.Open(&error)) {
        std::fprintf(stderr, "%s: %s\n", kName, error.c_str());
        return 1;
    }
    if (!LinkAndAnnounce(line, cl.link)) {
        return 1;
    }
    InstallSignalHandlers();

    const RecordingHeader& h = recording.Header();
    const time_t started = static_cast<time_t>(h.startMicroseconds / 1000000);
    tm local{};
    char when[32] = "?";
    if (localtime_r(&started, &local) != nullptr) {
        std::strftime(when, sizeof when, "%Y-%m-%d %H:%M:%S", &local);
    }
    std::printf(
        "%s: replaying %s (%s, recorded %s): %u baud, header %d, %ux%u %s, %.3f s%s\n", kName,
        cl.replay.c_str(), Printable(h.tool).c_str(), when, h.baud, h.headerByte, h.rows, h.columns,
        h.format == recording::PixelFormat::Colour ? "color" : "grayscale",
        static_cast<double>(recording.DurationMicroseconds()) / 1e6, cl.fast ? ", fast" : "");
    std::fflush(stdout);

    camsim::ReplaySource source(line, recording, cl.fast);
    if (source.Run(g_stop)) {
        LetHostDrain(line);
    }
    if (recording.WasCut()) {
        std::printf("%s: %s\n", kName, recording.CutText().c_str());
    }
    const auto stats = source.Stats();
    std::printf("%s: chunks sent %llu, bytes sent %llu\n", kName,
                static_cast<unsigned long long>(stats.chunksSent),
                static_cast<unsigned long long>(stats.bytesSent));
    std::fflush(stdout);
    line.Close();
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    // The simulator's own texts are English; the engine's (a recording that
    // cannot be read) follow the locale, as in the other tools.
    tx::SetLanguage(tx::LanguageFromEnvironment());
    CommandLine cl;
    try {
        cl = Parse(argc, argv);
    } catch (const BadOption& bad) {
        std::fprintf(stderr, "%s: %s (see --help)\n", kName, bad.message.c_str());
        return 2;
    }
    if (cl.help) {
        std::fputs(HelpText().c_str(), stdout);
        return 0;
    }
    if (!cl.replay.empty()) {
        return Replay(cl);
    }

    camsim::PseudoTerminal line;
    std::string error;
    if (!line.Open(&error)) {
        std::fprintf(stderr, "%s: %s\n", kName, error.c_str());
        return 1;
    }
    camsim::CameraBoard board(line, cl.board);
    if (!board.Init(&error)) {
        std::fprintf(stderr, "%s: %s\n", kName, error.c_str());
        return 2;
    }
    if (!LinkAndAnnounce(line, cl.link)) {
        return 1;
    }
    InstallSignalHandlers();

    const camsim::CameraBoard::Options& o = cl.board;
    char pace[64];
    if (o.fps > 0) {
        std::snprintf(pace, sizeof pace, "%g frames/s", o.fps);
    } else {
        std::snprintf(pace, sizeof pace, "%ld baud (%g bytes/s)", o.baud, o.baud / 10.0);
    }
    const std::string count = o.count == 0 ? "endless" : std::to_string(o.count) + " frame(s)";
    const std::string what =
        o.pattern == camsim::Pattern::File ? o.file : camsim::FrameSource::PatternName(o.pattern);
    if (o.format.IsDesignFormat()) {
        std::printf("%s: sending %dx%d %s %s frames, header %d, at %s, %s%s\n", kName, o.rows,
                    o.columns, o.colour ? "color" : "grayscale", what.c_str(), o.header, pace,
                    count.c_str(), o.blocking ? ", blocking" : "");
    } else {
        const stream::CStreamPreset* preset = stream::PresetOf(o.format);
        std::printf("%s: sending %dx%d %s frames as %s (%s, %s), at %s, %s%s\n", kName, o.rows,
                    o.columns, what.c_str(), stream::FormatToText(o.format).c_str(),
                    preset ? stream::PresetLabel(*preset) : stream::CustomLabel(),
                    stream::Info(board.SentEncoding()).id, pace, count.c_str(),
                    o.blocking ? ", blocking" : "");
        if (!o.format.requestPerFrame.empty() || !o.format.requestAtStart.empty()) {
            std::printf("%s: waiting for the host's requests\n", kName);
        }
    }
    std::fflush(stdout);

    board.Run(g_stop);
    if (o.count > 0) {
        LetHostDrain(line);
    }
    const auto stats = board.Stats();
    std::printf("%s: frames sent %llu, bytes sent %llu, bytes dropped %llu", kName,
                static_cast<unsigned long long>(stats.framesSent),
                static_cast<unsigned long long>(stats.bytesSent),
                static_cast<unsigned long long>(stats.bytesDropped));
    if (!o.format.requestPerFrame.empty() || !o.format.requestAtStart.empty()) {
        std::printf(", requests received %llu",
                    static_cast<unsigned long long>(stats.requestsReceived));
    }
    std::printf("\n");
    std::fflush(stdout);
    line.Close();
    return 0;
}
