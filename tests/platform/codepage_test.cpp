#include "platform/com.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

std::string ToNarrow(const OleString& wide) {
    int needed = WideCharToMultiByte(CP_ACP, 0, wide.data(), static_cast<int>(wide.size()), nullptr,
                                     0, nullptr, nullptr);
    std::string narrow(static_cast<size_t>(needed), '\0');
    int written = WideCharToMultiByte(CP_ACP, 0, wide.data(), static_cast<int>(wide.size()),
                                      narrow.data(), needed, nullptr, nullptr);
    EXPECT_EQ(written, needed);
    return narrow;
}

OleString ToWide(const std::string& narrow) {
    int needed =
        MultiByteToWideChar(CP_ACP, 0, narrow.data(), static_cast<int>(narrow.size()), nullptr, 0);
    OleString wide(static_cast<size_t>(needed), OLESTR('\0'));
    int written = MultiByteToWideChar(CP_ACP, 0, narrow.data(), static_cast<int>(narrow.size()),
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
    EXPECT_EQ(MultiByteToWideChar(CP_ACP, 0, "\xe2\x82\xac", -1, nullptr, 0), 2);
    EXPECT_EQ(WideCharToMultiByte(CP_ACP, 0, OLESTR("\u20ac"), -1, nullptr, 0, nullptr, nullptr),
              4);
    char out[4];
    ASSERT_EQ(WideCharToMultiByte(CP_ACP, 0, OLESTR("\u20ac"), -1, out, 4, nullptr, nullptr), 4);
    EXPECT_EQ(out[3], '\0');
}

TEST(CodePage, IllFormedInputBecomesReplacementCharacters) {
    struct Case {
        std::string input;
        OleString expected;
    };
    const std::vector<Case> cases = {
        {"\x80", OLESTR("\ufffd")},                               // lone continuation byte
        {"a\xc3", OLESTR("a\ufffd")},                             // truncated at the end
        {"\xc0\xaf", OLESTR("\ufffd\ufffd")},                     // overlong form
        {"\xed\xa0\x80", OLESTR("\ufffd\ufffd\ufffd")},           // encoded surrogate
        {"\xf4\x90\x80\x80", OLESTR("\ufffd\ufffd\ufffd\ufffd")}, // beyond U+10FFFF
        {"\xe2\x82x", OLESTR("\ufffdx")}, // maximal prefix is one replacement
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ToWide(c.input), c.expected) << c.input.size();
    }
    EXPECT_EQ(MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, "\x80", 1, nullptr, 0), 0);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NO_UNICODE_TRANSLATION));
    EXPECT_EQ(ToNarrow(OleString(1, OLESTR('\xd800')) + OLESTR("a")), "\xef\xbf\xbd"
                                                                      "a");
    EXPECT_EQ(ToNarrow(OLESTR("a") + OleString(1, OLESTR('\xdc00'))), "a\xef\xbf\xbd");
    BOOL used = FALSE;
    const OLECHAR lone[] = {0xDBFF, 0};
    char out[8];
    EXPECT_EQ(WideCharToMultiByte(CP_ACP, 0, lone, -1, out, 8, nullptr, &used), 4);
    EXPECT_TRUE(used);
}

TEST(CodePage, SmallBuffersAndBadArgumentsFailWithoutOverrun) {
    char out[8];
    std::fill(std::begin(out), std::end(out), '#');
    // The euro sign takes three bytes: two do not hold it, and nothing past them is written.
    EXPECT_EQ(WideCharToMultiByte(CP_ACP, 0, OLESTR("a\u20ac"), 2, out, 2, nullptr, nullptr), 0);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
    EXPECT_EQ(out[2], '#');

    OLECHAR wide[4] = {OLESTR('#'), OLESTR('#'), OLESTR('#'), OLESTR('#')};
    EXPECT_EQ(MultiByteToWideChar(CP_ACP, 0, "a\xf0\x9f\x98\x80", 5, wide, 2), 0);
    EXPECT_EQ(wide[0], OLESTR('a'));
    EXPECT_EQ(wide[1], OLESTR('#')) << "a surrogate pair is never split";
    EXPECT_EQ(MultiByteToWideChar(CP_ACP, 0, nullptr, 3, wide, 4), 0);
    EXPECT_EQ(MultiByteToWideChar(CP_ACP, 0, "abc", 0, wide, 4), 0);
    EXPECT_EQ(MultiByteToWideChar(1252, 0, "abc", 3, wide, 4), 0);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    BOOL used;
    EXPECT_EQ(WideCharToMultiByte(CP_UTF8, 0, OLESTR("a"), 1, out, 4, nullptr, &used), 0)
        << "UTF-8 takes no default character";
}

} // namespace
