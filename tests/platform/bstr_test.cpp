#include "platform/com.h"

#include <gtest/gtest.h>

namespace {

TEST(Bstr, LengthsAreStoredAndEmbeddedNulsSurvive) {
    const OLECHAR text[] = {OLESTR('a'), 0, OLESTR('b'), OLESTR('c')};
    BSTR s = SysAllocStringLen(text, 4);
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(SysStringLen(s), 4u);
    EXPECT_EQ(SysStringByteLen(s), 8u);
    EXPECT_EQ(s[1], 0);
    EXPECT_EQ(s[3], OLESTR('c'));
    EXPECT_EQ(s[4], 0) << "always terminated";
    SysFreeString(s);
    EXPECT_EQ(SysStringLen(nullptr), 0u);
    EXPECT_EQ(SysAllocString(nullptr), nullptr);
    SysFreeString(nullptr);

    BSTR empty = SysAllocString(OLESTR(""));
    ASSERT_NE(empty, nullptr);
    SysFreeString(empty);
    BSTR room = SysAllocStringLen(nullptr, 3);
    ASSERT_NE(room, nullptr);
    EXPECT_EQ(SysStringLen(room), 3u);
    EXPECT_EQ(room[3], 0);
    SysFreeString(room);
    BSTR odd = SysAllocStringByteLen("abc", 3);
    EXPECT_EQ(SysStringByteLen(odd), 3u) << "byte lengths keep odd counts";
    EXPECT_EQ(SysStringLen(odd), 1u);
    EXPECT_EQ(reinterpret_cast<const char*>(odd)[3], 0);
    SysFreeString(odd);
    EXPECT_EQ(SysAllocStringLen(nullptr, 0x80000000u), nullptr);
    EXPECT_EQ(SysAllocStringByteLen(nullptr, 0xFFFFFFFFu), nullptr);
}

} // namespace
