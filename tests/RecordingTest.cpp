// Recording files: written, read back, cut, damaged, malformed, written onto
// a full disk, and a board's stream recorded and replayed down a line.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <climits>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

#include "capture/RecordingReader.h"
#include "capture/RecordingWriter.h"
#include "serial/SerialPort.h"
#include "tools/camsim/CameraBoard.h"
#include "tools/camsim/FrameSource.h"
#include "tools/camsim/ReplaySource.h"

namespace {

using namespace std::chrono;
using Bytes = std::vector<uint8_t>;
using recording::kHeaderSize;
using recording::kMaxChunkBytes;
constexpr size_t kOverhead = recording::kChunkHeadSize + recording::kChunkTailSize;

struct Piece {
    uint64_t time;
    Bytes bytes;
    bool operator==(const Piece& o) const { return time == o.time && bytes == o.bytes; }
};
using Pieces = std::vector<Piece>;

std::string TempPath(const std::string& name) {
    return "/tmp/tavix-rectest-" + std::to_string(getpid()) + "-" + name;
}

Bytes Pattern(size_t n, unsigned seed) {
    Bytes b(n);
    for (size_t i = 0; i < n; ++i)
        b[i] = static_cast<uint8_t>(i * 131 + seed * 7 + (i >> 9));
    return b;
}

Bytes Load(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), {});
}

void Save(const std::string& path, const Bytes& bytes, size_t n = SIZE_MAX) {
    std::ofstream(path, std::ios::binary | std::ios::trunc)
        .write(reinterpret_cast<const char*>(bytes.data()), std::min(n, bytes.size()));
}

// Every chunk up to the end; *cut gets the reader's cut offset, or -1.
Pieces ReadAll(CRecordingReader& reader, int64_t* cut = nullptr) {
    Pieces got;
    CRecordingReader::Chunk chunk;
    while (reader.Next(chunk))
        got.push_back({chunk.timeMicroseconds, chunk.bytes});
    if (cut)
        *cut = reader.WasCut() ? static_cast<int64_t>(reader.CutOffset()) : -1;
    EXPECT_EQ(reader.WasCut(), !reader.CutText().empty());
    return got;
}

RecordingHeader SomeHeader() {
    RecordingHeader h;
    h.baud = 921600;
    h.headerByte = 0xA5;
    h.format = recording::PixelFormat::Colour;
    h.rows = 9999;
    h.columns = 3;
    h.startMicroseconds = 1765000000123456;
    return h;
}

// Writes the pieces as one chunk each and returns the file's bytes.
Bytes Record(const std::string& path, const Pieces& pieces) {
    CRecordingWriter writer;
    std::string error;
    EXPECT_TRUE(writer.Open(path, SomeHeader(), error)) << error;
    for (const Piece& p : pieces)
        EXPECT_TRUE(writer.Write(p.time, p.bytes.data(), p.bytes.size()));
    EXPECT_TRUE(writer.Close());
    return Load(path);
}

// v as n little-endian bytes.
Bytes Le(uint64_t v, int n) {
    Bytes b;
    for (int i = 0; i < n; ++i)
        b.push_back(static_cast<uint8_t>(v >> (8 * i)));
    return b;
}

