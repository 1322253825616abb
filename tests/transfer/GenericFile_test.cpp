#include "FileTestSupport.h"
#include "platform/testsupport.h"
#include "transfer/DataFile.h"
#include "transfer/OpenFileTable.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

namespace Ostrel {
namespace {

TEST(GenericFile, FiftyFilesAtOnceAndNoMore) {
    ScratchDirectory scratch;
    const std::string source = scratch.Path() + "/source";
    const std::string target = scratch.Path() + "/target";
    WriteWholeFile(source, "source");
    WriteWholeFile(target, "old");

    std::vector<std::unique_ptr<DataFile>> files;
    for (LONG i = 0; i < OpenFileTable::kEntries; ++i) {
        files.push_back(std::make_unique<DataFile>(source.c_str()));
        ASSERT_TRUE(files.back()->Open(false));
        EXPECT_EQ(files.back()->GetTableIndex(), i);
    }
    DataFile extra(source.c_str());
    EXPECT_FALSE(extra.Open(false));
    EXPECT_FALSE(extra.IsOpen());
    EXPECT_EQ(extra.GetTableIndex(), -3);
    char buffer[8];
    uint32_t got = 0;
    EXPECT_FALSE(extra.Read(buffer, 8, &got));

    // A refused save touches nothing.
    DataFile save(target.c_str());
    EXPECT_FALSE(save.Create());
    EXPECT_EQ(ReadWholeFile(target), "old");
    EXPECT_EQ(ListDirectory(scratch.Path()), (std::vector<std::string>{"source", "target"}));

    files[7]->Close();
    ASSERT_TRUE(extra.Open(false));
    EXPECT_EQ(extra.GetTableIndex(), 7);
    EXPECT_FALSE(save.Create());
    files.clear();
    EXPECT_TRUE(save.Create());
    EXPECT_EQ(save.GetTableIndex(), 0);
}

TEST(GenericFile, OpenRestoresTheErrorMode) {
    ScratchDirectory scratch;
    const std::string path = scratch.Path() + "/file";
    WriteWholeFile(path, "x");
    SetErrorMode(SEM_NOOPENFILEERRORBOX);
    DataFile present(path.c_str());
    EXPECT_TRUE(present.Open(false));
    EXPECT_EQ(SetErrorMode(SEM_NOOPENFILEERRORBOX), SEM_NOOPENFILEERRORBOX);
    DataFile missing((scratch.Path() + "/missing").c_str());
    EXPECT_FALSE(missing.Open(false));
    EXPECT_EQ(SetErrorMode(0), SEM_NOOPENFILEERRORBOX);
}

} // namespace
} // namespace Ostrel
