// Variants: their conversions, copies and clearing as the table of tests/data/conversions says,
// and what the table cannot write: a locked array, a string of an odd number of bytes, a decimal.
#include "platform/com.h"
#include "support/CountingObject.h"
#include "support/SystemFacts.h"
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

// One row: "FROM VALUE -> TO|OPERATION [FLAG...] RESULT [EXPECTED] [wine=RESULT]". The source
// stays as it was unless it is the target, a failure leaves the target as it was, and every
// reference taken is given back.
void ExpectRow(TableValues& values, const std::vector<std::string>& words) {
    const auto references = values.References();
    VARIANT source = values.Read(VarTypeNamed(words[0]), words[1]);
    const std::string sourceBefore = values.Write(source);
    const auto operation = operations.find(words[3]);
    const bool converts = operation == operations.end();
    USHORT flags = 0;
    size_t at = 4;
    for (; flagNames.count(words.at(at)) != 0; ++at) {
        flags |= flagNames.at(words[at]);
    }
    const bool wineDiffers = UnderWine() && words.back().rfind("wine=", 0) == 0;
    const HRESULT answer = HresultNames().at(wineDiffers ? words.back().substr(5) : words.at(at));
    const bool given = at + 1 < words.size() && words[at + 1].rfind("wine=", 0) != 0;
    VARIANT result{};
    VARIANT* target = (flags & inPlace) != 0 || words[3] == "Clear" ? &source : &result;
    const std::string targetBefore = values.Write(*target);
    const VARTYPE to = converts ? VarTypeNamed(words[3]) : VARTYPE{VT_EMPTY};
    ASSERT_EQ(HresultName(converts ? VariantChangeType(target, &source, flags & ~inPlace, to)
                                   : operation->second(target, &source)),
              HresultName(answer));
    VARIANT expected{};
    if (answer == S_OK && (converts || given)) {
        expected =
            converts ? values.Read(to, given ? words[at + 1] : "-") : values.Read(words[at + 1]);
    }
    if (!wineDiffers) {
        EXPECT_EQ(values.Write(*target), FAILED(answer) ? targetBefore : values.Write(expected));
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
    answer.value.vt = VT_I4;
    answer.value.lVal = 42;
    CountingObject failing;
    failing.invokeResult = DISP_E_MEMBERNOTFOUND;
    CountingObject nested;
    nested.value.vt = VT_UNKNOWN;
    nested.value.punkVal = &answer;
    answer.AddRef();
    CountingObject plain(false);
    TableValues values;
    values.objects = {
        {"answer", &answer}, {"failing", &failing}, {"nested", &nested}, {"plain", &plain}};

    const std::string previous = std::setlocale(LC_ALL, nullptr);
    for (const char* locale : {"de_DE.UTF-8", "fr_FR.UTF-8", "ru_RU.UTF-8"}) {
        if (std::setlocale(LC_ALL, locale) != nullptr) {
            break;
        }
    }
    const std::vector<std::string> rows = Rows("conversions/variants.txt");
    EXPECT_GT(rows.size(), 190u);
    for (const std::string& row : rows) {
        SCOPED_TRACE(row.substr(0, 100));
        ExpectRow(values, Words(row));
    }
    std::setlocale(LC_ALL, previous.c_str());
}

// A locked array is not destroyed, since whoever locked it still uses it; the variant lets go of
// it all the same and reports the lock.
TEST(Variant, ClearLeavesALockedArrayToItsLocker) {
    VARIANT variant{};
    variant.vt = VT_ARRAY | VT_I4;
    variant.parray = SafeArrayCreateVector(VT_I4, 0, 4);
    SAFEARRAY* array = variant.parray;
    ASSERT_EQ(SafeArrayLock(array), S_OK);
    EXPECT_EQ(VariantClear(&variant), DISP_E_ARRAYISLOCKED);
    EXPECT_EQ(variant.vt, VT_EMPTY);
    ASSERT_EQ(SafeArrayUnlock(array), S_OK);
    EXPECT_EQ(SafeArrayDestroy(array), S_OK) << "the array outlived the variant";
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

} // namespace
