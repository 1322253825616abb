#include "SaveTest.h"

#include <gtest/gtest.h>

#include <string>

namespace Ostrel {
namespace {

// Closed without a commit, or in a missing directory, a save leaves the old file as it was and
// nothing beside it; a complete one replaces it.
TEST_F(SaveTest, OnlyACompleteCommitReplacesTheFile) {
    const std::string text = LongText();
    {
        TextFile file(path.c_str());
        ASSERT_TRUE(file.Create());
        ASSERT_TRUE(file.Write(text.data(), 100000));
        EXPECT_TRUE(file.Close());
        EXPECT_FALSE(file.Commit());
    }
    TextFile noDirectory((scratch.Path() + "/missing/doc.xml").c_str());
    EXPECT_FALSE(noDirectory.Create());
    ExpectUntouched();
    ASSERT_TRUE(SaveText(path, text));
    EXPECT_EQ(ReadWholeFile(path), OnDisk(text));
    EXPECT_EQ(ListDirectory(scratch.Path()), justTheDocument);
}

} // namespace
} // namespace Ostrel