TEST(Recording, RoundTripKeepsHeaderBytesAndTimesInTheDocumentedLayout) {
    const std::string path = TempPath("roundtrip");
    const RecordingHeader header = SomeHeader();
    const mode_t mask = umask(027);
    CRecordingWriter writer;
    std::string error;
    ASSERT_TRUE(writer.Open(path, header, error)) << error;
    umask(mask);
    bool cloexec = false;  // the descriptor is not handed to programs started meanwhile
    for (int fd = 3; fd < 64; ++fd) {
        char link[PATH_MAX] = {};
        const std::string proc = "/proc/self/fd/" + std::to_string(fd);
        if (readlink(proc.c_str(), link, sizeof link - 1) > 0 && path == link)
            cloexec = (fcntl(fd, F_GETFD) & FD_CLOEXEC) != 0;
    }
    EXPECT_TRUE(cloexec);

    // Sizes around the buffer and the chunk limit; 2 MiB + 5 bytes become
    // three chunks of one time, and a time going back is taken as the last.
    const uint64_t times[] = {0, 250, 250, 900000, 900001, 5};
    const size_t sizes[] = {1, 100, 70000, kMaxChunkBytes, 2 * kMaxChunkBytes + 5, 17};
    Pieces expected;
    uint64_t total = 0;
    for (unsigned i = 0; i < 6; ++i) {
        const Bytes data = Pattern(sizes[i], i);
        ASSERT_TRUE(writer.Write(times[i], data.data(), data.size()));
        EXPECT_EQ(writer.BytesRecorded(), total += data.size());
        const uint64_t time = std::max(times[i], i ? expected.back().time : 0);
        for (size_t at = 0; at < data.size(); at += kMaxChunkBytes)
            expected.push_back(
                {time, Bytes(data.begin() + at,
                             data.begin() + std::min(data.size(), at + kMaxChunkBytes))});
    }
    ASSERT_EQ(expected.size(), 8u);
    ASSERT_TRUE(writer.Close());
    EXPECT_FALSE(writer.Failed());

    const Bytes file = Load(path);
    EXPECT_EQ(file.size(), kHeaderSize + expected.size() * kOverhead + total);
    struct stat st {};
    ASSERT_EQ(stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u);
    // The header as README.md lays it out, and zlib's CRC-32 behind a chunk.
    Bytes layout = {'T', 'A', 'V', 'I', 'X', 'R', 'E', 'C', 1, 0, 50, 0};
    for (const Bytes& field :
         {Bytes{'T', 'a', 'v', 'i', 'x', 'T', 'o', 'o', 'l', ' ', '0', '.', '1', 0, 0, 0},
          Le(921600, 4), Bytes{0xA5, 1}, Le(9999, 4), Le(3, 4), Le(header.startMicroseconds, 8)})
        layout.insert(layout.end(), field.begin(), field.end());
    EXPECT_EQ(Bytes(file.begin(), file.begin() + kHeaderSize), layout);
    EXPECT_EQ(recording::Crc32(reinterpret_cast<const uint8_t*>("123456789"), 9), 0xCBF43926u);
    EXPECT_EQ(recording::GetU32(&file[kHeaderSize + 13]), recording::Crc32(&file[kHeaderSize], 13));

    CRecordingReader reader;
    ASSERT_TRUE(reader.Open(path, error)) << error;
    auto fields = [](const RecordingHeader& h) {
        return std::tie(h.baud, h.headerByte, h.format, h.rows, h.columns, h.startMicroseconds);
    };
    EXPECT_TRUE(fields(reader.Header()) == fields(header));
    EXPECT_EQ(reader.Header().tool, "TavixTool 0.1");
    EXPECT_EQ(reader.DurationMicroseconds(), 900001u);
    int64_t cut = 0;
    EXPECT_EQ(ReadAll(reader, &cut), expected);
    EXPECT_EQ(cut, -1);
    reader.Rewind();
    EXPECT_EQ(ReadAll(reader), expected);

    // A longer header of the same version: the reader skips what it does not know.
    Bytes longer = file;
    longer.insert(longer.begin() + kHeaderSize, {1, 2, 3, 4, 5, 6});
    longer[10] += 6;
    Save(path, longer);
    ASSERT_TRUE(reader.Open(path, error)) << error;
    EXPECT_EQ(ReadAll(reader), expected);
    unlink(path.c_str());
}

// A stream format other than the header byte's goes after the fixed fields,
// tagged, and comes back; a tag whose length leaves the header is refused.
TEST(Recording, StreamFormatIsKeptAfterTheFixedFields) {
    const std::string path = TempPath("format");
    RecordingHeader header = SomeHeader();
    header.streamFormat = "custom,framing=marker,start=01 FE,end=FE 01,encoding=bits1";
    CRecordingWriter writer;
    std::string error;
    ASSERT_TRUE(writer.Open(path, header, error)) << error;
    const Bytes chunk = Pattern(300, 5);
    ASSERT_TRUE(writer.Write(17, chunk.data(), chunk.size()));
    ASSERT_TRUE(writer.Close());
    Bytes file = Load(path);
    const size_t text = header.streamFormat.size();
    ASSERT_GE(file.size(), kHeaderSize + 6 + text);
    EXPECT_EQ(recording::GetU16(&file[10]), kHeaderSize + 6 + text);
    EXPECT_EQ(std::string(file.begin() + kHeaderSize, file.begin() + kHeaderSize + 4), "SFMT");

    CRecordingReader reader;
    ASSERT_TRUE(reader.Open(path, error)) << error;
    EXPECT_EQ(reader.Header().streamFormat, header.streamFormat);
    EXPECT_EQ(ReadAll(reader), (Pieces{{17, chunk}}));

    file[kHeaderSize + 4] = 0xFF;  // a length past the header's end
    Save(path, file);
    EXPECT_FALSE(reader.Open(path, error));
    EXPECT_NE(error.find("数据格式长度"), std::string::npos) << error;
    unlink(path.c_str());
}

