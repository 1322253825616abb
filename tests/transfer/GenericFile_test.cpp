#include "support/FileTestSupport.h"
#include "support/TestSupport.h"
#include "transfer/DataFile.h"
#include "transfer/OpenFileTable.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace Ostrel {
namespace {

TEST(GenericFile, FiftyFilesAtOnceAndARefusedCreateTouchesNothing) {
    ScratchDirectory scratch;
    const std::string source = scratch.Path() + "/source";
    const std::string target = scratch.Path() + "/target";
    WriteWholeFile(source, "source");
    WriteWholeFile(target, "old");
    std::vector<std::unique_ptr<DataFile>> files;
    for (LONG i = 0; i < OpenFileTable::kEntries; ++i) {
        files.push_back(std::make_unique<DataFile>(source.c_str()));
        ASSERT_TRUE(files.back()->Open(false));
    }
    DataFile extra(source.c_str());
    EXPECT_FALSE(extra.Open(false));
    DataFile save(target.c_str());
    EXPECT_FALSE(save.Create());
    EXPECT_EQ(ReadWholeFile(target), "old");
    EXPECT_EQ(ListDirectory(scratch.Path()), (std::vector<std::string>{"source", "target"}));

    files[7]->Close();
    ASSERT_TRUE(extra.Open(false));
    EXPECT_EQ(extra.GetTableIndex(), 7);
    files.clear();
    EXPECT_TRUE(save.Create());
}

TEST(GenericFile, BytesPassUnchangedBothWaysAndUnreadDeliversThemAgain) {
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
        ASSERT_TRUE(WriteInPieces(file, bytes, 10000));
        ASSERT_TRUE(file.Commit());
        EXPECT_FALSE(file.Commit());
    }
    EXPECT_TRUE(ReadWholeFile(path) == bytes);
    DataFile file(path.c_str());
    ASSERT_TRUE(file.Open(false));
    std::string loaded;
    EXPECT_TRUE(ReadInPieces(file, 10000, &loaded));
    EXPECT_TRUE(loaded == bytes);

    WriteWholeFile(path, "0123456789abc");
    DataFile digits(path.c_str());
    ASSERT_TRUE(digits.Open(false));
    EXPECT_EQ(ReadPiece(digits, 10), "0123456789");
    EXPECT_TRUE(digits.Unread(3));
    EXPECT_EQ(ReadPiece(digits, 3), "789");
    EXPECT_FALSE(digits.Unread(11));
    EXPECT_FALSE(digits.Unread(-1));
    EXPECT_EQ(ReadPiece(digits, 2), "ab");
    EXPECT_TRUE(digits.Unread(12));
    EXPECT_EQ(ReadPiece(digits, 20), "0123456789abc");

    DataFile mixed((scratch.Path() + "/mixed").c_str());
    ASSERT_TRUE(mixed.Create());
    ASSERT_TRUE(mixed.Write("abcdef", 6));
    ASSERT_TRUE(mixed.Unread(3));
    EXPECT_EQ(ReadPiece(mixed, 2), "de");
    ASSERT_TRUE(mixed.Write("XY", 2));
    ASSERT_TRUE(mixed.Commit());
    EXPECT_EQ(ReadWholeFile(scratch.Path() + "/mixed"), "abcdeXY");
}

TEST(GenericFile, FilesThatAreClosedOrCannotBeReadRefuse) {
    ScratchDirectory scratch;
    const std::string path = scratch.Path() + "/a.bin";
    WriteWholeFile(path, "abc");
    DataFile file(path.c_str());
    char buffer[16];
    uint32_t got = 0;
    EXPECT_FALSE(file.Write("x", 1));
    EXPECT_FALSE(file.Read(buffer, 4, &got));
    EXPECT_FALSE(file.Commit());
    ASSERT_TRUE(file.Open(false));
    EXPECT_FALSE(file.Open(false));
    EXPECT_FALSE(file.Commit()) << "a file opened for reading is never committed";
    EXPECT_TRUE(file.Close());
    EXPECT_FALSE(file.Read(buffer, 4, &got));
    EXPECT_EQ(ReadWholeFile(path), "abc");

    DataFile missing((scratch.Path() + "/missing").c_str());
    EXPECT_FALSE(missing.Open(false));
    SetErrorMode(SEM_NOOPENFILEERRORBOX);
    EXPECT_FALSE(missing.Open(false));
    EXPECT_EQ(SetErrorMode(0), SEM_NOOPENFILEERRORBOX) << "Open restores the error mode";
    // A directory opens but cannot be read: an error, not the end of the data.
    DataFile directory(scratch.Path().c_str());
    ASSERT_TRUE(directory.Open(false));
    EXPECT_FALSE(directory.Read(buffer, 16, &got));
}

} // namespace
} // namespace Ostrel
