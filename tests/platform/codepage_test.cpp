// UTF-8, the ANSI code page of Linux, converted as the system converts it (CP_UTF8 on both).
#include "platform/com.h"
#include "support/SystemFacts.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

std::string ToNarrow(const OleString& wide) {
    int needed = WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()),
                                     nullptr, 0, nullptr, nullptr);
    std::string narrow(static_cast<size_t>(needed), '\0');
    int written = WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()),
                                      narrow.data(), needed, nullptr, nullptr);
    EXPECT_EQ(written, needed);
    return narrow;
}

OleString ToWide(const std::string& narrow) {
    int needed =
        MultiByteToWideChar(CP_UTF8, 0, narrow.data(), static_cast<int>(narrow.size()), nullptr, 0);
    OleString wide(static_cast<size_t>(needed), OLESTR('\0'));
    int written = MultiByteToWideChar(CP_UTF8, 0, narrow.data(), static_cast<int>(narrow.size()),
                                      wide.data(), needed);
    EXPECT_EQ(written, needed);
    return wide;
}

TEST(CodePage, EveryLengthClassRoundTripsAndTheTerminatorCounts) {
    // One, two, three and four bytes in UTF-8; the last is a surrogate pair in UTF-16.
    const OleString wide = OLESTR("a\u00e9\u20ac\U0001F600z\u07ff\uffff\U0010FFFF");
    const std::string narrow = "a\xc3\xa9\xe2\x82\xac\xf0\x9f\x98\x80z\xdf\xbf\xef\xbf\xbf"
                               "\xf4\x8f\xbf\xbf";
    EXPECT_EQ(ToNarrow(wide), narrow);
    EXPECT_EQ(ToWide(narrow), wide);
    EXPECT_EQ(MultiByteToWideChar(CP_UTF8, 0, "\xe2\x82\xac", -1, nullptr, 0), 2);
    EXPECT_EQ(WideCharToMultiByte(CP_UTF8, 0, OLESTR("\u20ac"), -1, nullptr, 0, nullptr, nullptr),
              4);
    char out[4];
    ASSERT_EQ(WideCharToMultiByte(CP_UTF8, 0, OLESTR("\u20ac"), -1, out, 4, nullptr, nullptr), 4);
    EXPECT_EQ(out[3], '\0');
}

TEST(CodePage, IllFormedInputBecomesReplacementCharacters) {
    struct Case {
        std::string input;
        OleString expected;
    };
    const std::vector<Case> cases = {
        {"\x80", OLESTR("\ufffd")},                         // lone continuation byte
        {"a\xc3", OLESTR("a\ufffd")},                       // truncated at the end
        {"\xc0\xaf", OLESTR("\ufffd\ufffd")},               // overlong form
        {"\xed\xa0\x80", OLESTR("\ufffd\ufffd")},           // encoded surrogate
        {"\xf4\x90\x80\x80", OLESTR("\ufffd\ufffd\ufffd")}, // beyond U+10FFFF
        {"\xe0\x80\xad", OLESTR("\ufffd\ufffd")},           // overlong, three bytes
        {"\xf0\x90\x80-", OLESTR("\ufffd-")},               // truncated, four bytes
        {"\xe2\x82x", OLESTR("\ufffdx")},                   // maximal prefix is one replacement
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ToWide(c.input), c.expected) << c.input.size();
    }
    EXPECT_EQ(MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, "\x80", 1, nullptr, 0), 0);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NO_UNICODE_TRANSLATION));
    EXPECT_EQ(ToNarrow(OleString(1, OLESTR('\xd800')) + OLESTR("a")), "\xef\xbf\xbd"
                                                                      "a");
    EXPECT_EQ(ToNarrow(OLESTR("a") + OleString(1, OLESTR('\xdc00'))), "a\xef\xbf\xbd");
    BOOL used = FALSE;
    const OLECHAR lone[] = {0xDBFF, 0};
    char out[8];
    EXPECT_EQ(WideCharToMultiByte(CP_UTF8, 0, lone, -1, out, 8, nullptr, &used), 4);
    EXPECT_TRUE(used);
}

TEST(CodePage, SmallBuffersAndBadArgumentsFailWithoutOverrun) {
    char out[8];
    std::fill(std::begin(out), std::end(out), '#');
    // The euro sign takes three bytes: two do not hold it, and nothing past them is written.
    EXPECT_EQ(WideCharToMultiByte(CP_UTF8, 0, OLESTR("a\u20ac"), 2, out, 2, nullptr, nullptr), 0);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
    EXPECT_EQ(out[2], '#');

    // Four bytes make one character of two units, which the one unit left after "a" does not
    // hold: the call fails, as documented (Wine's answers the units it wrote instead), and
    // nothing past the buffer is written.
    OLECHAR wide[4] = {OLESTR('#'), OLESTR('#'), OLESTR('#'), OLESTR('#')};
    const int written = MultiByteToWideChar(CP_UTF8, 0, "a\xf0\x9f\x98\x80", 5, wide, 2);
    if (!UnderWine()) {
        EXPECT_EQ(written, 0);
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
    }
    EXPECT_EQ(wide[0], OLESTR('a'));
    EXPECT_EQ(wide[2], OLESTR('#'));
    EXPECT_EQ(MultiByteToWideChar(CP_UTF8, 0, nullptr, 3, wide, 4), 0);
    EXPECT_EQ(MultiByteToWideChar(CP_UTF8, 0, "abc", 0, wide, 4), 0);
    EXPECT_EQ(MultiByteToWideChar(12345, 0, "abc", 3, wide, 4), 0) << "no such code page";
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
}

} // namespace
