#include "platform/com.h"
#include "support/PrivateRegistry.h"

#include <gtest/gtest.h>

#include <string>

namespace {

const GUID sample = {0x4F8D6B61, 0xFE7A, 0x4364, {0xA0, 0x02, 0x4A, 0xC1, 0x2B, 0xCD, 0x31, 0xB3}};

OleString Owned(LPOLESTR text) {
    OleString copy(text);
    CoTaskMemFree(text);
    return copy;
}

TEST(Guid, RegistryFormIsUpperCaseWithBraces) {
    LPOLESTR text = nullptr;
    ASSERT_EQ(StringFromCLSID(sample, &text), S_OK);
    EXPECT_EQ(Owned(text), OLESTR("{4F8D6B61-FE7A-4364-A002-4AC12BCD31B3}"));

    OLECHAR small[38];
    EXPECT_EQ(StringFromGUID2(sample, small, 38), 0) << "no room for the terminator";
    OLECHAR exact[39];
    EXPECT_EQ(StringFromGUID2(sample, exact, 39), 39);
}

// Text that is not an identifier is looked up as a programmatic identifier, which an empty
// registry does not know.
TEST(Guid, ParsesWhatItWritesAndRejectsMalformedText) {
    PrivateRegistry registry;
    GUID parsed{};
    ASSERT_EQ(CLSIDFromString(OLESTR("{4f8d6b61-fe7a-4364-a002-4ac12bcd31b3}"), &parsed), S_OK);
    EXPECT_EQ(parsed, sample);
    for (const OLECHAR* bad : {OLESTR(""), OLESTR("{4F8D6B61-FE7A-4364-A002-4AC12BCD31B}"),
                               OLESTR("{4F8D6B61-FE7A-4364-A002-4AC12BCD31B3}x"),
                               OLESTR("4F8D6B61-FE7A-4364-A002-4AC12BCD31B3"),
                               OLESTR("{4F8D6B61+FE7A-4364-A002-4AC12BCD31B3}"),
                               OLESTR("{4F8D6B6G-FE7A-4364-A002-4AC12BCD31B3}")}) {
        EXPECT_EQ(CLSIDFromString(bad, &parsed), CO_E_CLASSSTRING);
        EXPECT_EQ(parsed, sample) << "untouched on failure";
    }
}

} // namespace
