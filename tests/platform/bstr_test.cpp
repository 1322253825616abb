#include "platform/com.h"

#include <gtest/gtest.h>

namespace {

// A length is stored, not measured: NULs inside survive, the end is always terminated, room
// asked for without text is zeroed, and lengths that cannot be allocated are refused. Strings of
// an odd number of bytes are in variant_test.cpp.
TEST(Bstr, LengthsAreStoredAndEmbeddedNulsSurvive) {
    const OLECHAR text[] = {OLESTR('a'), 0, OLESTR('b')};
    BSTR s = SysAllocStringLen(text, 3);
    EXPECT_EQ(SysStringLen(s), 3u);
    EXPECT_EQ(SysStringByteLen(s), 6u);
    EXPECT_EQ(s[2], OLESTR('b'));
    EXPECT_EQ(s[3], 0);
    SysFreeString(s);
    BSTR room = SysAllocStringLen(nullptr, 3);
    EXPECT_EQ(SysStringLen(room), 3u);
    EXPECT_EQ(room[2], 0);
    EXPECT_EQ(room[3], 0);
    SysFreeString(room);
    EXPECT_EQ(SysStringLen(nullptr), 0u);
    EXPECT_EQ(SysAllocString(nullptr), nullptr);
    SysFreeString(nullptr);
    EXPECT_EQ(SysAllocStringLen(nullptr, 0x80000000u), nullptr);
    EXPECT_EQ(SysAllocStringByteLen(nullptr, 0xFFFFFFFFu), nullptr);
}

} // namespace