TEST(Recording, CutOrDamagedAnywhereKeepsExactlyTheWholeChunksBefore) {
    const std::string path = TempPath("cut");
    Pieces pieces;
    std::vector<size_t> ends = {kHeaderSize};  // where each chunk ends
    for (unsigned i = 0; i < 6; ++i) {
        pieces.push_back({1000u * i * i, Pattern(1 + 5 * i, i)});
        ends.push_back(ends.back() + kOverhead + pieces.back().bytes.size());
    }
    const Bytes file = Record(path, pieces);
    ASSERT_EQ(ends.back(), file.size());

    CRecordingReader reader;
    std::string error;
    for (size_t size = 0; size <= file.size(); ++size) {
        SCOPED_TRACE("cut at " + std::to_string(size));
        Save(path, file, size);
        if (size < kHeaderSize) {
            EXPECT_FALSE(reader.Open(path, error));
            EXPECT_NE(error.find(size ? "文件头不完整" : "0 字节"), std::string::npos) << error;
            continue;
        }
        ASSERT_TRUE(reader.Open(path, error)) << error;
        size_t whole = 0;
        while (whole + 1 < ends.size() && ends[whole + 1] <= size)
            ++whole;
        int64_t cut = 0;
        EXPECT_EQ(ReadAll(reader, &cut), Pieces(pieces.begin(), pieces.begin() + whole));
        EXPECT_EQ(cut, ends[whole] == size ? -1 : static_cast<int64_t>(ends[whole]));
        EXPECT_EQ(reader.DurationMicroseconds(), whole ? pieces[whole - 1].time : 0);
    }
    // One bit changed anywhere in a chunk ends the reading just before it.
    for (size_t at = kHeaderSize; at < file.size(); ++at) {
        SCOPED_TRACE("bit changed at " + std::to_string(at));
        Bytes damaged = file;
        damaged[at] ^= static_cast<uint8_t>(1u << (at % 8));
        Save(path, damaged);
        ASSERT_TRUE(reader.Open(path, error)) << error;
        size_t hit = 0;
        while (ends[hit + 1] <= at)
            ++hit;
        int64_t cut = 0;
        EXPECT_EQ(ReadAll(reader, &cut), Pieces(pieces.begin(), pieces.begin() + hit));
        EXPECT_EQ(cut, static_cast<int64_t>(ends[hit]));
        EXPECT_NE(reader.CutText().find("第 " + std::to_string(ends[hit]) + " 字节处被截断"),
                  std::string::npos);
    }
    unlink(path.c_str());
}

TEST(Recording, MalformedFilesEachSayWhy) {
    const std::string path = TempPath("bad");
    const Bytes good = Record(path, {{0, {1, 2, 3}}});
    auto with = [&](size_t at, std::initializer_list<uint8_t> bytes) {
        Bytes b = good;
        std::copy(bytes.begin(), bytes.end(), b.begin() + static_cast<long>(at));
        return b;
    };
    const std::pair<Bytes, std::string> cases[] = {
        {{}, "是空的（0 字节）"},
        {{0x89, 'P', 'N', 'G', 13, 10, 26, 10, 0, 0, 0, 13}, "不是 TavixTool 的录制文件"},
        {{'T', 'A', 'X'}, "不是 TavixTool 的录制文件"},
        {Bytes(good.begin(), good.begin() + 8), "只有 8 字节，应有 50 字节"},
        {Bytes(good.begin(), good.begin() + 49), "只有 49 字节，应有 50 字节"},
        {with(10, {200, 0}), "只有 69 字节，应有 200 字节"},
        {with(8, {2, 0}), "格式版本是 2，本程序只能读取版本 1"},
        {with(8, {0, 0}), "格式版本为 0"},
        {with(10, {49, 0}), "文件头长度为 49"},
        {with(34, {0, 0, 0, 0}), "行数为 0（应为 1–9999）"},
        {with(38, {0x10, 0x27, 0, 0}), "列数为 10000（应为 1–9999）"},
        {with(33, {2}), "像素格式为 2"},
    };
    CRecordingReader reader;
    std::string error;
    for (const auto& [bytes, says] : cases) {
        SCOPED_TRACE(says);
        Save(path, bytes);
        EXPECT_FALSE(reader.Open(path, error));
        EXPECT_NE(error.find(path), std::string::npos) << error;
        EXPECT_NE(error.find(says), std::string::npos) << error;
        CRecordingReader::Chunk chunk;
        EXPECT_FALSE(reader.Next(chunk));
    }
    EXPECT_FALSE(reader.Open(path + ".missing", error));
    EXPECT_EQ(error, "无法读取录制文件 " + path + ".missing：文件或文件夹不存在");
    EXPECT_FALSE(reader.Open("/tmp", error));
    EXPECT_EQ(error, "无法读取录制文件 /tmp：这是一个文件夹");
    unlink(path.c_str());
}

