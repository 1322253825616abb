#include "host/Arguments.h"
#include "support/TextTestSupport.h"
#include "text/GrowableArray.h"
#include "text/TextList.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using Ostrel::GrowableArray;
using Ostrel::ReferenceArgument;
using Ostrel::Text;
using Ostrel::TextArrayFromVariant;
using Ostrel::VariantFromTextArray;
using Ostrel::Testing::Strings;

using Values = std::vector<std::string>;

// Owns one variant and clears it at the end of the test; a cleared array must not be locked.
struct OwnedVariant {
    OwnedVariant() { VariantInit(&value); }
    ~OwnedVariant() { EXPECT_EQ(VariantClear(&value), S_OK); }
    VARIANT value;
};

TEST(TextList, TextsRoundTripThroughStringArraysInIndexOrder) {
    // Through the ANSI code page and back: UTF-8 on Linux, and under 1252 (Windows) both bytes
    // of the accent are characters of their own, so the bytes come back on both.
    const Text texts[] = {Text("first"), Text(""), Text("caf\xC3\xA9")};
    OwnedVariant out;
    ASSERT_EQ(VariantFromTextArray(texts, 3, &out.value), S_OK);
    LONG lower = -1;
    SafeArrayGetLBound(out.value.parray, 1, &lower);
    EXPECT_EQ(lower, 0);
    // Six references to variants are followed; the seventh is not.
    std::vector<VARIANT> chain(8, out.value);
    for (size_t i = 1; i < chain.size(); ++i) {
        chain[i] = ReferenceArgument(VT_VARIANT, &chain[i - 1]);
    }
    GrowableArray<Text> back;
    back.Append(Text("stale"));
    EXPECT_EQ(TextArrayFromVariant(chain[6], back), S_OK);
    EXPECT_EQ(Strings(back), (Values{"first", "", "caf\xC3\xA9"}));
    EXPECT_EQ(TextArrayFromVariant(chain[7], back), E_INVALIDARG);
    EXPECT_TRUE(back.IsEmpty());

    // A host's array may start elsewhere, come by reference and hold a null string.
    SAFEARRAY* array = out.value.parray;
    array->rgsabound[0].lLbound = -2;
    BSTR* strings = static_cast<BSTR*>(array->pvData);
    SysFreeString(strings[0]);
    strings[0] = nullptr;
    VARIANT byReference;
    VariantInit(&byReference);
    byReference.vt = VT_BYREF | VT_ARRAY | VT_BSTR;
    byReference.pparray = &array;
    EXPECT_EQ(TextArrayFromVariant(byReference, back), S_OK);
    EXPECT_EQ(Strings(back), (Values{"", "", "caf\xC3\xA9"}));

    OwnedVariant empty;
    EXPECT_EQ(VariantFromTextArray(nullptr, 0, &empty.value), S_OK);
    EXPECT_EQ(empty.value.vt, VT_ARRAY | VT_BSTR) << "an empty array, not a missing one";
}

TEST(TextList, AnythingButOneDimensionOfRealStringsIsRefusedWithAnEmptyTarget) {
    SAFEARRAYBOUND bounds[2] = {{2, 0}, {2, 0}};
    OwnedVariant integers;
    integers.value.vt = VT_ARRAY | VT_I4;
    integers.value.parray = SafeArrayCreateVector(VT_I4, 0, 3);
    OwnedVariant square;
    square.value.vt = VT_ARRAY | VT_BSTR;
    square.value.parray = SafeArrayCreate(VT_BSTR, 2, bounds);
    // Claims strings for 64-bit integers: its values must not be read as string pointers.
    OwnedVariant mislabelled;
    mislabelled.value.vt = VT_ARRAY | VT_I8;
    mislabelled.value.parray = SafeArrayCreateVector(VT_I8, 0, 2);
    VARIANT claimed = mislabelled.value;
    claimed.vt = VT_ARRAY | VT_BSTR;
    VARIANT dangling = ReferenceArgument(VT_VARIANT, nullptr);

    for (const VARIANT* refused : {&integers.value, &square.value, &claimed, &dangling}) {
        GrowableArray<Text> texts;
        texts.Append(Text("stale"));
        EXPECT_EQ(TextArrayFromVariant(*refused, texts), E_INVALIDARG);
        EXPECT_TRUE(texts.IsEmpty());
    }
}

} // namespace
