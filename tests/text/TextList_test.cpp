#include "text/GrowableArray.h"
#include "text/Text.h"
#include "text/TextList.h"
#include "text/TextPrinting.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using Ostrel::GrowableArray;
using Ostrel::ResolveVariant;
using Ostrel::Text;
using Ostrel::TextArrayFromVariant;
using Ostrel::VariantFromTextArray;

// A one-dimensional array of automation strings from `lower` on; a null entry stays null.
SAFEARRAY* StringArray(const std::vector<const char16_t*>& strings, LONG lower = 0) {
    SAFEARRAYBOUND bound = {static_cast<ULONG>(strings.size()), lower};
    SAFEARRAY* array = SafeArrayCreate(VT_BSTR, 1, &bound);
    for (size_t i = 0; i < strings.size(); ++i) {
        LONG index = lower + static_cast<LONG>(i);
        if (strings[i] != nullptr) {
            BSTR element = SysAllocString(strings[i]);
            EXPECT_EQ(SafeArrayPutElement(array, &index, element), S_OK);
            SysFreeString(element);
        }
    }
    return array;
}

// Owns one variant and clears it at the end of the test.
struct OwnedVariant {
    OwnedVariant() { VariantInit(&value); }
    explicit OwnedVariant(SAFEARRAY* array) : OwnedVariant() {
        value.vt = VT_ARRAY | VT_BSTR;
        value.parray = array;
    }
    ~OwnedVariant() { EXPECT_EQ(VariantClear(&value), S_OK); }
    VARIANT value;
};

VARIANT ReferenceTo(VARIANT* target) {
    VARIANT reference;
    VariantInit(&reference);
    reference.vt = VT_BYREF | VT_VARIANT;
    reference.pvarVal = target;
    return reference;
}

std::vector<std::string> Values(const GrowableArray<Text>& texts) {
    std::vector<std::string> values;
    for (const Text& text : texts) {
        values.emplace_back(text.c_str());
    }
    return values;
}

std::u16string Element(SAFEARRAY* array, LONG index) {
    BSTR element = nullptr;
    EXPECT_EQ(SafeArrayGetElement(array, &index, &element), S_OK);
    std::u16string text(element, SysStringLen(element));
    SysFreeString(element);
    return text;
}

TEST(TextList, StringArraysConvertInIndexOrderFromAnyLowerBound) {
    OwnedVariant held(StringArray({u"one", u"caf\u00e9", u"three"}, 1));
    GrowableArray<Text> texts;
    EXPECT_EQ(TextArrayFromVariant(held.value, texts), S_OK);
    EXPECT_EQ(Values(texts), (std::vector<std::string>{"one", "caf\xC3\xA9", "three"}));
    EXPECT_EQ(held.value.vt, VT_ARRAY | VT_BSTR) << "the caller's variant is left alone";

    OwnedVariant gaps(StringArray({nullptr, u"", u"x"}, -2));
    EXPECT_EQ(TextArrayFromVariant(gaps.value, texts), S_OK);
    EXPECT_EQ(Values(texts), (std::vector<std::string>{"", "", "x"}))
        << "null and empty strings become empty texts, and earlier contents are gone";

    SAFEARRAY* empty = SafeArrayCreateVector(VT_BSTR, 0, 0);
    OwnedVariant none(empty);
    EXPECT_EQ(TextArrayFromVariant(none.value, texts), S_OK);
    EXPECT_TRUE(texts.IsEmpty());

    EXPECT_EQ(held.value.parray->cLocks, 0u) << "the conversions left the array unlocked";
}

TEST(TextList, ReferencesToVariantsAndArraysResolveLikeTheArray) {
    OwnedVariant held(StringArray({u"a", u"b"}));
    SAFEARRAY* array = held.value.parray;

    VARIANT byReference;
    VariantInit(&byReference);
    byReference.vt = VT_BYREF | VT_ARRAY | VT_BSTR;
    byReference.pparray = &array;
    VARIANT outer = ReferenceTo(&byReference);
    VARIANT outermost = ReferenceTo(&outer);

    GrowableArray<Text> texts;
    EXPECT_EQ(TextArrayFromVariant(outermost, texts), S_OK);
    EXPECT_EQ(Values(texts), (std::vector<std::string>{"a", "b"}));

    VARIANT resolved = outermost;
    EXPECT_EQ(ResolveVariant(resolved), array);
    EXPECT_EQ(resolved.vt, VT_BYREF | VT_ARRAY | VT_BSTR) << "replaced in place";

    // Six references are followed; the seventh is not.
    std::vector<VARIANT> chain(8);
    chain[0] = held.value;
    for (size_t i = 1; i < chain.size(); ++i) {
        chain[i] = ReferenceTo(&chain[i - 1]);
    }
    VARIANT sixDeep = chain[6];
    EXPECT_EQ(ResolveVariant(sixDeep), array);
    VARIANT sevenDeep = chain[7];
    EXPECT_EQ(ResolveVariant(sevenDeep), nullptr);
    EXPECT_EQ(TextArrayFromVariant(chain[7], texts), E_INVALIDARG);

    VARIANT dangling = ReferenceTo(nullptr);
    EXPECT_EQ(ResolveVariant(dangling), nullptr);
    VARIANT nullArrayReference;
    VariantInit(&nullArrayReference);
    nullArrayReference.vt = VT_BYREF | VT_ARRAY | VT_BSTR;
    nullArrayReference.pparray = nullptr;
    EXPECT_EQ(ResolveVariant(nullArrayReference), nullptr);
}