TEST(RecordingWriter, FileSizeLimitStopsTheRecordingAtItsLastWholeChunk) {
    const std::string path = TempPath("limit");
    constexpr size_t kChunk = 4000;
    constexpr rlim_t kLimit = 200000;  // reached inside the third 64 KiB write
    struct Report {
        int writes, error, closed;
        uint64_t recorded;
        char text[256];
    } report{};
    int channel[2];
    ASSERT_EQ(pipe(channel), 0);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{kLimit, kLimit};
        setrlimit(RLIMIT_FSIZE, &limit);
        CRecordingWriter writer;
        std::string error;
        const Bytes data = Pattern(kChunk, 0);
        if (writer.Open(path, SomeHeader(), error))
            while (report.writes < 1000 && writer.Write(report.writes, data.data(), kChunk))
                ++report.writes;
        report.closed = writer.Close();
        report.error = writer.Error();
        report.recorded = writer.BytesRecorded();
        std::strncpy(report.text, writer.ErrorText().c_str(), sizeof report.text - 1);
        _exit(write(channel[1], &report, sizeof report) == sizeof report ? 0 : 1);
    }
    close(channel[1]);
    const ssize_t got = read(channel[0], &report, sizeof report);
    close(channel[0]);
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_EQ(got, static_cast<ssize_t>(sizeof report));

    // Everything up to the limit reached the file, and it was cut back to
    // the last chunk that fits whole.
    const size_t kept = (kLimit - kHeaderSize) / (kChunk + kOverhead);
    EXPECT_GT(report.writes, static_cast<int>(kept));  // the failure showed on a later write
    EXPECT_LT(report.writes, 1000);
    EXPECT_EQ(report.error, EFBIG);
    EXPECT_EQ(report.closed, 0);
    EXPECT_EQ(report.recorded, kept * kChunk);
    EXPECT_EQ(std::string(report.text), "录制文件 " + path + " 写入失败：文件已超过允许的最大大小");

    CRecordingReader reader;
    std::string error;
    ASSERT_TRUE(reader.Open(path, error)) << error;
    int64_t cut = 0;
    const Pieces pieces = ReadAll(reader, &cut);
    EXPECT_EQ(cut, -1);
    ASSERT_EQ(pieces.size(), kept);
    for (size_t i = 0; i < kept; ++i)
        EXPECT_TRUE(pieces[i] == (Piece{i, Pattern(kChunk, 0)})) << i;
    unlink(path.c_str());
}

TEST(RecordingWriter, AFileThatCannotBeCreatedOrWrittenSaysWhy) {
    CRecordingWriter writer;
    std::string error;
    const std::string missing = TempPath("no-such-folder") + "/x.tavixrec";
    EXPECT_FALSE(writer.Open(missing, SomeHeader(), error));
    EXPECT_EQ(error, "无法创建录制文件 " + missing + "：文件或文件夹不存在");
    EXPECT_EQ(writer.Error(), ENOENT);
    EXPECT_FALSE(writer.Write(0, reinterpret_cast<const uint8_t*>("x"), 1));

    // A device that is always full fails the header's write, and is left in place.
    EXPECT_FALSE(writer.Open("/dev/full", SomeHeader(), error));
    EXPECT_EQ(error, "录制文件 /dev/full 写入失败：磁盘已满");
    EXPECT_EQ(writer.ErrorText(), error);
    EXPECT_EQ(writer.Error(), ENOSPC);
    struct stat st {};
    EXPECT_EQ(stat("/dev/full", &st), 0);

    RecordingHeader bad = SomeHeader();
    bad.columns = 0;
    EXPECT_FALSE(writer.Open(TempPath("bad-header"), bad, error));
    EXPECT_NE(error.find("列数为 0"), std::string::npos) << error;
    EXPECT_NE(stat(TempPath("bad-header").c_str(), &st), 0);
}

// The host's end of a line: what arrives within 10 s, in order, recorded as
// it comes when a recorder is given.
Bytes ReadLine(const std::string& device, size_t want, CRecordingWriter* recorder) {
    SerialPort port;
    EXPECT_GT(port.OpenDevice(921600, device), 2);
    Bytes got;
    Bytes buf(4096);
    const auto start = steady_clock::now();
    while (got.size() < want && steady_clock::now() - start < seconds(10)) {
        port.WaitForData(20, nullptr);
        uint32_t n = 0;
        if (port.ReadAvailable(buf.data(), static_cast<uint32_t>(buf.size()), n) != 0)
            break;
        got.insert(got.end(), buf.begin(), buf.begin() + n);
        if (recorder && n > 0)
            recorder->Write(duration_cast<microseconds>(steady_clock::now() - start).count(),
                            buf.data(), n);
    }
    port.Close();
    return got;
}

