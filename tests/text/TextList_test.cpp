#include "support/TextTestSupport.h"
#include "text/GrowableArray.h"
#include "text/TextList.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using Ostrel::GrowableArray;
using Ostrel::ResolveVariant;
using Ostrel::Text;
using Ostrel::TextArrayFromVariant;
using Ostrel::VariantFromTextArray;

// Owns one variant, optionally an array of automation strings from `lower` on (a null entry
// stays null), and clears it at the end of the test.
struct OwnedVariant {
    OwnedVariant() { VariantInit(&value); }
    explicit OwnedVariant(const std::vector<const char16_t*>& strings, LONG lower = 0)
        : OwnedVariant() {
        SAFEARRAYBOUND bound = {static_cast<ULONG>(strings.size()), lower};
        value.vt = VT_ARRAY | VT_BSTR;
        value.parray = SafeArrayCreate(VT_BSTR, 1, &bound);
        for (LONG i = 0; i < static_cast<LONG>(strings.size()); ++i) {
            if (strings[i] != nullptr) {
                LONG index = lower + i;
                BSTR element = SysAllocString(strings[i]);
                EXPECT_EQ(SafeArrayPutElement(value.parray, &index, element), S_OK);
                SysFreeString(element);
            }
        }
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

TEST(TextList, StringArraysConvertInIndexOrderThroughReferences) {
    OwnedVariant held({u"one", nullptr, u"caf\u00e9"}, -2);
    GrowableArray<Text> texts;
    texts.Append(Text("stale"));
    EXPECT_EQ(TextArrayFromVariant(held.value, texts), S_OK);
    EXPECT_EQ(Values(texts), (std::vector<std::string>{"one", "", "caf\xC3\xA9"}));
    EXPECT_EQ(held.value.parray->cLocks, 0u) << "left unlocked";

    SAFEARRAY* array = held.value.parray;
    VARIANT byReference;
    VariantInit(&byReference);
    byReference.vt = VT_BYREF | VT_ARRAY | VT_BSTR;
    byReference.pparray = &array;
    VARIANT outer = ReferenceTo(&byReference);
    EXPECT_EQ(TextArrayFromVariant(outer, texts), S_OK);
    EXPECT_EQ(texts.Count(), 3);

    // Six references are followed; the seventh is not.
    std::vector<VARIANT> chain(8);
    chain[0] = held.value;
    for (size_t i = 1; i < chain.size(); ++i) {
        chain[i] = ReferenceTo(&chain[i - 1]);
    }
    VARIANT sixDeep = chain[6];
    EXPECT_EQ(ResolveVariant(sixDeep), array);
    EXPECT_EQ(TextArrayFromVariant(chain[7], texts), E_INVALIDARG);
    VARIANT dangling = ReferenceTo(nullptr);
    EXPECT_EQ(ResolveVariant(dangling), nullptr);
}

TEST(TextList, AnythingButOneReachableDimensionOfStringsIsRefusedWithAnEmptyTarget) {
    SAFEARRAYBOUND bounds[2] = {{2, 0}, {2, 0}};
    OwnedVariant integers;
    integers.value.vt = VT_ARRAY | VT_I4;
    integers.value.parray = SafeArrayCreateVector(VT_I4, 0, 3);
    OwnedVariant square;
    square.value.vt = VT_ARRAY | VT_BSTR;
    square.value.parray = SafeArrayCreate(VT_BSTR, 2, bounds);
    // Claims strings for 64-bit integers: its values must not be read as string pointers.
    SAFEARRAY* wide = SafeArrayCreateVector(VT_I8, 0, 2);
    VARIANT mislabelled = integers.value;
    mislabelled.parray = wide;
    mislabelled.vt = VT_ARRAY | VT_BSTR;
    // Holds every lock the array can take, so that reaching its data fails.
    OwnedVariant locked({u"a"});
    LONG locks = 0;
    while (SafeArrayLock(locked.value.parray) == S_OK) {
        ++locks;
    }

    for (const VARIANT* refused : {&integers.value, &square.value, &mislabelled, &locked.value}) {
        GrowableArray<Text> texts;
        texts.Append(Text("stale"));
        EXPECT_TRUE(FAILED(TextArrayFromVariant(*refused, texts)));
        EXPECT_TRUE(texts.IsEmpty());
    }
    EXPECT_EQ(SafeArrayDestroy(wide), S_OK);
    for (LONG i = 0; i < locks; ++i) {
        SafeArrayUnlock(locked.value.parray);
    }
}

TEST(TextList, TextArraysBecomeStringArraysFromIndexZero) {
    const Text texts[] = {Text("first"), Text(""), Text("caf\xC3\xA9")};
    OwnedVariant out;
    EXPECT_EQ(VariantFromTextArray(texts, 3, &out.value), S_OK);
    ASSERT_EQ(out.value.vt, VT_ARRAY | VT_BSTR);
    LONG lower = -1;
    EXPECT_EQ(SafeArrayGetLBound(out.value.parray, 1, &lower), S_OK);
    EXPECT_EQ(lower, 0);
    GrowableArray<Text> back;
    EXPECT_EQ(TextArrayFromVariant(out.value, back), S_OK);
    EXPECT_EQ(Values(back), (std::vector<std::string>{"first", "", "caf\xC3\xA9"}));

    OwnedVariant empty;
    EXPECT_EQ(VariantFromTextArray(nullptr, 0, &empty.value), S_OK);
    LONG upper = 0;
    EXPECT_EQ(SafeArrayGetUBound(empty.value.parray, 1, &upper), S_OK);
    EXPECT_EQ(upper, -1) << "an empty array, not a missing one";
    OwnedVariant untouched;
    EXPECT_EQ(VariantFromTextArray(texts, -1, &untouched.value), E_INVALIDARG);
    EXPECT_EQ(untouched.value.vt, VT_EMPTY);
}

} // namespace