TEST(TextList, AnythingButOneDimensionOfStringsIsRefusedWithAnEmptyTarget) {
    GrowableArray<Text> texts;
    auto refill = [&texts] {
        texts.Clear();
        texts.Append(Text("stale"));
    };

    SAFEARRAY* numbers = SafeArrayCreateVector(VT_I4, 0, 3);
    OwnedVariant integers;
    integers.value.vt = VT_ARRAY | VT_I4;
    integers.value.parray = numbers;
    refill();
    EXPECT_EQ(TextArrayFromVariant(integers.value, texts), E_INVALIDARG);
    EXPECT_TRUE(texts.IsEmpty());

    SAFEARRAYBOUND bounds[2] = {{2, 0}, {2, 0}};
    OwnedVariant square(SafeArrayCreate(VT_BSTR, 2, bounds));
    refill();
    EXPECT_EQ(TextArrayFromVariant(square.value, texts), E_INVALIDARG);
    EXPECT_TRUE(texts.IsEmpty());

    OwnedVariant single;
    single.value.vt = VT_BSTR;
    single.value.bstrVal = SysAllocString(u"not a list");
    refill();
    EXPECT_EQ(TextArrayFromVariant(single.value, texts), E_INVALIDARG);
    EXPECT_TRUE(texts.IsEmpty());

    // A variant that claims strings for an array of 64-bit integers: its values must not be
    // read as string pointers.
    SAFEARRAY* wide = SafeArrayCreateVector(VT_I8, 0, 2);
    VARIANT mislabelled;
    VariantInit(&mislabelled);
    mislabelled.vt = VT_ARRAY | VT_BSTR;
    mislabelled.parray = wide;
    refill();
    EXPECT_EQ(TextArrayFromVariant(mislabelled, texts), E_INVALIDARG);
    EXPECT_TRUE(texts.IsEmpty());
    EXPECT_EQ(SafeArrayDestroy(wide), S_OK);
}

TEST(TextList, AnArrayThatCannotBeReachedGivesTheCallsFailure) {
    OwnedVariant held(StringArray({u"a"}));
    SAFEARRAY* array = held.value.parray;
    // Hold every lock the array can take, so that reaching its data fails.
    LONG locks = 0;
    while (SafeArrayLock(array) == S_OK) {
        ++locks;
    }
    ASSERT_GT(locks, 0);
    GrowableArray<Text> texts;
    texts.Append(Text("stale"));
    const HRESULT refused = TextArrayFromVariant(held.value, texts);
    EXPECT_TRUE(FAILED(refused));
    EXPECT_TRUE(texts.IsEmpty());
    for (LONG i = 0; i < locks; ++i) {
        SafeArrayUnlock(array);
    }
}

TEST(TextList, TextArraysBecomeStringArraysFromIndexZero) {
    const Text texts[] = {Text("first"), Text(""), Text("caf\xC3\xA9")};
    OwnedVariant out;
    out.value.vt = VT_I4;
    EXPECT_EQ(VariantFromTextArray(texts, 3, &out.value), S_OK);
    ASSERT_EQ(out.value.vt, VT_ARRAY | VT_BSTR);
    SAFEARRAY* array = out.value.parray;
    EXPECT_EQ(SafeArrayGetDim(array), 1u);
    LONG lower = -1;
    LONG upper = -1;
    EXPECT_EQ(SafeArrayGetLBound(array, 1, &lower), S_OK);
    EXPECT_EQ(SafeArrayGetUBound(array, 1, &upper), S_OK);
    EXPECT_EQ(lower, 0);
    EXPECT_EQ(upper, 2);
    EXPECT_EQ(Element(array, 0), u"first");
    EXPECT_EQ(Element(array, 1), u"");
    EXPECT_EQ(Element(array, 2), u"caf\u00e9");

    GrowableArray<Text> back;
    EXPECT_EQ(TextArrayFromVariant(out.value, back), S_OK);
    EXPECT_EQ(Values(back), (std::vector<std::string>{"first", "", "caf\xC3\xA9"}));

    OwnedVariant empty;
    EXPECT_EQ(VariantFromTextArray(nullptr, 0, &empty.value), S_OK);
    ASSERT_EQ(empty.value.vt, VT_ARRAY | VT_BSTR);
    EXPECT_EQ(SafeArrayGetDim(empty.value.parray), 1u);
    EXPECT_EQ(SafeArrayGetUBound(empty.value.parray, 1, &upper), S_OK);
    EXPECT_EQ(upper, -1) << "an empty array, not a missing one";

    EXPECT_EQ(VariantFromTextArray(texts, 1, nullptr), E_INVALIDARG);
    OwnedVariant untouched;
    EXPECT_EQ(VariantFromTextArray(texts, -1, &untouched.value), E_INVALIDARG);
    EXPECT_EQ(VariantFromTextArray(nullptr, 2, &untouched.value), E_INVALIDARG);
    EXPECT_EQ(untouched.value.vt, VT_EMPTY);
}

} // namespace
