#include "host/Arguments.h"
#include "support/TextTestSupport.h"
#include "text/GrowableArray.h"
#include "text/TextList.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace Ostrel::Testing {
namespace {

using Values = std::vector<std::string>;

// Texts make an array from lower bound 0 (none make an empty array, not a missing one), and come
// back in index order through up to six references to variants, from a host's array that starts
// elsewhere, comes by reference and holds a null string. Anything but one dimension of real
// strings is refused, the target emptied: seven references, other elements, two dimensions, a
// dangling reference, and a variant that claims strings over 64-bit integers, which must not be
// read as string pointers.
TEST(TextList, OneDimensionOfStringsRoundTripsAndAnythingElseIsRefused) {
    // Through the ANSI code page and back: UTF-8 on Linux, and under 1252 (Windows) both bytes
    // of the accent are characters of their own, so the bytes come back on both.
    const Text texts[] = {Text("first"), Text(""), Text("caf\xC3\xA9")};
    VARIANT out;
    ASSERT_EQ(VariantFromTextArray(texts, 3, &out), S_OK);
    EXPECT_EQ(out.parray->rgsabound[0].lLbound, 0);
    std::vector<VARIANT> chain(8, out);
    for (size_t i = 1; i < chain.size(); ++i) {
        chain[i] = ReferenceArgument(VT_VARIANT, &chain[i - 1]);
    }
    GrowableArray<Text> back;
    EXPECT_EQ(TextArrayFromVariant(chain[6], back), S_OK);
    EXPECT_EQ(Strings(back), (Values{"first", "", "caf\xC3\xA9"}));
    SAFEARRAY* array = out.parray;
    array->rgsabound[0].lLbound = -2;
    BSTR* strings = static_cast<BSTR*>(array->pvData);
    SysFreeString(strings[0]);
    strings[0] = nullptr;
    EXPECT_EQ(TextArrayFromVariant(ReferenceArgument(VT_ARRAY | VT_BSTR, &array), back), S_OK);
    EXPECT_EQ(Strings(back), (Values{"", "", "caf\xC3\xA9"}));

    SAFEARRAYBOUND bounds[2] = {{2, 0}, {2, 0}};
    VARIANT refused[5] = {chain[7]};
    refused[1].vt = VT_ARRAY | VT_I4;
    refused[1].parray = SafeArrayCreateVector(VT_I4, 0, 3);
    refused[2].vt = VT_ARRAY | VT_BSTR;
    refused[2].parray = SafeArrayCreate(VT_BSTR, 2, bounds);
    refused[3].vt = VT_ARRAY | VT_BSTR;
    refused[3].parray = SafeArrayCreateVector(VT_I8, 0, 2);
    refused[4] = ReferenceArgument(VT_VARIANT, nullptr);
    for (const VARIANT& variant : refused) {
        back.Append(Text("stale"));
        EXPECT_EQ(TextArrayFromVariant(variant, back), E_INVALIDARG);
        EXPECT_TRUE(back.IsEmpty());
    }
    refused[3].vt = VT_ARRAY | VT_I8;
    for (VARIANT* owned : {&out, &refused[1], &refused[2], &refused[3]}) {
        EXPECT_EQ(VariantClear(owned), S_OK) << "no array is left locked";
    }
    EXPECT_EQ(VariantFromTextArray(nullptr, 0, &out), S_OK);
    EXPECT_EQ(out.vt, VT_ARRAY | VT_BSTR);
    EXPECT_EQ(VariantClear(&out), S_OK);
}

} // namespace
} // namespace Ostrel::Testing
