#include "platform/testsupport.h"
#include "transfer/DataFile.h"

#include <gtest/gtest.h>

#include <string>

namespace Ostrel {
namespace {

std::string ReadPiece(GenericFile& file, LONG maxLength) {
    std::string buffer(static_cast<size_t>(maxLength), '?');
    uint32_t got = 0;
    EXPECT_TRUE(file.Read(&buffer[0], maxLength, &got));
    buffer.resize(got);
    return buffer;
}

TEST(DataFile, BytesPassUnchangedBothWays) {
    ScratchDirectory scratch;
    const std::string path = scratch.Path() + "/data.bin";
    std::string bytes;
    for (int i = 0; i < 300000; ++i) {
        bytes += static_cast<char>(i * 7 % 256);
    }
    bytes.append("\r\n\n\r\x1a\0end", 9);
    {
        DataFile file(path.c_str());
        ASSERT_TRUE(file.Create());
        for (size_t at = 0; at < bytes.size(); at += 10000) {
            const std::string piece = bytes.substr(at, 10000);
            ASSERT_TRUE(file.Write(piece.data(), static_cast<LONG>(piece.size())));
        }
        EXPECT_TRUE(file.Write("", 0));
        ASSERT_TRUE(file.Commit());
    }
    EXPECT_TRUE(ReadWholeFile(path) == bytes);

    DataFile file(path.c_str());
    ASSERT_TRUE(file.Open(false));
    std::string loaded;
    for (;;) {
        const std::string piece = ReadPiece(file, 10000);
        loaded += piece;
        if (piece.size() < 10000) {
            break;
        }
    }
    EXPECT_TRUE(loaded == bytes);
    EXPECT_EQ(ReadPiece(file, 10), "");
}

TEST(DataFile, ClosedFilesRefuseEverything) {
    ScratchDirectory scratch;
    const std::string path = scratch.Path() + "/a.bin";
    WriteWholeFile(path, "abc");
    DataFile file(path.c_str());
    char buffer[4];
    uint32_t got = 0;
    EXPECT_FALSE(file.IsOpen());
    EXPECT_EQ(file.GetTableIndex(), -3);
    EXPECT_FALSE(file.Write("x", 1));
    EXPECT_FALSE(file.Read(buffer, 4, &got));
    EXPECT_FALSE(file.Unread(0));
    EXPECT_FALSE(file.Commit());
    EXPECT_TRUE(file.Close());

    ASSERT_TRUE(file.Open(false));
    EXPECT_FALSE(file.Open(false));
    EXPECT_FALSE(file.Commit());
    EXPECT_TRUE(file.Close());
    EXPECT_TRUE(file.Close());
    EXPECT_FALSE(file.Read(buffer, 4, &got));
    EXPECT_EQ(ReadWholeFile(path), "abc");
}

TEST(DataFile, FilesThatCannotBeRead) {
    ScratchDirectory scratch;
    DataFile missing((scratch.Path() + "/missing").c_str());
    EXPECT_FALSE(missing.Open(false));
    DataFile unnamed("");
    EXPECT_FALSE(unnamed.Open(false));

    // A directory opens but cannot be read: an error, not the end of the data.
    DataFile directory(scratch.Path().c_str());
    ASSERT_TRUE(directory.Open(false));
    char buffer[16];
    uint32_t got = 0;
    EXPECT_FALSE(directory.Read(buffer, 16, &got));
    EXPECT_EQ(got, 0u);
}

TEST(DataFile, UnreadDeliversTheLastBytesAgain) {
    ScratchDirectory scratch;
    const std::string path = scratch.Path() + "/digits";
    WriteWholeFile(path, "0123456789abc");
    DataFile file(path.c_str());
    ASSERT_TRUE(file.Open(false));
    EXPECT_EQ(ReadPiece(file, 10), "0123456789");
    EXPECT_TRUE(file.Unread(3));
    EXPECT_EQ(ReadPiece(file, 3), "789");
    EXPECT_FALSE(file.Unread(11));
    EXPECT_FALSE(file.Unread(-1));
    EXPECT_EQ(ReadPiece(file, 2), "ab");
    EXPECT_TRUE(file.Unread(12));
    EXPECT_EQ(ReadPiece(file, 20), "0123456789abc");
    EXPECT_TRUE(file.Unread(0));
    EXPECT_EQ(ReadPiece(file, 20), "");
}

TEST(DataFile, CreatedFileCanBeReadBackAndWrittenAgain) {
    ScratchDirectory scratch;
    const std::string path = scratch.Path() + "/mixed";
    DataFile file(path.c_str());
    ASSERT_TRUE(file.Create());
    ASSERT_TRUE(file.Write("abcdef", 6));
    ASSERT_TRUE(file.Unread(3));
    EXPECT_EQ(ReadPiece(file, 2), "de");
    ASSERT_TRUE(file.Write("XY", 2));
    ASSERT_TRUE(file.Unread(7));
    EXPECT_EQ(ReadPiece(file, 10), "abcdeXY");
    ASSERT_TRUE(file.Commit());
    EXPECT_EQ(ReadWholeFile(path), "abcdeXY");
    EXPECT_FALSE(file.Commit());
}

} // namespace
} // namespace Ostrel
