#include "platform/com.h"
#include "support/PrivateRegistry.h"
#include "support/TypeLibSupport.h"

#include <gtest/gtest.h>

#include <cstring>
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

// The system reads an identifier field by field and digit by digit into the result, and leaves
// what it read before a fault there; a text that does not open with a brace leaves the null
// identifier. Text that is no identifier is then looked up as a programmatic identifier, which an
// empty registry does not know.
TEST(Guid, ParsesWhatItWritesAndKeepsWhatItReadBeforeAFault) {
    PrivateRegistry registry;
    const struct {
        const OLECHAR* text;
        HRESULT result;
        const char* left;
    } cases[] = {
        {OLESTR("{4f8d6b61-fe7a-4364-a002-4ac12bcd31b3}"), S_OK,
         "{4F8D6B61-FE7A-4364-A002-4AC12BCD31B3}"},
        {OLESTR(""), CO_E_CLASSSTRING, "{00000000-0000-0000-0000-000000000000}"},
        {OLESTR("4F8D6B61-FE7A-4364-A002-4AC12BCD31B3"), CO_E_CLASSSTRING,
         "{00000000-0000-0000-0000-000000000000}"},
        {OLESTR("{4F8D6B61-FE7A-4364-A002-4AC12BCD31B}"), CO_E_CLASSSTRING,
         "{4F8D6B61-FE7A-4364-A002-4AC12BCD31CC}"},
        {OLESTR("{4F8D6B61-FE7A-4364-A002-4AC12BCD31B3}x"), CO_E_CLASSSTRING,
         "{4F8D6B61-FE7A-4364-A002-4AC12BCD31B3}"},
        {OLESTR("{4F8D6B61+FE7A-4364-A002-4AC12BCD31B3}"), CO_E_CLASSSTRING,
         "{4F8D6B61-CCCC-CCCC-CCCC-CCCCCCCCCCCC}"},
        {OLESTR("{4F8D6B6G-FE7A-4364-A002-4AC12BCD31B3}"), CO_E_CLASSSTRING,
         "{04F8D6B6-CCCC-CCCC-CCCC-CCCCCCCCCCCC}"},
        {OLESTR("{4F8D6B61-FE7A-4364-A002+4AC12BCD31B3}"), CO_E_CLASSSTRING,
         "{4F8D6B61-FE7A-4364-A002-CCCCCCCCCCCC}"},
    };
    for (const auto& c : cases) {
        GUID parsed;
        std::memset(&parsed, 0xCC, sizeof parsed);
        EXPECT_EQ(CLSIDFromString(c.text, &parsed), c.result) << c.left;
        EXPECT_EQ(GuidString(parsed), c.left);
    }
}

} // namespace