TEST(Replay, ABoardStreamRecordedAndReplayedArrivesByteExactAndInTime) {
    camsim::CameraBoard::Options o;
    o.rows = 20;
    o.columns = 30;
    o.colour = true;
    o.count = 4;
    o.baud = 921600;  // a few hundred bytes every 5 ms: many chunks
    o.blocking = true;
    camsim::FrameSource source(o.rows, o.columns, o.colour, o.pattern);
    Bytes wire;
    for (int i = 0; i < 4; ++i) {
        const Bytes frame = camsim::WireFrame(o.header, source.Frame(i));
        wire.insert(wire.end(), frame.begin(), frame.end());
    }

    const std::string path = TempPath("board");
    std::string error;
    {
        camsim::PseudoTerminal line;
        ASSERT_TRUE(line.Open());
        camsim::CameraBoard board(line, o);
        CRecordingWriter writer;
        ASSERT_TRUE(writer.Open(path, SomeHeader(), error)) << error;
        std::thread host(
            [&] { EXPECT_EQ(ReadLine(line.DevicePath(), wire.size(), &writer), wire); });
        std::this_thread::sleep_for(milliseconds(50));  // the host has opened the port
        ASSERT_TRUE(board.Start());
        board.Wait();
        host.join();
        EXPECT_TRUE(writer.Close());
    }

    CRecordingReader recording;
    ASSERT_TRUE(recording.Open(path, error)) << error;
    const uint64_t duration = recording.DurationMicroseconds();
    const size_t chunks = ReadAll(recording).size();
    EXPECT_GT(chunks, 4u);
    for (const bool fast : {false, true}) {
        SCOPED_TRACE(fast ? "fast" : "paced");
        recording.Rewind();
        camsim::PseudoTerminal line;
        ASSERT_TRUE(line.Open());
        Bytes got;
        std::thread host([&] { got = ReadLine(line.DevicePath(), wire.size(), nullptr); });
        std::this_thread::sleep_for(milliseconds(50));
        camsim::ReplaySource replay(line, recording, fast);
        const std::atomic<bool> stop{false};
        const auto start = steady_clock::now();
        EXPECT_TRUE(replay.Run(stop));
        const auto took = duration_cast<microseconds>(steady_clock::now() - start).count();
        host.join();
        EXPECT_EQ(got, wire);
        EXPECT_EQ(replay.Stats().chunksSent, chunks);
        EXPECT_EQ(replay.Stats().bytesSent, wire.size());
        EXPECT_TRUE(fast || static_cast<uint64_t>(took) >= duration) << took;
    }
    unlink(path.c_str());
}

TEST(Replay, PacedKeepsTheRecordedGapsFastDoesNotAndAStopEndsIt) {
    const std::string path = TempPath("gaps");
    // Gaps wide enough that a loaded machine (sanitizers, tests in
    // parallel) cannot blur paced and fast, or a stop and the next chunk.
    Record(path, {{0, {1}}, {1000000, {2}}, {2000000, {3}}});
    CRecordingReader recording;
    std::string error;
    ASSERT_TRUE(recording.Open(path, error)) << error;
    camsim::PseudoTerminal line;
    ASSERT_TRUE(line.Open());
    for (const int mode : {0, 1, 2}) {  // paced, fast, paced and stopped at 100 ms
        SCOPED_TRACE(mode);
        recording.Rewind();
        camsim::ReplaySource replay(line, recording, mode == 1);
        std::atomic<bool> stop{false};
        std::thread stopper([&] {
            std::this_thread::sleep_for(milliseconds(mode == 2 ? 100 : 0));
            stop = mode == 2;
        });
        const auto start = steady_clock::now();
        EXPECT_EQ(replay.Run(stop), mode != 2);
        const auto took = steady_clock::now() - start;
        stopper.join();
        EXPECT_EQ(replay.Stats().chunksSent, mode == 2 ? 1u : 3u);
        // Paced waits for the last chunk; fast and a stop at 100 ms end before the second.
        EXPECT_GE(took, milliseconds(mode == 0 ? 2000 : mode == 2 ? 100 : 0));
        EXPECT_TRUE(mode == 0 || took < milliseconds(800));
    }
    unlink(path.c_str());
}

}  // namespace
