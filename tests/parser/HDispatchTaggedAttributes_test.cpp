#include "ParserTestSupport.h"
#include "parser/HDispatchTaggedAttributes.h"
#include "server/CountedObject.h"
#include "utils_idl.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using Ostrel::HDispatchTaggedAttributes;
using Ostrel::LiveObjectCount;
using Ostrel::Testing::Bstr;
using Ostrel::Testing::ParserTest;
using Ostrel::Testing::TakeUtf8;
using Ostrel::Testing::Utf8;

// Holds the one reference of an attributes object made for the test.
struct Held {
    Held() : object(new HDispatchTaggedAttributes) { object->AddRef(); }
    ~Held() { object->Release(); }
    HDispatchTaggedAttributes* operator->() const { return object; }
    HDispatchTaggedAttributes* object;
};

// A variant owning a string array with lower bound 0.
VARIANT StringArray(const std::vector<std::string>& texts) {
    VARIANT variant;
    VariantInit(&variant);
    SAFEARRAY* array = SafeArrayCreateVector(VT_BSTR, 0, static_cast<ULONG>(texts.size()));
    for (LONG i = 0; i < static_cast<LONG>(texts.size()); ++i) {
        Bstr text(texts[static_cast<size_t>(i)]);
        EXPECT_EQ(SafeArrayPutElement(array, &i, static_cast<BSTR>(text)), S_OK);
    }
    variant.vt = VT_ARRAY | VT_BSTR;
    variant.parray = array;
    return variant;
}

std::vector<std::string> StringsOf(const VARIANT& variant) {
    std::vector<std::string> texts;
    EXPECT_EQ(variant.vt, VT_ARRAY | VT_BSTR);
    if (variant.vt != (VT_ARRAY | VT_BSTR)) {
        return texts;
    }
    EXPECT_EQ(SafeArrayGetDim(variant.parray), 1u);
    LONG lower = -1;
    LONG upper = -1;
    SafeArrayGetLBound(variant.parray, 1, &lower);
    SafeArrayGetUBound(variant.parray, 1, &upper);
    EXPECT_EQ(lower, 0);
    for (LONG i = lower; i <= upper; ++i) {
        BSTR text = nullptr;
        SafeArrayGetElement(variant.parray, &i, &text);
        texts.push_back(TakeUtf8(text));
    }
    return texts;
}

// "name=value;" for every pair, by index.
std::string Pairs(HDispatchTaggedAttributes* attributes) {
    LONG count = -1;
    EXPECT_EQ(attributes->GetCount(&count), S_OK);
    std::string pairs;
    for (LONG i = 0; i < count; ++i) {
        BSTR name = nullptr;
        BSTR value = nullptr;
        EXPECT_EQ(attributes->GetAttribute(i, &name, &value), S_OK);
        pairs += TakeUtf8(name) + "=" + TakeUtf8(value) + ";";
    }
    return pairs;
}

TEST_F(ParserTest, AttributesAreSortedWithoutCaseAndRefuseAnEqualName) {
    Held attributes;
    EXPECT_EQ(attributes->AddAttribute(Bstr("b"), Bstr("1")), S_OK);
    EXPECT_EQ(attributes->AddAttribute(Bstr("A"), Bstr("2")), S_OK);
    EXPECT_EQ(attributes->AddAttribute(Bstr("c"), Bstr("3")), S_OK);
    EXPECT_EQ(attributes->AddAttribute(Bstr("B"), Bstr("4")), E_FAIL);
    EXPECT_EQ(attributes->AddAttribute(nullptr, Bstr("empty name")), S_OK);
    EXPECT_EQ(attributes->AddAttribute(Bstr(""), Bstr("again")), E_FAIL);
    EXPECT_EQ(Pairs(attributes.object), "=empty name;A=2;b=1;c=3;");

    // Non-ASCII names and values travel through unchanged.
    EXPECT_EQ(attributes->AddAttribute(Bstr("z\xC3\xA9"), Bstr("\xE2\x82\xAC")), S_OK);
    BSTR value = nullptr;
    EXPECT_EQ(attributes->GetValue(Bstr("Z\xC3\xA9"), &value), S_OK);
    EXPECT_EQ(TakeUtf8(value), "\xE2\x82\xAC");
}

