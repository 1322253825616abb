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

// Bytes pass unchanged both ways and Unread delivers them again; a file refuses what its state
// does not allow.
TEST(GenericFile, BytesPassUnchangedAndReadErrorsAreNotTheEnd) {
    ScratchDirectory scratch;
    const std::string path = scratch.Path() + "/data.bin";
    std::string bytes;
    for (int i = 0; i < 300000; ++i) {
        bytes += static_cast<char>(i * 7 % 256);
    }
    {
        DataFile file(path.c_str());
        ASSERT_TRUE(file.Create());
        ASSERT_TRUE(WriteInPieces(file, bytes, 10000));
        ASSERT_TRUE(file.Commit());
        EXPECT_FALSE(file.Commit());
    }
    DataFile file(path.c_str());
    ASSERT_TRUE(file.Open(false));
    EXPECT_FALSE(file.Open(false));
    EXPECT_FALSE(file.Commit()) << "a file opened for reading is never committed";
    EXPECT_EQ(ReadPiece(file, 10), bytes.substr(0, 10));
    EXPECT_FALSE(file.Unread(11));
    EXPECT_FALSE(file.Unread(-1));
    EXPECT_TRUE(file.Unread(3));
    EXPECT_EQ(ReadPiece(file, 2), bytes.substr(7, 2));
    EXPECT_TRUE(file.Unread(9));
    std::string loaded;
    EXPECT_TRUE(ReadInPieces(file, 10000, &loaded));
    EXPECT_TRUE(loaded == bytes);
    EXPECT_TRUE(file.Close());
    char buffer[16];
    uint32_t got = 0;
    EXPECT_FALSE(file.Read(buffer, 4, &got));
    EXPECT_FALSE(file.Write("x", 1));

    DataFile missing((scratch.Path() + "/missing").c_str());
    SetErrorMode(SEM_NOOPENFILEERRORBOX);
    EXPECT_FALSE(missing.Open(false));
    EXPECT_EQ(SetErrorMode(0), static_cast<UINT>(SEM_NOOPENFILEERRORBOX))
        << "Open restores the error mode";
}

} // namespace
} // namespace Ostrel
