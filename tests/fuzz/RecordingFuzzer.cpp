// libFuzzer target: any bytes as a recording file, opened and read to the end.
//
// Invariants: nothing crashes; a failed Open says why; the chunks read are
// whole (their bytes add up to no more than the file) and end where the cut
// is reported, inside the file; reading again after Rewind gives the same
// chunks; and the chunks read, recorded again by the writer, give a file
// whose chunk part is byte for byte the part of the input they came from.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "capture/RecordingReader.h"
#include "capture/RecordingWriter.h"

namespace {

[[noreturn]] void Fail(const char* what) {
    std::fprintf(stderr, "invariant broken: %s\n", what);
    std::abort();
}

// In memory where there is a tmpfs: a disk file system may write every
// emptied and rewritten file out at once, which slows the runs many times.
std::string TempStem() {
    const char* dir = access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp";
    return std::string(dir) + "/tavix-recfuzz-" + std::to_string(getpid());
}

// The two files of one input, removed again when it is done.
struct TempFiles {
    std::string input = TempStem() + ".in";
    std::string again = TempStem() + ".again";
    ~TempFiles() {
        unlink(input.c_str());
        unlink(again.c_str());
    }
};

void WriteFile(const std::string& path, const uint8_t* data, size_t size) {
    FILE* f = std::fopen(path.c_str(), "wb");
    if (f == nullptr || std::fwrite(data, 1, size, f) != size || std::fclose(f) != 0)
        Fail("cannot write the temporary file");
}

std::vector<uint8_t> ReadFile(const std::string& path) {
    std::vector<uint8_t> bytes;
    FILE* f = std::fopen(path.c_str(), "rb");
    if (f == nullptr)
        Fail("cannot read the temporary file back");
    uint8_t buf[4096];
    size_t n = 0;
    while ((n = std::fread(buf, 1, sizeof buf, f)) > 0)
        bytes.insert(bytes.end(), buf, buf + n);
    std::fclose(f);
    return bytes;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const TempFiles files;
    const std::string& path = files.input;
    WriteFile(path, data, size);

    CRecordingReader reader;
    std::string error;
    if (!reader.Open(path, error)) {
        if (error.empty())
            Fail("Open failed without a reason");
        return 0;
    }
    const RecordingHeader header = reader.Header();
    if (header.headerLength > size)
        Fail("a header longer than the file was accepted");

    std::vector<CRecordingReader::Chunk> chunks;
    CRecordingReader::Chunk chunk;
    uint64_t total = 0;
    uint64_t end = header.headerLength;
    bool monotonic = true;
    while (reader.Next(chunk)) {
        if (chunk.bytes.empty() || chunk.bytes.size() > recording::kMaxChunkBytes)
            Fail("a chunk of impossible length was returned");
        if (!chunks.empty() && chunk.timeMicroseconds < chunks.back().timeMicroseconds)
            monotonic = false;
        total += chunk.bytes.size();
        end += recording::kChunkHeadSize + chunk.bytes.size() + recording::kChunkTailSize;
        if (reader.Offset() != end)
            Fail("the position is not the end of the chunk read");
        chunks.push_back(chunk);
    }
    if (total > size || end > size)
        Fail("more bytes read than the file holds");
    if (reader.WasCut()) {
        if (reader.CutOffset() != end || reader.CutOffset() >= size)
            Fail("the cut is not after the last whole chunk, inside the file");
        if (reader.CutText().empty())
            Fail("a cut without a text");
    } else if (end != size) {
        Fail("the file ended elsewhere than after the last chunk, and no cut");
    }
    if (reader.DurationMicroseconds() != (chunks.empty() ? 0 : chunks.back().timeMicroseconds))
        Fail("the duration is not the last whole chunk's time");

    reader.Rewind();
    for (const auto& expected : chunks) {
        if (!reader.Next(chunk) || chunk.timeMicroseconds != expected.timeMicroseconds ||
            chunk.bytes != expected.bytes)
            Fail("a second reading differs");
    }
    if (reader.Next(chunk))
        Fail("a second reading found more chunks");

    // Recorded again, the same header values and chunks are the same chunk bytes.
    if (!monotonic)
        return 0;
    const std::string& again = files.again;
    CRecordingWriter writer;
    if (!writer.Open(again, header, error))
        Fail("a header read could not be written");
    for (const auto& c : chunks)
        writer.Write(c.timeMicroseconds, c.bytes.data(), c.bytes.size());
    if (!writer.Close() || writer.BytesRecorded() != total)
        Fail("recording again failed");
    const std::vector<uint8_t> rewritten = ReadFile(again);
    const size_t body = end - header.headerLength;
    // The fixed fields, and the stream format's tagged field when there is one.
    const size_t written =
        recording::kHeaderSize + (header.streamFormat.empty() ? 0 : 6 + header.streamFormat.size());
    if (rewritten.size() != written + body ||
        std::memcmp(rewritten.data() + written, data + header.headerLength, body) != 0)
        Fail("recording the chunks again gave other chunk bytes");
    CRecordingReader reread;
    if (!reread.Open(again, error) || reread.Header().streamFormat != header.streamFormat)
        Fail("the stream format did not come back");
    // The tool text up to its first NUL, baud to columns, and the start time
    // unless it was 0 (which the writer replaces by the current time).
    const size_t fieldsEnd = header.startMicroseconds != 0 ? recording::kHeaderSize : 42;
    if (std::memcmp(rewritten.data() + 12, data + 12, header.tool.size()) != 0 ||
        std::memcmp(rewritten.data() + 28, data + 28, fieldsEnd - 28) != 0)
        Fail("recording the header again gave other values");
    return 0;
}