TEST_F(ParserTest, AttributeLookupsAnswerOnlyForWhatIsHeld) {
    Held attributes;
    LONG count = -1;
    EXPECT_EQ(attributes->GetCount(&count), S_OK);
    EXPECT_EQ(count, 0);
    EXPECT_EQ(attributes->GetCount(nullptr), E_FAIL);
    attributes->AddAttribute(Bstr("id"), Bstr("42"));
    attributes->AddAttribute(Bstr("name"), Bstr("n"));

    BSTR untouched = reinterpret_cast<BSTR>(0x1);
    EXPECT_EQ(attributes->GetValue(Bstr("missing"), &untouched), E_FAIL);
    EXPECT_EQ(untouched, reinterpret_cast<BSTR>(0x1));
    EXPECT_EQ(attributes->GetValue(Bstr("ID"), nullptr), S_OK);

    BSTR name = nullptr;
    BSTR value = nullptr;
    EXPECT_EQ(attributes->GetAttribute(0, &name, &value), S_OK);
    EXPECT_EQ(TakeUtf8(name), "id");
    EXPECT_EQ(TakeUtf8(value), "42");
    EXPECT_EQ(attributes->GetAttribute(1, nullptr, &value), S_OK);
    EXPECT_EQ(TakeUtf8(value), "n");
    EXPECT_EQ(attributes->GetAttribute(1, &name, nullptr), S_OK);
    EXPECT_EQ(TakeUtf8(name), "name");
    name = value = untouched;
    EXPECT_EQ(attributes->GetAttribute(2, &name, &value), E_FAIL);
    EXPECT_EQ(attributes->GetAttribute(-1, &name, &value), E_FAIL);
    EXPECT_EQ(name, untouched);
    EXPECT_EQ(value, untouched);
}

TEST_F(ParserTest, AddAttributesTakesEqualListsAndStopsAtTheFirstRefusal) {
    Held attributes;
    VARIANT names = StringArray({"x", "y"});
    VARIANT values = StringArray({"1", "2", "3"});
    EXPECT_EQ(attributes->AddAttributes(names, values), E_FAIL);
    EXPECT_EQ(Pairs(attributes.object), "");
    VariantClear(&values);

    VARIANT number;
    VariantInit(&number);
    number.vt = VT_I4;
    number.lVal = 5;
    VARIANT empty;
    VariantInit(&empty);
    EXPECT_EQ(attributes->AddAttributes(number, empty), S_OK);
    EXPECT_EQ(attributes->AddAttributes(names, number), E_FAIL);
    EXPECT_EQ(Pairs(attributes.object), "");

    values = StringArray({"1", "2"});
    EXPECT_EQ(attributes->AddAttributes(names, values), S_OK);
    EXPECT_EQ(Pairs(attributes.object), "x=1;y=2;");
    VariantClear(&names);
    VariantClear(&values);

    names = StringArray({"a", "X", "z"});
    values = StringArray({"first", "refused", "never"});
    EXPECT_EQ(attributes->AddAttributes(names, values), E_FAIL);
    EXPECT_EQ(Pairs(attributes.object), "a=first;x=1;y=2;");
    VariantClear(&names);
    VariantClear(&values);
}

TEST_F(ParserTest, GetAttributesAnswersBothColumnsInStorageOrder) {
    Held attributes;
    VARIANT names;
    VARIANT values;
    EXPECT_EQ(attributes->GetAttributes(&names, &values), S_OK);
    EXPECT_EQ(StringsOf(names), std::vector<std::string>());
    EXPECT_EQ(StringsOf(values), std::vector<std::string>());
    VariantClear(&names);
    VariantClear(&values);

    attributes->AddAttribute(Bstr("y"), Bstr("2"));
    attributes->AddAttribute(Bstr("x"), Bstr("1"));
    EXPECT_EQ(attributes->GetAttributes(&names, &values), S_OK);
    EXPECT_EQ(StringsOf(names), (std::vector<std::string>{"x", "y"}));
    EXPECT_EQ(StringsOf(values), (std::vector<std::string>{"1", "2"}));
    VariantClear(&names);
    VariantClear(&values);
    EXPECT_EQ(attributes->GetAttributes(nullptr, &values), E_FAIL);
    EXPECT_EQ(attributes->GetAttributes(&names, nullptr), E_FAIL);
}

