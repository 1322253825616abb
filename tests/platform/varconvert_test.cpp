#include "platform/com.h"
#include "support/CountingObject.h"
#include "support/SystemFacts.h"
#include "support/TestSupport.h"
#include "typenames.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <string>
#include <vector>

namespace {

using Ostrel::Testing::CountingObject;

// A variant that the test owns; it is cleared when the test is done with it.
struct Value : VARIANT {
    Value() { VariantInit(this); }
    explicit Value(VARTYPE type) { Become(type); }
    explicit Value(const OLECHAR* text) : Value(VT_BSTR) { bstrVal = SysAllocString(text); }
    ~Value() { VariantClear(this); }
    Value(const Value&) = delete;
    Value& operator=(const Value&) = delete;

    void Become(VARTYPE type) {
        VariantClear(this);
        std::memset(static_cast<VARIANT*>(this), 0, sizeof(VARIANT));
        vt = type;
    }
};

HRESULT Convert(VARIANT* source, VARTYPE vt, VARIANT& result, USHORT flags = 0) {
    return VariantChangeType(&result, source, flags, vt);
}

const std::map<std::string, USHORT> flagNames = {{"ALPHABOOL", VARIANT_ALPHABOOL},
                                                 {"LOCALBOOL", VARIANT_LOCALBOOL}};
const std::map<std::string, HRESULT> resultNames = {{"S_OK", S_OK},
                                                    {"DISP_E_OVERFLOW", DISP_E_OVERFLOW},
                                                    {"DISP_E_TYPEMISMATCH", DISP_E_TYPEMISMATCH},
                                                    {"DISP_E_BADVARTYPE", DISP_E_BADVARTYPE}};

// The words of a table line; a double-quoted string is one word, quotes included.
std::vector<std::string> Words(const std::string& line) {
    std::vector<std::string> words;
    for (size_t at = line.find_first_not_of(' '); at != std::string::npos;
         at = line.find_first_not_of(' ', at)) {
        const size_t end = line[at] == '"' ? std::min(line.find('"', at + 1), line.size() - 1) + 1
                                           : line.find(' ', at);
        words.push_back(line.substr(at, end - at));
        at = end;
    }
    return words;
}

// Fills `value` of type `vt` from its table form.
void Parse(VARTYPE vt, const std::string& word, Value& value) {
    value.Become(vt);
    if (vt == VT_BSTR) {
        const std::string text = word.substr(1, word.size() - 2);
        value.bstrVal = SysAllocStringLen(OleString(text.begin(), text.end()).c_str(),
                                          static_cast<UINT>(text.size()));
    } else if (vt == VT_R8) {
        value.dblVal = std::strtod(word.c_str(), nullptr);
    } else if (vt == VT_R4) {
        value.fltVal = std::strtof(word.c_str(), nullptr);
    } else if (vt == VT_UI8 || vt == VT_UI4 || vt == VT_UINT || vt == VT_ERROR) {
        value.ullVal = std::strtoull(word.c_str(), nullptr, 0);
    } else if (vt != VT_EMPTY && vt != VT_NULL && vt != VT_VOID) {
        value.llVal = std::strtoll(word.c_str(), nullptr, 0);
    }
}

// The low `size` bytes of a variant's value, where the integer types keep theirs.
uint64_t ValueBits(const VARIANT& variant, size_t size) {
    uint64_t bits = 0;
    std::memcpy(&bits, &variant.llVal, size);
    return bits;
}

void ExpectSame(const VARIANT& actual, const VARIANT& expected) {
    static const std::map<VARTYPE, size_t> sizes = {{VT_EMPTY, 0}, {VT_NULL, 0}, {VT_I1, 1},
                                                    {VT_UI1, 1},   {VT_I2, 2},   {VT_UI2, 2},
                                                    {VT_BOOL, 2},  {VT_I8, 8},   {VT_UI8, 8}};
    ASSERT_EQ(actual.vt, expected.vt);
    if (expected.vt == VT_BSTR) {
        ASSERT_NE(actual.bstrVal, nullptr);
        EXPECT_EQ(BstrText(actual.bstrVal), BstrText(expected.bstrVal));
    } else if (expected.vt == VT_R8) {
        EXPECT_EQ(actual.dblVal, expected.dblVal);
    } else if (expected.vt == VT_R4) {
        EXPECT_EQ(actual.fltVal, expected.fltVal);
    } else {
        const auto size = sizes.find(expected.vt);
        const size_t bytes = size == sizes.end() ? 4 : size->second;
        EXPECT_EQ(ValueBits(actual, bytes), ValueBits(expected, bytes));
    }
}

// One row: "FROM VALUE -> TO [FLAG...] RESULT [EXPECTED]".
void ExpectConversion(const std::vector<std::string>& words) {
    Value source;
    Parse(VarTypeNamed(words[0]), words[1], source);
    const VARTYPE to = VarTypeNamed(words[3]);
    USHORT flags = 0;
    size_t at = 4;
    for (; flagNames.count(words.at(at)) != 0; ++at) {
        flags |= flagNames.at(words[at]);
    }
    const HRESULT expectedResult = resultNames.at(words.at(at));
    Value result;
    ASSERT_EQ(Convert(&source, to, result, flags), expectedResult);
    Value expected;
    if (expectedResult == S_OK) {
        Parse(to, at + 1 < words.size() ? words[at + 1] : "-", expected);
    }
    ExpectSame(result, expected);
}

// variants.txt: one conversion a line. The layer reads and writes numbers with "." and "," as in
// US English whatever the process locale, so the table runs under a locale with a decimal comma
// where one is installed. The system's libraries follow the user's locale instead, which the
// Wine runner pins to one with US English numbers (tests/wine/wine-run).
TEST(VariantConversion, AsTheTableSays) {
    const std::string previous = std::setlocale(LC_ALL, nullptr);
    for (const char* locale : {"de_DE.UTF-8", "fr_FR.UTF-8", "ru_RU.UTF-8"}) {
        if (std::setlocale(LC_ALL, locale) != nullptr) {
            break;
        }
    }
    std::ifstream table(PRAVELL_TEST_DATA "/conversions/variants.txt");
    int cases = 0;
    for (std::string line; std::getline(table, line);) {
        const std::vector<std::string> words = Words(line);
        if (!words.empty() && words[0][0] != '#') {
            SCOPED_TRACE(line.substr(0, 80));
            ExpectConversion(words);
            ++cases;
        }
    }
    std::setlocale(LC_ALL, previous.c_str());
    EXPECT_GT(cases, 140);
}

// The layer answers the correctly rounded real, and DISP_E_OVERFLOW for a value out of the
// target's range. Wine sums a long digit string into a double one digit at a time, so that it
// rounds such text more than once and reaches infinity without an overflow; and its range
// checks compare NaN with the bounds, which is false both ways, so NaN passes as a number in
// range. Its answers are checked only not to fail otherwise.
TEST(VariantConversion, LongDigitStringsAndNotANumber) {
    Value exact(OLESTR("9007199254740993.000000000000000000000000000000000000001"));
    Value result;
    ASSERT_EQ(Convert(&exact, VT_R8, result), S_OK);
    if (!UnderWine()) {
        EXPECT_EQ(result.dblVal, 9007199254740994.0) << "nearer than 9007199254740992";
    }
    Value huge(OleString(400, OLESTR('9')).c_str());
    EXPECT_EQ(Convert(&huge, VT_R8, result), UnderWine() ? S_OK : DISP_E_OVERFLOW);
    EXPECT_EQ(Convert(&huge, VT_I4, result), DISP_E_OVERFLOW);
    Value notANumber(VT_R8);
    notANumber.dblVal = std::nan("");
    EXPECT_EQ(Convert(&notANumber, VT_I4, result), UnderWine() ? S_OK : DISP_E_OVERFLOW);
}

TEST(VariantConversion, InPlaceAndFailures) {
    Value value(OLESTR("42"));
    ASSERT_EQ(VariantChangeType(&value, &value, 0, VT_I4), S_OK) << "the string is freed";
    EXPECT_EQ(value.lVal, 42);

    Value word(OLESTR("test"));
    BSTR original = word.bstrVal;
    EXPECT_EQ(VariantChangeType(&word, &word, 0, VT_INT), DISP_E_TYPEMISMATCH);
    EXPECT_EQ(word.bstrVal, original) << "a failed conversion leaves the variant alone";

    Value target(VT_INT);
    target.intVal = 4;
    EXPECT_EQ(VariantChangeType(&target, &word, 0, VT_INT), DISP_E_TYPEMISMATCH);
    EXPECT_EQ(target.vt, VT_INT);
    EXPECT_EQ(target.intVal, 4);

    Value text(OLESTR("3.5"));
    Value replaced(OLESTR("replaced"));
    ASSERT_EQ(VariantChangeType(&replaced, &text, 0, VT_R8), S_OK) << "the old string is freed";
    EXPECT_EQ(replaced.dblVal, 3.5);
    EXPECT_EQ(BstrText(text.bstrVal), OLESTR("3.5"));
}

TEST(VariantConversion, ReferencedSources) {
    LONG number = -7;
    Value source(VT_I4 | VT_BYREF);
    source.plVal = &number;
    Value result;
    ASSERT_EQ(Convert(&source, VT_BSTR, result), S_OK);
    EXPECT_EQ(BstrText(result.bstrVal), OLESTR("-7"));

    BSTR text = SysAllocString(OLESTR("2.5"));
    source.Become(VT_BSTR | VT_BYREF);
    source.pbstrVal = &text;
    ASSERT_EQ(Convert(&source, VT_BSTR, result), S_OK);
    EXPECT_NE(result.bstrVal, text) << "the string is copied, the reference left alone";
    ASSERT_EQ(VariantChangeType(&source, &source, 0, VT_I2), S_OK);
    EXPECT_EQ(source.iVal, 2);
    EXPECT_EQ(BstrText(text), OLESTR("2.5"));
    SysFreeString(text);

    Value inner(OLESTR("12"));
    Value outer(VT_VARIANT | VT_BYREF);
    outer.pvarVal = &inner;
    ASSERT_EQ(Convert(&outer, VT_I4, result), S_OK);
    EXPECT_EQ(result.lVal, 12);

    Value dangling(VT_VARIANT | VT_BYREF);
    EXPECT_EQ(Convert(&dangling, VT_I4, result), DISP_E_TYPEMISMATCH);
    dangling.Become(VT_I4 | VT_BYREF);
    EXPECT_EQ(Convert(&dangling, VT_BSTR, result), DISP_E_TYPEMISMATCH);
}

TEST(VariantConversion, ObjectsGiveTheirDefaultValue) {
    CountingObject object;
    object.value.vt = VT_I4;
    object.value.lVal = 42;
    Value source(VT_DISPATCH);
    source.pdispVal = &object;
    object.AddRef();
    Value result;
    ASSERT_EQ(Convert(&source, VT_BSTR, result), S_OK);
    EXPECT_EQ(BstrText(result.bstrVal), OLESTR("42"));
    EXPECT_EQ(object.invocations, 1);
    EXPECT_EQ(object.References(), 2u);

    EXPECT_EQ(Convert(&source, VT_I4, result, VARIANT_NOVALUEPROP), DISP_E_TYPEMISMATCH);
    EXPECT_EQ(object.invocations, 1);

    object.invokeResult = DISP_E_MEMBERNOTFOUND;
    EXPECT_EQ(Convert(&source, VT_I4, result), DISP_E_TYPEMISMATCH)
        << "an object without a default value does not convert, whatever its failure";

    object.invokeResult = S_OK;
    VariantClear(&object.value);
    object.value.vt = VT_UNKNOWN;
    object.value.punkVal = &object;
    object.AddRef();
    EXPECT_EQ(Convert(&source, VT_I4, result), DISP_E_TYPEMISMATCH) << "no second default value";
    EXPECT_EQ(object.References(), 3u);

    Value nothing(VT_DISPATCH);
    EXPECT_EQ(Convert(&nothing, VT_I4, result), DISP_E_BADVARTYPE) << "a null object";
    EXPECT_EQ(Convert(&nothing, VT_BSTR, result), DISP_E_BADVARTYPE);
}

TEST(VariantConversion, InterfacesBetweenEachOther) {
    CountingObject object;
    Value source(VT_UNKNOWN);
    source.punkVal = &object;
    object.AddRef();
    ASSERT_EQ(VariantChangeType(&source, &source, 0, VT_DISPATCH), S_OK);
    EXPECT_EQ(source.pdispVal, &object);
    EXPECT_EQ(object.References(), 2u) << "the reference moves, none is added";

    Value result;
    ASSERT_EQ(Convert(&source, VT_UNKNOWN, result), S_OK);
    EXPECT_EQ(object.References(), 3u);
    ASSERT_EQ(Convert(&source, VT_EMPTY, result), S_OK);
    EXPECT_EQ(object.References(), 2u);

    Value unknown(VT_UNKNOWN);
    unknown.punkVal = &object;
    object.AddRef();
    EXPECT_EQ(Convert(&unknown, VT_BSTR, result), DISP_E_TYPEMISMATCH);

    CountingObject plain(false);
    Value plainSource(VT_UNKNOWN);
    plainSource.punkVal = &plain;
    plain.AddRef();
    EXPECT_EQ(Convert(&plainSource, VT_DISPATCH, result), E_NOINTERFACE);
    EXPECT_EQ(plain.References(), 2u);

    Value none(VT_UNKNOWN);
    ASSERT_EQ(Convert(&none, VT_DISPATCH, result), S_OK);
    EXPECT_EQ(result.pdispVal, nullptr);
}

TEST(VariantConversion, ByteArraysAndStrings) {
    Value bytes(VT_ARRAY | VT_UI1);
    bytes.parray = SafeArrayCreateVector(VT_UI1, 0, 4);
    std::memcpy(bytes.parray->pvData, "Hell", 4);
    Value result;
    ASSERT_EQ(Convert(&bytes, VT_BSTR, result), S_OK);
    EXPECT_EQ(SysStringByteLen(result.bstrVal), 4u);
    EXPECT_EQ(std::memcmp(result.bstrVal, "Hell", 4), 0);

    Value back;
    ASSERT_EQ(Convert(&result, VT_ARRAY | VT_UI1, back), S_OK);
    LONG upper = 0;
    SafeArrayGetUBound(back.parray, 1, &upper);
    EXPECT_EQ(upper, 3);
    EXPECT_EQ(std::memcmp(back.parray->pvData, "Hell", 4), 0);

    EXPECT_EQ(Convert(&bytes, VT_ARRAY | VT_I1, result), DISP_E_TYPEMISMATCH);
    Value numbers(VT_ARRAY | VT_I4);
    numbers.parray = SafeArrayCreateVector(VT_I4, 0, 1);
    EXPECT_EQ(Convert(&numbers, VT_BSTR, result), DISP_E_TYPEMISMATCH);
}

} // namespace
