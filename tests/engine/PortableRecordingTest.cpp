// Recordings through each system's own file access: written and read back
// whole in a folder with a Chinese name, a recording cut off mid-chunk is
// read up to its last whole chunk, and a file that cannot be created is
// explained.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "TestFolder.h"
#include "capture/RecordingReader.h"
#include "capture/RecordingWriter.h"

namespace {

namespace fs = std::filesystem;

class PortableRecordingTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(MakeTestFolder("录制-", folder)); }
    void TearDown() override { RemoveTestFolder(folder); }
    // Three chunks of different lengths and contents.
    static std::vector<std::vector<uint8_t>> Chunks() {
        std::vector<std::vector<uint8_t>> chunks;
        for (size_t n : {1u, 300u, 70000u}) {
            std::vector<uint8_t> c(n);
            for (size_t i = 0; i < n; ++i)
                c[i] = static_cast<uint8_t>(i * 7 + n);
            chunks.push_back(c);
        }
        return chunks;
    }
    std::string Record() {
        const std::string path = folder + "/帧.tavixrec";
        RecordingHeader header;
        header.rows = 30;
        header.columns = 40;
        header.headerByte = 0x5A;
        header.streamFormat = "jpeg";
        CRecordingWriter writer;
        std::string error;
        EXPECT_TRUE(writer.Open(path, header, error)) << error;
        uint64_t time = 1000;
        for (const auto& c : Chunks())
            EXPECT_TRUE(writer.Write(time += 500, c.data(), c.size()));
        EXPECT_TRUE(writer.Close()) << writer.ErrorText();
        return path;
    }
    std::string folder;
};

TEST_F(PortableRecordingTest, ReadsBackWhatWasWritten) {
    const std::string path = Record();
    CRecordingReader reader;
    std::string error;
    ASSERT_TRUE(reader.Open(path, error)) << error;
    EXPECT_EQ(reader.Header().rows, 30u);
    EXPECT_EQ(reader.Header().columns, 40u);
    EXPECT_EQ(reader.Header().headerByte, 0x5A);
    EXPECT_EQ(reader.Header().streamFormat, "jpeg");
    CRecordingReader::Chunk chunk;
    uint64_t time = 1000;
    for (const auto& c : Chunks()) {
        ASSERT_TRUE(reader.Next(chunk));
        EXPECT_EQ(chunk.timeMicroseconds, time += 500);
        EXPECT_EQ(chunk.bytes, c);
    }
    EXPECT_FALSE(reader.Next(chunk));
    EXPECT_FALSE(reader.WasCut());
    EXPECT_EQ(reader.DurationMicroseconds(), 2500u);
}

TEST_F(PortableRecordingTest, AFileCutMidChunkIsReadUpToItsLastWholeChunk) {
    const std::string path = Record();
    const uint64_t size = fs::file_size(fs::u8path(path));
    fs::resize_file(fs::u8path(path), size - 100);
    CRecordingReader reader;
    std::string error;
    ASSERT_TRUE(reader.Open(path, error)) << error;
    CRecordingReader::Chunk chunk;
    ASSERT_TRUE(reader.Next(chunk));
    ASSERT_TRUE(reader.Next(chunk));
    EXPECT_EQ(chunk.bytes.size(), 300u);
    EXPECT_FALSE(reader.Next(chunk));
    EXPECT_TRUE(reader.WasCut());
    EXPECT_FALSE(reader.CutText().empty());
}

TEST_F(PortableRecordingTest, AFileThatCannotBeMadeOrReadIsExplained) {
    CRecordingWriter writer;
    std::string error;
    EXPECT_FALSE(writer.Open(folder + "/无此文件夹/a.tavixrec", RecordingHeader(), error));
    EXPECT_NE(error.find("无此文件夹"), std::string::npos) << error;
    EXPECT_TRUE(writer.Failed());
    CRecordingReader reader;
    EXPECT_FALSE(reader.Open(folder + "/无此文件.tavixrec", error));
    EXPECT_NE(error.find("无此文件"), std::string::npos) << error;
}

}  // namespace