TEST_F(ParserTest, AttributesObjectCountsItselfAndAnswersOnlyItsInterfaces) {
    const LONG before = LiveObjectCount();
    auto* attributes = new HDispatchTaggedAttributes;
    EXPECT_EQ(LiveObjectCount(), before + 1);
    void* found = nullptr;
    EXPECT_EQ(attributes->QueryInterface(IID_IDispatchTaggedAttributes, &found), S_OK);
    EXPECT_EQ(found, static_cast<IDispatchTaggedAttributes*>(attributes));
    EXPECT_EQ(attributes->QueryInterface(IID_IUnknown, &found), S_OK);
    EXPECT_EQ(found, static_cast<IDispatchTaggedAttributes*>(attributes));
    found = attributes;
    EXPECT_EQ(attributes->QueryInterface(IID_ISupportErrorInfo, &found), E_FAIL);
    EXPECT_EQ(found, nullptr);
    EXPECT_EQ(attributes->QueryInterface(IID_IDispatch, nullptr), E_FAIL);
    EXPECT_EQ(attributes->Release(), 1u);
    EXPECT_EQ(attributes->Release(), 0u);
    EXPECT_EQ(LiveObjectCount(), before);
}

DISPID IdOf(IDispatch* object, const char16_t* name) {
    LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
    DISPID id = DISPID_UNKNOWN;
    EXPECT_EQ(object->GetIDsOfNames(IID_NULL, names, 1, 0, &id), S_OK);
    return id;
}

// Calls a method by name; `arguments` in their natural order.
HRESULT CallByName(IDispatch* object, const char16_t* name, std::vector<VARIANT> arguments,
                   VARIANT* result) {
    std::vector<VARIANT> reversed(arguments.rbegin(), arguments.rend());
    DISPPARAMS params = {reversed.empty() ? nullptr : reversed.data(), nullptr,
                         static_cast<UINT>(reversed.size()), 0};
    return object->Invoke(IdOf(object, name), IID_NULL, 0, DISPATCH_METHOD, &params, result,
                          nullptr, nullptr);
}

VARIANT Value(BSTR text) {
    VARIANT variant;
    VariantInit(&variant);
    variant.vt = VT_BSTR;
    variant.bstrVal = text;
    return variant;
}

TEST_F(ParserTest, EveryAttributesOperationAnswersLateBinding) {
    Register("utils");
    Held attributes;
    IDispatch* object = attributes.object;
    VARIANT result;
    VariantInit(&result);

    Bstr name("b");
    Bstr value("2");
    EXPECT_EQ(CallByName(object, u"AddAttribute", {Value(name), Value(value)}, nullptr), S_OK);
    VARIANT names = StringArray({"a", "c"});
    VARIANT values = StringArray({"1", "3"});
    EXPECT_EQ(CallByName(object, u"addattributes", {names, values}, nullptr), S_OK);
    VariantClear(&names);
    VariantClear(&values);

    EXPECT_EQ(CallByName(object, u"GetCount", {}, &result), S_OK);
    EXPECT_EQ(result.vt, VT_I4);
    EXPECT_EQ(result.lVal, 3);

    Bstr key("C");
    EXPECT_EQ(CallByName(object, u"GetValue", {Value(key)}, &result), S_OK);
    ASSERT_EQ(result.vt, VT_BSTR);
    EXPECT_EQ(Utf8(result.bstrVal), "3");
    VariantClear(&result);

    VARIANT index;
    VariantInit(&index);
    index.vt = VT_I4;
    index.lVal = 1;
    BSTR outName = nullptr;
    VARIANT nameReference;
    VariantInit(&nameReference);
    nameReference.vt = VT_BYREF | VT_BSTR;
    nameReference.pbstrVal = &outName;
    EXPECT_EQ(CallByName(object, u"GetAttribute", {index, nameReference}, &result), S_OK);
    EXPECT_EQ(TakeUtf8(outName), "b");
    ASSERT_EQ(result.vt, VT_BSTR);
    EXPECT_EQ(Utf8(result.bstrVal), "2");
    VariantClear(&result);

    VARIANT outNames;
    VariantInit(&outNames);
    VARIANT namesReference;
    VariantInit(&namesReference);
    namesReference.vt = VT_BYREF | VT_VARIANT;
    namesReference.pvarVal = &outNames;
    EXPECT_EQ(CallByName(object, u"GetAttributes", {namesReference}, &result), S_OK);
    EXPECT_EQ(StringsOf(outNames), (std::vector<std::string>{"a", "b", "c"}));
    EXPECT_EQ(StringsOf(result), (std::vector<std::string>{"1", "2", "3"}));
    VariantClear(&outNames);
    VariantClear(&result);

    Bstr missing("missing");
    EXPECT_NE(CallByName(object, u"GetValue", {Value(missing)}, &result), S_OK);
    VariantClear(&result);
}

} // namespace
