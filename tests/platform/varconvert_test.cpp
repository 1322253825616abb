#include "platform/com.h"
#include "support/CountingObject.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <cstring>
#include <limits>
#include <string>

namespace {

using Ostrel::Testing::CountingObject;

constexpr VARTYPE unusedTag = 15;
constexpr VARTYPE clsidTag = 72;

std::string Narrow(const char16_t* text) {
    return std::string(text, text + std::char_traits<char16_t>::length(text));
}

// A variant that the test owns; it is cleared when the test is done with it.
struct Value : VARIANT {
    Value() { VariantInit(this); }
    explicit Value(VARTYPE type) { Become(type); }
    explicit Value(const char16_t* text) : Value(VT_BSTR) { bstrVal = SysAllocString(text); }
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

// An integer variant's value; unsigned 64-bit values come back as their bit pattern.
int64_t IntegerOf(const VARIANT& variant) {
    switch (variant.vt) {
    case VT_I1:
        return static_cast<signed char>(variant.cVal);
    case VT_UI1:
        return variant.bVal;
    case VT_I2:
        return variant.iVal;
    case VT_UI2:
        return variant.uiVal;
    case VT_I4:
    case VT_INT:
        return variant.lVal;
    case VT_UI4:
    case VT_UINT:
        return variant.ulVal;
    case VT_I8:
        return variant.llVal;
    case VT_UI8:
        return static_cast<int64_t>(variant.ullVal);
    case VT_BOOL:
        return variant.boolVal;
    default:
        ADD_FAILURE() << "not an integer: " << variant.vt;
        return 0;
    }
}

TEST(VariantConversion, TextToIntegers) {
    const HRESULT overflow = DISP_E_OVERFLOW;
    const HRESULT mismatch = DISP_E_TYPEMISMATCH;
    const struct {
        const char16_t* text;
        VARTYPE vt;
        HRESULT result;
        int64_t expected;
    } cases[] = {{u"12", VT_I4, S_OK, 12},
                 {u" 7 ", VT_I4, S_OK, 7},
                 {u"5-", VT_I4, S_OK, -5},
                 {u"(5)", VT_I4, S_OK, -5},
                 {u"$11", VT_I4, S_OK, 11},
                 {u"1e1", VT_I4, S_OK, 10},
                 {u"1,000", VT_I4, S_OK, 1000},
                 {u"1,00,0,,", VT_I4, S_OK, 1000},
                 {u"&O17", VT_I4, S_OK, 15},
                 {u"&HFFFF", VT_I2, S_OK, -1},
                 {u"&HFFFF", VT_I4, S_OK, 65535},
                 {u"&H10000", VT_I2, overflow, 0},
                 {u"2.5", VT_I4, S_OK, 2},
                 {u"3.5", VT_I4, S_OK, 4},
                 {u"-0.5", VT_UI1, S_OK, 0},
                 {u"-0.6", VT_UI1, overflow, 0},
                 {u"128", VT_I1, overflow, 0},
                 {u"32767.5", VT_I2, overflow, 0},
                 {u"-32768.5", VT_I2, S_OK, -32768},
                 {u"2147483647.5", VT_I4, overflow, 0},
                 {u"4294967295", VT_UI4, S_OK, 4294967295},
                 {u"-1", VT_UI4, overflow, 0},
                 {u"-9223372036854775808", VT_I8, S_OK, std::numeric_limits<int64_t>::min()},
                 {u"9223372036854775808", VT_I8, overflow, 0},
                 {u"18446744073709551615", VT_UI8, S_OK, -1},
                 {u"18446744073709551616", VT_UI8, overflow, 0},
                 {u"", VT_I4, mismatch, 0},
                 {u"12abc", VT_I4, mismatch, 0},
                 {u"1 000", VT_I4, mismatch, 0},
                 {u",1,000", VT_I4, mismatch, 0},
                 {u"0x10", VT_I4, mismatch, 0},
                 {u"&O128", VT_I4, mismatch, 0},
                 {u"-5-", VT_I4, mismatch, 0},
                 {u"(5", VT_I4, mismatch, 0}};
    for (const auto& c : cases) {
        SCOPED_TRACE(Narrow(c.text));
        Value source(c.text);
        Value result;
        ASSERT_EQ(Convert(&source, c.vt, result), c.result) << "to " << c.vt;
        if (c.result == S_OK) {
            EXPECT_EQ(result.vt, c.vt);
            EXPECT_EQ(IntegerOf(result), c.expected);
        } else {
            EXPECT_EQ(result.vt, VT_EMPTY);
        }
    }
}

TEST(VariantConversion, TextToReals) {
    const struct {
        const char16_t* text;
        VARTYPE vt;
        HRESULT result;
        double expected;
    } cases[] = {{u"3.5", VT_R8, S_OK, 3.5},
                 {u"1,000.25", VT_R8, S_OK, 1000.25},
                 {u"&HFF", VT_R8, S_OK, 255},
                 {u"1e309", VT_R8, DISP_E_OVERFLOW, 0},
                 {u"1e-400", VT_R8, S_OK, 0},
                 {u"9007199254740993", VT_R8, S_OK, 9007199254740992.0},
                 {u"9007199254740993.000000000000000000000000000000000000001", VT_R8, S_OK,
                  9007199254740994.0},
                 {u"3.4e38", VT_R4, S_OK, 3.4e38f},
                 {u"1e39", VT_R4, DISP_E_OVERFLOW, 0},
                 {u"0x1p3", VT_R8, DISP_E_TYPEMISMATCH, 0},
                 {u"1.5,", VT_R8, DISP_E_TYPEMISMATCH, 0}};
    for (const auto& c : cases) {
        Value source(c.text);
        Value result;
        ASSERT_EQ(Convert(&source, c.vt, result), c.result) << Narrow(c.text);
        if (c.result != S_OK) {
            continue;
        }
        if (c.vt == VT_R4) {
            EXPECT_EQ(result.fltVal, static_cast<float>(c.expected));
        } else {
            EXPECT_EQ(result.dblVal, c.expected);
        }
    }

    std::u16string digits(400, u'9');
    Value huge(digits.c_str());
    Value result;
    EXPECT_EQ(Convert(&huge, VT_R8, result), DISP_E_OVERFLOW);
    EXPECT_EQ(Convert(&huge, VT_I4, result), DISP_E_OVERFLOW);
    Value tiny((u"0." + std::u16string(500, u'0') + u"1").c_str());
    EXPECT_EQ(Convert(&tiny, VT_R8, result), S_OK);
    EXPECT_EQ(result.dblVal, 0.0);
    EXPECT_EQ(Convert(&tiny, VT_I4, result), S_OK);
    EXPECT_EQ(result.lVal, 0);
}

TEST(VariantConversion, RealsRoundHalfToEven) {
    struct Case {
        double value;
        VARTYPE vt;
        HRESULT result;
        int64_t expected;
    };
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double infinity = std::numeric_limits<double>::infinity();
    const Case cases[] = {
        {2.5, VT_I4, S_OK, 2},
        {3.5, VT_I4, S_OK, 4},
        {255.5, VT_UI1, DISP_E_OVERFLOW, 0},
        {32767.5, VT_I2, DISP_E_OVERFLOW, 0},
        {-32768.5, VT_I2, S_OK, -32768},
        {2147483647.5, VT_I4, DISP_E_OVERFLOW, 0},
        {-2147483648.5, VT_I4, S_OK, -2147483647 - 1},
        {9.3e18, VT_I8, DISP_E_OVERFLOW, 0},
        {1.8e19, VT_UI8, S_OK, static_cast<int64_t>(18000000000000000000u)},
        {nan, VT_I4, DISP_E_OVERFLOW, 0},
        {infinity, VT_I4, DISP_E_OVERFLOW, 0},
    };
    for (const Case& c : cases) {
        Value source(VT_R8);
        source.dblVal = c.value;
        Value result;
        ASSERT_EQ(Convert(&source, c.vt, result), c.result) << c.value << " to " << c.vt;
        if (c.result == S_OK) {
            EXPECT_EQ(IntegerOf(result), c.expected) << c.value;
        }
    }
}

TEST(VariantConversion, IntegersBetweenWidths) {
    struct Case {
        VARTYPE from;
        int64_t value;
        VARTYPE to;
        HRESULT result;
        int64_t expected;
    };
    const Case cases[] = {
        {VT_I4, 32768, VT_I2, DISP_E_OVERFLOW, 0},
        {VT_I4, -1, VT_UI2, DISP_E_OVERFLOW, 0},
        {VT_I8, -1, VT_UI8, DISP_E_OVERFLOW, 0},
        {VT_UI8, -1, VT_I8, DISP_E_OVERFLOW, 0},
        {VT_I8, 4294967296, VT_I4, DISP_E_OVERFLOW, 0},

        // OLE Automation keeps the bits between the two signednesses of one width.
        {VT_I1, -1, VT_UI1, S_OK, 255},
        {VT_I2, -1, VT_UI2, S_OK, 65535},
        {VT_I4, -1, VT_UI4, S_OK, 4294967295},
        {VT_UINT, 4294967295, VT_I4, S_OK, -1},
        {VT_INT, -2, VT_UINT, S_OK, 4294967294}};
    for (const Case& c : cases) {
        Value source(c.from);
        source.llVal = c.value;
        Value result;
        ASSERT_EQ(Convert(&source, c.to, result), c.result) << c.from << " to " << c.to;
        if (c.result == S_OK) {
            EXPECT_EQ(IntegerOf(result), c.expected) << c.from << " to " << c.to;
        }
    }
}

TEST(VariantConversion, Booleans) {
    Value truth(VT_BOOL);
    truth.boolVal = VARIANT_TRUE;
    Value result;
    const VARTYPE integers[] = {VT_I1, VT_UI1, VT_I2, VT_UI2, VT_I4, VT_UI4, VT_I8, VT_UI8};
    const int64_t wrapped[] = {-1, 255, -1, 65535, -1, 4294967295, -1, -1};
    for (size_t i = 0; i < sizeof integers / sizeof integers[0]; ++i) {
        ASSERT_EQ(Convert(&truth, integers[i], result), S_OK) << integers[i];
        EXPECT_EQ(IntegerOf(result), wrapped[i]) << "true keeps its bits";
    }

    const struct {
        VARIANT_BOOL value;
        USHORT flags;
        const char16_t* text;
    } texts[] = {
        {VARIANT_TRUE, 0, u"-1"},
        {1, 0, u"1"},
        {1, VARIANT_ALPHABOOL, u"True"},
        {VARIANT_FALSE, VARIANT_ALPHABOOL, u"False"},
        {VARIANT_TRUE, VARIANT_LOCALBOOL, u"True"},
    };
    for (const auto& c : texts) {
        truth.boolVal = c.value;
        ASSERT_EQ(Convert(&truth, VT_BSTR, result, c.flags), S_OK);
        EXPECT_EQ(BstrText(result.bstrVal), c.text);
    }

    const struct {
        double value;
        VARIANT_BOOL expected;
    } numbers[] = {{-0.0, VARIANT_FALSE},
                   {0.1, VARIANT_TRUE},
                   {std::numeric_limits<double>::quiet_NaN(), VARIANT_TRUE}};
    for (const auto& c : numbers) {
        Value number(VT_R8);
        number.dblVal = c.value;
        ASSERT_EQ(Convert(&number, VT_BOOL, result), S_OK);
        EXPECT_EQ(result.boolVal, c.expected) << c.value;
    }
}

TEST(VariantConversion, TextToBooleans) {
    const struct {
        const char16_t* text;
        HRESULT result;
        VARIANT_BOOL expected;
    } cases[] = {{u"True", S_OK, VARIANT_TRUE},       {u"tRUe", S_OK, VARIANT_TRUE},
                 {u"FALSE", S_OK, VARIANT_FALSE},     {u"#TRUE#", S_OK, VARIANT_TRUE},
                 {u"0.1", S_OK, VARIANT_TRUE},        {u"&H0", S_OK, VARIANT_FALSE},
                 {u"#True#", DISP_E_TYPEMISMATCH, 0}, {u"Yes", DISP_E_TYPEMISMATCH, 0},
                 {u"", DISP_E_TYPEMISMATCH, 0}};
    for (const auto& c : cases) {
        Value source(c.text);
        Value result;
        ASSERT_EQ(Convert(&source, VT_BOOL, result), c.result);
        if (c.result == S_OK) {
            EXPECT_EQ(result.boolVal, c.expected);
        }
    }
}

TEST(VariantConversion, NumbersToText) {
    struct Case {
        VARTYPE vt;
        double value;
        const char16_t* text;
    };
    const Case reals[] = {{VT_R8, 0.1, u"0.1"},
                          {VT_R8, 1e20, u"1E+20"},
                          {VT_R8, 1.5e-7, u"1.5E-07"},
                          {VT_R8, -0.0, u"0"},
                          {VT_R8, 1.0 / 3, u"0.333333333333333"},
                          {VT_R8, 123456789012345678.0, u"1.23456789012346E+17"},
                          {VT_R8, 999999999999999.0, u"999999999999999"},
                          {VT_R8, 1e15, u"1E+15"},
                          {VT_R8, 0.00001, u"1E-05"},
                          {VT_R4, 1.0 / 3, u"0.3333333"},
                          {VT_R4, 16777216, u"1.677722E+07"}};
    Value result;
    for (const Case& c : reals) {
        Value source(c.vt);
        if (c.vt == VT_R4) {
            source.fltVal = static_cast<float>(c.value);
        } else {
            source.dblVal = c.value;
        }
        ASSERT_EQ(Convert(&source, VT_BSTR, result), S_OK);
        EXPECT_EQ(BstrText(result.bstrVal), c.text);
    }

    struct IntegerText {
        VARTYPE vt;
        int64_t value;
        const char16_t* text;
    };
    const IntegerText integers[] = {
        {VT_I1, -128, u"-128"},
        {VT_UINT, 4294967295, u"4294967295"},
        {VT_I8, std::numeric_limits<int64_t>::min(), u"-9223372036854775808"},
        {VT_UI8, -1, u"18446744073709551615"}};
    for (const IntegerText& c : integers) {
        Value source(c.vt);
        source.llVal = c.value;
        ASSERT_EQ(Convert(&source, VT_BSTR, result), S_OK);
        EXPECT_EQ(BstrText(result.bstrVal), c.text);
    }
}

TEST(VariantConversion, EmptyNullAndErrorValues) {
    const VARTYPE plain[] = {VT_I1, VT_UI4, VT_UINT, VT_UI8, VT_R4, VT_R8, VT_BOOL, VT_BSTR};
    Value empty;
    Value null(VT_NULL);
    Value error(VT_ERROR);
    error.scode = E_FAIL;
    Value result;
    for (VARTYPE vt : plain) {
        ASSERT_EQ(Convert(&empty, vt, result), S_OK) << vt;
        EXPECT_EQ(result.vt, vt);
        if (vt == VT_BSTR) {
            ASSERT_NE(result.bstrVal, nullptr);
            EXPECT_EQ(SysStringLen(result.bstrVal), 0u);
        } else if (vt == VT_R4 || vt == VT_R8) {
            EXPECT_EQ(vt == VT_R4 ? result.fltVal : result.dblVal, 0.0);
        } else {
            EXPECT_EQ(IntegerOf(result), 0);
        }
        EXPECT_EQ(Convert(&null, vt, result), DISP_E_TYPEMISMATCH) << vt;
        EXPECT_EQ(Convert(&error, vt, result), DISP_E_TYPEMISMATCH) << vt;

        Value source(vt);
        if (vt == VT_BSTR) {
            source.bstrVal = SysAllocString(OLESTR("1"));
        }
        EXPECT_EQ(Convert(&source, VT_EMPTY, result), S_OK) << vt;
        EXPECT_EQ(result.vt, VT_EMPTY);
        EXPECT_EQ(Convert(&source, VT_NULL, result), S_OK) << vt;
        EXPECT_EQ(result.vt, VT_NULL);
        EXPECT_EQ(Convert(&source, VT_ERROR, result), DISP_E_TYPEMISMATCH) << vt;
        EXPECT_EQ(Convert(&source, VT_DISPATCH, result), DISP_E_TYPEMISMATCH) << vt;
        EXPECT_EQ(Convert(&source, VT_UNKNOWN, result), DISP_E_TYPEMISMATCH) << vt;
        EXPECT_EQ(Convert(&source, VT_VARIANT, result), DISP_E_TYPEMISMATCH) << vt;
    }
    EXPECT_EQ(Convert(&empty, VT_NULL, result), S_OK);
    EXPECT_EQ(Convert(&empty, VT_DISPATCH, result), DISP_E_TYPEMISMATCH);
    EXPECT_EQ(Convert(&empty, VT_ERROR, result), DISP_E_TYPEMISMATCH);
    EXPECT_EQ(Convert(&null, VT_NULL, result), S_OK);
    EXPECT_EQ(Convert(&null, VT_EMPTY, result), DISP_E_TYPEMISMATCH);
    EXPECT_EQ(Convert(&error, VT_EMPTY, result), DISP_E_TYPEMISMATCH);
    ASSERT_EQ(Convert(&error, VT_ERROR, result), S_OK);
    EXPECT_EQ(result.scode, E_FAIL);
}

TEST(VariantConversion, UnknownTypesAndReferenceTargets) {
    Value source(VT_I4);
    Value result;
    const VARTYPE invalid[] = {VT_VOID, VT_SAFEARRAY, unusedTag, clsidTag, VT_EMPTY | VT_ARRAY};
    for (VARTYPE vt : invalid) {
        EXPECT_EQ(Convert(&source, vt, result), DISP_E_BADVARTYPE) << vt;
    }
    EXPECT_EQ(Convert(&source, VT_I4 | VT_BYREF, result), DISP_E_TYPEMISMATCH);
    Value bad(VT_VOID);
    EXPECT_EQ(Convert(&bad, VT_I4, result), DISP_E_BADVARTYPE);
}

TEST(VariantConversion, InPlaceAndFailures) {
    Value value(u"42");
    ASSERT_EQ(VariantChangeType(&value, &value, 0, VT_I4), S_OK) << "the string is freed";
    EXPECT_EQ(value.vt, VT_I4);
    EXPECT_EQ(value.lVal, 42);
    ASSERT_EQ(VariantChangeType(&value, &value, 0, VT_BSTR), S_OK);
    EXPECT_EQ(BstrText(value.bstrVal), u"42");

    Value word(u"test");
    BSTR original = word.bstrVal;
    EXPECT_EQ(VariantChangeType(&word, &word, 0, VT_INT), DISP_E_TYPEMISMATCH);
    EXPECT_EQ(word.vt, VT_BSTR);
    EXPECT_EQ(word.bstrVal, original) << "a failed conversion leaves the variant alone";

    Value target(VT_INT);
    target.intVal = 4;
    EXPECT_EQ(VariantChangeType(&target, &word, 0, VT_INT), DISP_E_TYPEMISMATCH);
    EXPECT_EQ(target.vt, VT_INT);
    EXPECT_EQ(target.intVal, 4);

    Value text(u"3.5");
    Value replaced(u"replaced");
    ASSERT_EQ(VariantChangeType(&replaced, &text, 0, VT_R8), S_OK) << "the old string is freed";
    EXPECT_EQ(replaced.dblVal, 3.5);
    EXPECT_EQ(BstrText(text.bstrVal), u"3.5");
}

TEST(VariantConversion, ReferencedSources) {
    LONG number = -7;
    Value source(VT_I4 | VT_BYREF);
    source.plVal = &number;
    Value result;
    ASSERT_EQ(Convert(&source, VT_BSTR, result), S_OK);
    EXPECT_EQ(BstrText(result.bstrVal), u"-7");
    EXPECT_EQ(number, -7);

    BSTR text = SysAllocString(OLESTR("2.5"));
    source.Become(VT_BSTR | VT_BYREF);
    source.pbstrVal = &text;
    ASSERT_EQ(Convert(&source, VT_R8, result), S_OK);
    EXPECT_EQ(result.dblVal, 2.5);
    ASSERT_EQ(Convert(&source, VT_BSTR, result), S_OK);
    EXPECT_NE(result.bstrVal, text) << "the string is copied, the reference left alone";
    ASSERT_EQ(VariantChangeType(&source, &source, 0, VT_I2), S_OK);
    EXPECT_EQ(source.iVal, 2);
    EXPECT_EQ(BstrText(text), u"2.5");
    SysFreeString(text);

    Value inner(u"12");
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
    EXPECT_EQ(BstrText(result.bstrVal), u"42");
    EXPECT_EQ(object.invocations, 1);
    EXPECT_EQ(object.References(), 2u);

    EXPECT_EQ(Convert(&source, VT_I4, result, VARIANT_NOVALUEPROP), DISP_E_TYPEMISMATCH);
    EXPECT_EQ(object.invocations, 1);

    object.invokeResult = DISP_E_MEMBERNOTFOUND;
    EXPECT_EQ(Convert(&source, VT_I4, result), DISP_E_MEMBERNOTFOUND);

    object.invokeResult = S_OK;
    VariantClear(&object.value);
    object.value.vt = VT_UNKNOWN;
    object.value.punkVal = &object;
    object.AddRef();
    EXPECT_EQ(Convert(&source, VT_I4, result), DISP_E_TYPEMISMATCH) << "no second default value";
    EXPECT_EQ(object.References(), 3u);

    Value nothing(VT_DISPATCH);
    EXPECT_EQ(Convert(&nothing, VT_I4, result), DISP_E_TYPEMISMATCH);
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
    EXPECT_EQ(result.punkVal, &object);
    EXPECT_EQ(object.References(), 3u);
    ASSERT_EQ(Convert(&source, VT_EMPTY, result), S_OK);
    EXPECT_EQ(object.References(), 2u);

    Value unknown(VT_UNKNOWN);
    unknown.punkVal = &object;
    object.AddRef();
    EXPECT_EQ(Convert(&unknown, VT_BSTR, result), DISP_E_TYPEMISMATCH);
    EXPECT_EQ(Convert(&unknown, VT_I4, result), DISP_E_TYPEMISMATCH);

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
    ASSERT_EQ(Convert(&bytes, VT_ARRAY | VT_UI1, result), S_OK);
    EXPECT_NE(result.parray, bytes.parray);

    Value numbers(VT_ARRAY | VT_I4);
    numbers.parray = SafeArrayCreateVector(VT_I4, 0, 1);
    EXPECT_EQ(Convert(&numbers, VT_BSTR, result), DISP_E_TYPEMISMATCH);
    EXPECT_EQ(Convert(&numbers, VT_I4, result), DISP_E_TYPEMISMATCH);
}

// Numbers are read and written with "." and "," as in US English whatever the process locale;
// the test runs under a locale with a decimal comma where one is installed.
TEST(VariantConversion, TheProcessLocaleIsIgnored) {
    std::string previous = std::setlocale(LC_ALL, nullptr);
    const char* candidates[] = {"de_DE.UTF-8", "de_DE.utf8",  "fr_FR.UTF-8",
                                "nl_NL.UTF-8", "ru_RU.UTF-8", "C"};
    const char* chosen = nullptr;
    for (const char* candidate : candidates) {
        if (std::setlocale(LC_ALL, candidate) != nullptr) {
            chosen = candidate;
            break;
        }
    }
    SCOPED_TRACE(chosen);

    Value text(u"3.5");
    Value result;
    EXPECT_EQ(Convert(&text, VT_R8, result), S_OK);
    EXPECT_EQ(result.dblVal, 3.5);
    Value comma(u"3,5");
    EXPECT_EQ(Convert(&comma, VT_R8, result), S_OK);
    EXPECT_EQ(result.dblVal, 35.0) << "the comma separates thousands";

    Value number(VT_R8);
    number.dblVal = -1234.5;
    EXPECT_EQ(Convert(&number, VT_BSTR, result), S_OK);
    EXPECT_EQ(BstrText(result.bstrVal), u"-1234.5");
    number.dblVal = 2.5e-10;
    EXPECT_EQ(Convert(&number, VT_BSTR, result), S_OK);
    EXPECT_EQ(BstrText(result.bstrVal), u"2.5E-10");

    std::setlocale(LC_ALL, previous.c_str());
}
} // namespace
