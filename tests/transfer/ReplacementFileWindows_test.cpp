// What saving over a file means where only Windows can arrange it: file attributes, a target
// that another program holds open, devices, and paths written with backslashes.
#include "SaveTest.h"
#include "platform/com.h"

#include <gtest/gtest.h>

#include <string>

namespace Ostrel {
namespace {

// A read-only file is refused, as opening it for writing would be, and a target that another
// program holds open without letting it be replaced cannot be moved over: either save fails, the
// old file stays whole and the new one is removed. A replaced file keeps its hidden, system and
// archive attributes.
TEST_F(SaveTest, ReadOnlyOrHeldFilesStayAsTheyWereAndAttributesAreKept) {
    ASSERT_TRUE(SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_READONLY));
    EXPECT_FALSE(SaveText(path, "<c/>\n"));
    EXPECT_TRUE(GetFileAttributesA(path.c_str()) & FILE_ATTRIBUTE_READONLY);
    ASSERT_TRUE(SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL));
    const HANDLE held = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    EXPECT_FALSE(SaveText(path, LongText()));
    CloseHandle(held);
    ExpectUntouched();
    ASSERT_TRUE(SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM));
    ASSERT_TRUE(SaveText(path, "<b/>\n"));
    EXPECT_EQ(ReadWholeFile(path), "<b/>\r\n");
    EXPECT_EQ(GetFileAttributesA(path.c_str()) & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM),
              DWORD{FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM});
    EXPECT_EQ(ListDirectory(scratch.Path()), justTheDocument);
}

// Backslashes separate folders as slashes do; a device is written in place, nothing is made
// beside it.
TEST_F(SaveTest, BackslashPathsAndDevices) {
    std::string backslashed = path;
    for (char& c : backslashed) {
        c = c == '/' ? '\\' : c;
    }
    ASSERT_TRUE(SaveText(backslashed, "<c/>\n"));
    EXPECT_EQ(ReadWholeFile(path), "<c/>\r\n");
    EXPECT_EQ(ListDirectory(scratch.Path()), justTheDocument);
    EXPECT_TRUE(SaveText("NUL", LongText()));
}

} // namespace
} // namespace Ostrel
