// UTF-8, the ANSI code page of Linux, converted as the system converts it (CP_UTF8 on both).
#include "platform/com.h"
#include "support/SystemFacts.h"
#include "typenames.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// utf8.txt: one text a line, its bytes and its UTF-16 units.
TEST(CodePage, AsTheTableSays) {
    TableValues values;
    const std::vector<std::string> rows = Rows("conversions/utf8.txt");
    EXPECT_GT(rows.size(), 10u);
    for (const std::string& row : rows) {
        SCOPED_TRACE(row);
        const std::vector<std::string> words = Words(row);
        std::string bytes;
        for (size_t i = 0; i + 2 < words.size(); ++i) {
            bytes += static_cast<char>(std::stoi(words[i], nullptr, 16));
        }
        VARIANT text = values.Read("BSTR:" + words.back());
        const OleString units = BstrText(text.bstrVal);
        VariantClear(&text);
        const std::string& arrow = words[words.size() - 2];
        // Each direction measured first, then written into a buffer of the measured size.
        const int byteCount = static_cast<int>(bytes.size());
        const int unitCount = static_cast<int>(units.size());
        if (arrow != "<=") {
            OleString wide(units.size() + 1, '#');
            EXPECT_EQ(MultiByteToWideChar(CP_UTF8, 0, bytes.data(), byteCount, nullptr, 0),
                      unitCount);
            EXPECT_EQ(
                MultiByteToWideChar(CP_UTF8, 0, bytes.data(), byteCount, wide.data(), unitCount),
                unitCount);
            EXPECT_EQ(wide, units + OLESTR("#"));
        }
        if (arrow != "=>") {
            std::string narrow(bytes.size() + 1, '#');
            EXPECT_EQ(WideCharToMultiByte(CP_UTF8, 0, units.data(), unitCount, nullptr, 0, nullptr,
                                          nullptr),
                      byteCount);
            EXPECT_EQ(WideCharToMultiByte(CP_UTF8, 0, units.data(), unitCount, narrow.data(),
                                          byteCount, nullptr, nullptr),
                      byteCount);
            EXPECT_EQ(narrow, bytes + "#");
        }
    }
}

// A length of -1 counts the terminator; a refusal of ill-formed input, a replaced unit and a
// buffer too small are reported, and nothing past the buffer is written.
TEST(CodePage, TerminatorsRefusalsAndSmallBuffers) {
    EXPECT_EQ(MultiByteToWideChar(CP_UTF8, 0, "\xe2\x82\xac", -1, nullptr, 0), 2);
    char out[8] = "#######";
    EXPECT_EQ(WideCharToMultiByte(CP_UTF8, 0, OLESTR("\u20ac"), -1, out, 4, nullptr, nullptr), 4);
    EXPECT_EQ(out[3], '\0');
    EXPECT_EQ(MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, "\x80", 1, nullptr, 0), 0);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NO_UNICODE_TRANSLATION));
    BOOL used = FALSE;
    const OLECHAR lone[] = {0xDBFF, 0};
    EXPECT_EQ(WideCharToMultiByte(CP_UTF8, 0, lone, -1, out, 8, nullptr, &used), 4);
    EXPECT_TRUE(used);

    std::fill(std::begin(out), std::end(out), '#');
    EXPECT_EQ(WideCharToMultiByte(CP_UTF8, 0, OLESTR("a\u20ac"), 2, out, 2, nullptr, nullptr), 0);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
    EXPECT_EQ(out[2], '#');
    // Four bytes make two units, which the one unit left after "a" does not hold: the call fails,
    // as documented (Wine's answers the units it wrote instead).
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
