#include "platform/com.h"

#include <gtest/gtest.h>

namespace {

TEST(Bstr, LengthIsStoredAndEmbeddedNulsSurvive) {
    const OLECHAR text[] = {u'a', 0, u'b', u'c'};
    BSTR s = SysAllocStringLen(text, 4);
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(SysStringLen(s), 4u);
    EXPECT_EQ(SysStringByteLen(s), 8u);
    EXPECT_EQ(s[1], 0);
    EXPECT_EQ(s[3], u'c');
    EXPECT_EQ(s[4], 0) << "always terminated";
    SysFreeString(s);
}

TEST(Bstr, NullAndEmptyStrings) {
    EXPECT_EQ(SysStringLen(nullptr), 0u);
    EXPECT_EQ(SysAllocString(nullptr), nullptr);
    SysFreeString(nullptr);

    BSTR empty = SysAllocString(OLESTR(""));
    ASSERT_NE(empty, nullptr);
    EXPECT_EQ(SysStringLen(empty), 0u);
    EXPECT_EQ(empty[0], 0);
    SysFreeString(empty);

    BSTR room = SysAllocStringLen(nullptr, 3);
    ASSERT_NE(room, nullptr);
    EXPECT_EQ(SysStringLen(room), 3u);
    EXPECT_EQ(room[3], 0);
    SysFreeString(room);
}

TEST(Bstr, ByteLengthStringsKeepOddCounts) {
    BSTR s = SysAllocStringByteLen("abc", 3);
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(SysStringByteLen(s), 3u);
    EXPECT_EQ(SysStringLen(s), 1u);
    EXPECT_EQ(reinterpret_cast<const char*>(s)[3], 0);
    SysFreeString(s);
}

TEST(Bstr, ImpossibleLengthsFailCleanly) {
    EXPECT_EQ(SysAllocStringLen(nullptr, 0x80000000u), nullptr);
    EXPECT_EQ(SysAllocStringByteLen(nullptr, 0xFFFFFFFFu), nullptr);
}

} // namespace
