// The conversions of the tables of tests/data/conversions: variants (variants.txt), UTF-8 and
// UTF-16 through the code page (utf8.txt, CP_UTF8 on both systems: the ANSI code page of Linux),
// identifiers and their registry form (guids.txt); and what the tables cannot write: automation
// strings of embedded NULs or an odd number of bytes, a decimal.
#include "platform/com.h"
#include "support/CountingObject.h"
#include "support/PrivateRegistry.h"
#include "support/SystemFacts.h"
#include "support/TypeLibSupport.h"
#include "typenames.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cstring>
#include <map>
#include <string>
#include <vector>

namespace {

using Ostrel::Testing::CountingObject;

// Conversion flags, and INPLACE for an operation on a variant into itself.
constexpr USHORT inPlace = 0x8000;
const std::map<std::string, USHORT> flagNames = {{"ALPHABOOL", VARIANT_ALPHABOOL},
                                                 {"LOCALBOOL", VARIANT_LOCALBOOL},
                                                 {"NOVALUEPROP", VARIANT_NOVALUEPROP},
                                                 {"INPLACE", inPlace}};

using Operation = HRESULT (*)(VARIANT* target, VARIANT* source);
const std::map<std::string, Operation> operations = {
    {"Clear", [](VARIANT* target, VARIANT*) { return VariantClear(target); }},
    {"Copy", [](VARIANT* target, VARIANT* source) { return VariantCopy(target, source); }},
    {"CopyInd", [](VARIANT* target, VARIANT* source) { return VariantCopyInd(target, source); }}};

// One row of variants.txt. The source stays as it was unless it is the target, a failure leaves
// the target as it was, and every reference taken is given back.
void ExpectRow(TableValues& values, const std::vector<std::string>& words) {
    const auto references = values.References();
    VARIANT source = values.Read(words[0]);
    const std::string sourceBefore = values.Write(source);
    USHORT flags = 0;
    size_t at = 3;
    for (; flagNames.count(words.at(at)) != 0; ++at) {
        flags |= flagNames.at(words[at]);
    }
    const bool wineDiffers = UnderWine() && words.back().rfind("wine=", 0) == 0;
    const std::string answer = wineDiffers ? words.back().substr(5) : words.at(at);
    const bool given = at + 1 < words.size() && words[at + 1].rfind("wine=", 0) != 0;
    VARIANT result{};
    VARIANT* target = (flags & inPlace) != 0 || words[2] == "Clear" ? &source : &result;
    const std::string targetBefore = values.Write(*target);
    const auto operation = operations.find(words[2]);
    ASSERT_EQ(HresultName(operation != operations.end()
                              ? operation->second(target, &source)
                              : VariantChangeType(target, &source, flags & ~inPlace,
                                                  VarTypeNamed(words[2]))),
              answer);
    VARIANT expected = values.Read(given ? words[at + 1] : "EMPTY");
    if (!wineDiffers) {
        EXPECT_EQ(values.Write(*target), answer == "S_OK" ? values.Write(expected) : targetBefore);
    }
    if (target != &source) {
        EXPECT_EQ(values.Write(source), sourceBefore);
    }
    for (VARIANT* variant : {&source, &result, &expected}) {
        VariantClear(variant);
    }
    values.Forget();
    EXPECT_EQ(values.References(), references);
}

// variants.txt: one conversion, copy or clearing a line. The layer reads and writes numbers with
// "." and "," as in US English whatever the process locale, so the table runs under a locale with a
// decimal comma where one is installed. The system's libraries follow the user's locale instead,
// which the Wine runner pins to one with US English numbers (tests/wine/wine-run).
TEST(VariantConversion, AsTheTableSays) {
    CountingObject answer;
    CountingObject failing;
    failing.invokeResult = DISP_E_MEMBERNOTFOUND;
    CountingObject nested;
    CountingObject plain(false);
    TableValues values;
    values.objects = {
        {"answer", &answer}, {"failing", &failing}, {"nested", &nested}, {"plain", &plain}};
    answer.value = values.Read("I4:42");
    nested.value = values.Read("UNKNOWN:answer");

    const std::string previous = std::setlocale(LC_ALL, nullptr);
    for (const char* locale : {"de_DE.UTF-8", "fr_FR.UTF-8", "ru_RU.UTF-8"}) {
        if (std::setlocale(LC_ALL, locale) != nullptr) {
            break;
        }
    }
    for (const std::string& row : Rows("conversions/variants.txt")) {
        SCOPED_TRACE(row.substr(0, 100));
        ExpectRow(values, Words(row));
    }
    std::setlocale(LC_ALL, previous.c_str());
}

// A copy keeps every byte of a string and every field of a decimal, whose fields the two
// systems nest differently under the same names.
TEST(Variant, CopyKeepsOddByteStringsAndDecimalsWhole) {
    VARIANT source{};
    source.vt = VT_BSTR;
    source.bstrVal = SysAllocStringByteLen("odd", 3);
    VARIANT target{};
    ASSERT_EQ(VariantCopy(&target, &source), S_OK);
    EXPECT_EQ(SysStringByteLen(target.bstrVal), 3u);
    EXPECT_EQ(std::memcmp(target.bstrVal, "odd", 4), 0);
    VariantClear(&source);
    VariantClear(&target);

    source.decVal.scale = 2;
    source.decVal.sign = 0x80;
    source.decVal.Hi32 = 7;
    source.decVal.Lo64 = 12345;
    source.vt = VT_DECIMAL;
    ASSERT_EQ(VariantCopy(&target, &source), S_OK);
    EXPECT_EQ(std::memcmp(&target, &source, sizeof source), 0);
}

// A length is stored, not measured: NULs inside survive, the end is always terminated, room
// asked for without text is zeroed, and lengths that cannot be allocated are refused.
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

// utf8.txt: one text a line, its bytes and its UTF-16 units.
TEST(CodePage, AsTheTableSays) {
    for (const std::string& row : Rows("conversions/utf8.txt")) {
        SCOPED_TRACE(row);
        const std::vector<std::string> words = Words(row);
        std::string bytes;
        for (size_t i = 0; i + 2 < words.size(); ++i) {
            bytes += static_cast<char>(std::stoi(words[i], nullptr, 16));
        }
        const OleString units = Units(words.back());
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
    BOOL used = FALSE;
    const OLECHAR lone[] = {0xDBFF, 0};
    EXPECT_EQ(WideCharToMultiByte(CP_UTF8, 0, lone, -1, out, 4, nullptr, &used), 4);
    EXPECT_TRUE(used);
    EXPECT_EQ(std::string(out, 5), std::string("\xEF\xBF\xBD\0#", 5));
    EXPECT_EQ(MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, "\x80", 1, nullptr, 0), 0);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NO_UNICODE_TRANSLATION));

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

// guids.txt: one text a line, what reading it answers and leaves in the identifier.
TEST(Guid, ReadsFieldByFieldAndWritesTheRegistryForm) {
    PrivateRegistry registry;
    for (const std::string& row : Rows("conversions/guids.txt")) {
        SCOPED_TRACE(row);
        const std::vector<std::string> words = Words(row);
        GUID read;
        std::memset(&read, 0xCC, sizeof read);
        EXPECT_EQ(HresultName(CLSIDFromString(Units(words[0]).c_str(), &read)), words[2]);
        EXPECT_EQ(GuidString(read), words[3]);
        LPOLESTR written = nullptr;
        ASSERT_EQ(StringFromCLSID(read, &written), S_OK);
        EXPECT_EQ(OleString(written), OleString(words[3].begin(), words[3].end()));
        CoTaskMemFree(written);
    }
    OLECHAR small[39];
    EXPECT_EQ(StringFromGUID2(GUID{}, small, 38), 0) << "no room for the terminator";
    EXPECT_EQ(StringFromGUID2(GUID{}, small, 39), 39);
}

} // namespace
