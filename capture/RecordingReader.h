// Reads a recording file (capture/RecordingFormat.h) chunk by chunk.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "capture/RecordingFile.h"
#include "capture/RecordingFormat.h"

// Open checks the header and explains, in the chosen language, why a file cannot be read
// as a recording. Next then returns the chunks in file order and stops at the
// end of the file or at the first chunk that is not whole and sound (cut off
// part way, an impossible length, a CRC that does not match); WasCut tells
// the two apart. A chunk's length is checked before anything is allocated
// for it, so a damaged file costs at most kMaxChunkBytes of memory.
//
// Not thread-safe; one thread uses a reader at a time.
class CRecordingReader {
public:
    struct Chunk {
        uint64_t timeMicroseconds = 0;  // Since the recording started.
        std::vector<uint8_t> bytes;     // 1..kMaxChunkBytes of them.
    };

    CRecordingReader() = default;
    ~CRecordingReader();
    CRecordingReader(const CRecordingReader&) = delete;
    CRecordingReader& operator=(const CRecordingReader&) = delete;

    // Opens the file and reads its header; positioned at the first chunk.
    // False with the reason in error: unreadable, empty, not a recording, a
    // header cut short, a newer format version, or impossible header values.
    bool Open(const std::string& path, std::string& error);
    void Close();
    bool IsOpen() const { return m_file.IsOpen(); }
    const std::string& Path() const { return m_strPath; }

    // The header as read (version and headerLength as in the file).
    const RecordingHeader& Header() const { return m_header; }

    // The next whole chunk; false at the end (then see WasCut).
    bool Next(Chunk& chunk);
    // After Next returned false: whether the file ended inside a chunk or a
    // chunk was damaged, rather than after a whole chunk.
    bool WasCut() const { return m_bCut; }
    // Where the cut is: the file offset of the first byte not returned, the
    // end of the last whole chunk.
    uint64_t CutOffset() const { return m_nCutOffset; }
    // The cut, in the chosen language, for the user; empty if there is none.
    std::string CutText() const;

    // Back to the first chunk; forgets a cut.
    void Rewind();
    // The offset of the chunk Next reads.
    uint64_t Offset() const { return m_nOffset; }

    // The last whole chunk's time, 0 without chunks. Reads the file through
    // once, the first time, without moving the position Next reads from.
    uint64_t DurationMicroseconds();

private:
    enum class ChunkResult { Whole, End, Bad };
    ChunkResult ReadChunk(uint64_t offset, Chunk& chunk, uint64_t& end);
    // Reads up to n bytes at offset; fewer only at the end of the file or on
    // an error, which m_nReadError then holds.
    size_t ReadAt(uint64_t offset, void* buf, size_t n);

    CRecordingFile m_file;
    std::string m_strPath;
    RecordingHeader m_header;
    uint64_t m_nOffset = 0;
    bool m_bEnded = false;
    bool m_bCut = false;
    uint64_t m_nCutOffset = 0;
    int m_nReadError = 0;
    bool m_bDurationKnown = false;
    uint64_t m_nDuration = 0;
};
