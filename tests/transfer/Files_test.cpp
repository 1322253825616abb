// Files on disk on every system: the open-file table, a new version that replaces the file only
// when committed, bytes that pass unchanged (DataFile) and line ends that do not (TextFile).
#include "SaveTest.h"
#include "transfer/DataFile.h"
#include "transfer/OpenFileTable.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace Ostrel {
namespace {

// Closed without a commit, in a missing directory, or refused as the 51st open file (before any
// file is touched), a save leaves the old file as it was and nothing beside it; a freed entry of
// the open-file table serves the next open, and a complete save replaces the file.
TEST_F(SaveTest, OnlyACompleteCommitReplacesTheFile) {
    const std::string text = LongText();
    {
        TextFile file(path.c_str());
        ASSERT_TRUE(file.Create());
        ASSERT_TRUE(file.Write(text.data(), 100000));
        EXPECT_TRUE(file.Close());
        EXPECT_FALSE(file.Commit());
    }
    EXPECT_FALSE(SaveText(scratch.Path() + "/missing/doc.xml", text));
    std::vector<std::unique_ptr<DataFile>> files;
    for (LONG i = 0; i <= OpenFileTable::kEntries; ++i) {
        files.push_back(std::make_unique<DataFile>(PRAVELL_TEST_DATA "/textfile/returns.file"));
        EXPECT_EQ(files.back()->Open(false), i < OpenFileTable::kEntries);
    }
    EXPECT_FALSE(SaveText(path, text));
    ExpectUntouched();
    files[7]->Close();
    ASSERT_TRUE(files.back()->Open(false));
    EXPECT_EQ(files.back()->GetTableIndex(), 7);
    files.clear();
    ASSERT_TRUE(SaveText(path, text));
    EXPECT_EQ(ReadWholeFile(path), OnDisk(text));
    EXPECT_EQ(ListDirectory(scratch.Path()), justTheDocument);
}

// Bytes pass unchanged both ways; an Unread delivers them again, and one past the first byte is
// refused with the position kept (a C library may drop its read buffer on a failed seek). An
// Open gives the error mode back; a file opened for reading is never committed.
TEST_F(SaveTest, BytesPassUnchangedAndUnreadStopsAtTheFirstByte) {
    std::string bytes;
    for (int i = 0; i < 300000; ++i) {
        bytes += static_cast<char>(i * 7 % 256);
    }
    DataFile file(path.c_str());
    ASSERT_TRUE(file.Create() && WriteInPieces(file, bytes, 10000) && file.Commit());
    SetErrorMode(SEM_NOOPENFILEERRORBOX);
    ASSERT_TRUE(file.Open(false));
    EXPECT_EQ(SetErrorMode(0), static_cast<UINT>(SEM_NOOPENFILEERRORBOX));
    EXPECT_FALSE(file.Commit());
    EXPECT_EQ(ReadPiece(file, 10), bytes.substr(0, 10));
    EXPECT_FALSE(file.Unread(11));
    EXPECT_TRUE(file.Unread(3));
    EXPECT_EQ(ReadPiece(file, 2), bytes.substr(7, 2));
    EXPECT_TRUE(file.Unread(9));
    std::string loaded;
    EXPECT_TRUE(ReadInPieces(file, 10000, &loaded));
    EXPECT_TRUE(loaded == bytes);
}

// Each textfile/NAME.file read through a text file delivers exactly NAME.text, in reads of every
// size (of some sizes when it is long), with the end staying the end; NAME.text saved through a
// text file is stored with a carriage return before each line feed.
TEST_F(SaveTest, TextFilesDeliverTheirTextAndStoreItWithItsLineEnds) {
    const std::vector<std::string> cases = CasesIn(PRAVELL_TEST_DATA "/textfile", ".file");
    EXPECT_GE(cases.size(), 5u);
    for (const std::string& name : cases) {
        SCOPED_TRACE(name);
        const std::string file = ReadWholeFile(name + ".file");
        const std::string text = ReadWholeFile(name + ".text");
        const bool small = file.size() < 64;
        WriteWholeFile(path, file);
        for (LONG piece = 1; piece <= static_cast<LONG>(file.size()) + 2;
             piece = small ? piece + 1 : piece * 10) {
            TextFile reader(path.c_str());
            ASSERT_TRUE(reader.Open(false));
            std::string all;
            EXPECT_TRUE(ReadInPieces(reader, piece, &all));
            EXPECT_EQ(all, text) << "piece " << piece;
            EXPECT_EQ(ReadPiece(reader, 10), "") << "the end stays the end";
        }
        ASSERT_TRUE(SaveText(path, text));
        EXPECT_EQ(ReadWholeFile(path), OnDisk(text));
    }
}

// Lines held back for the file reach it before a read, a step back or a commit; a step back over
// a stored carriage return and line feed counts them as the one line feed delivered.
TEST_F(SaveTest, HeldLinesReachTheFileBeforeAReadAnUnreadOrACommit) {
    TextFile file(path.c_str());
    ASSERT_TRUE(file.Create());
    ASSERT_TRUE(file.Write("head\ntail\n", 10));
    ASSERT_TRUE(file.Unread(10));
    ASSERT_TRUE(file.Write("H", 1));
    EXPECT_EQ(ReadPiece(file, 100), "ead\ntail\n");
    ASSERT_TRUE(file.Unread(2));
    ASSERT_TRUE(file.Write("\r\n", 2));
    ASSERT_TRUE(file.Commit());
    EXPECT_EQ(ReadWholeFile(path), "Head\r\ntai\r\r\n");
}

} // namespace
} // namespace Ostrel
