#include "platform/com.h"
#include "support/CountingObject.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

using Ostrel::Testing::CountingObject;

VARIANT Holding(VARTYPE vt) {
    VARIANT variant;
    std::memset(&variant, 0, sizeof variant);
    variant.vt = vt;
    return variant;
}

TEST(Variant, ClearReleasesWhatTheVariantOwnsAndNothingElse) {
    CountingObject object;
    object.AddRef();
    VARIANT owned = Holding(VT_DISPATCH);
    owned.pdispVal = &object;
    EXPECT_EQ(VariantClear(&owned), S_OK);
    EXPECT_EQ(object.References(), 1u);
    VARIANT nothing = Holding(VT_UNKNOWN);
    EXPECT_EQ(VariantClear(&nothing), S_OK) << "a null interface is not released";

    IDispatch* held = &object;
    VARIANT reference = Holding(VT_DISPATCH | VT_BYREF);
    reference.ppdispVal = &held;
    EXPECT_EQ(VariantClear(&reference), S_OK);
    EXPECT_EQ(object.References(), 1u);
    BSTR text = SysAllocString(OLESTR("not owned"));
    VARIANT textReference = Holding(VT_BSTR | VT_BYREF);
    textReference.pbstrVal = &text;
    EXPECT_EQ(VariantClear(&textReference), S_OK);
    EXPECT_EQ(BstrText(text), OLESTR("not owned"));
    SysFreeString(text);
}

// A locked array is not destroyed, since whoever locked it still uses it; the variant lets go
// of it all the same and reports the lock. Unknown types are refused and kept.
TEST(Variant, ClearLeavesALockedArrayToItsLockerAndRefusesUnknownTypes) {
    SAFEARRAY* array = SafeArrayCreateVector(VT_I4, 0, 4);
    VARIANT variant = Holding(VT_ARRAY | VT_I4);
    variant.parray = array;
    ASSERT_EQ(SafeArrayLock(array), S_OK);
    EXPECT_EQ(VariantClear(&variant), DISP_E_ARRAYISLOCKED);
    EXPECT_EQ(variant.vt, VT_EMPTY);
    ASSERT_EQ(SafeArrayUnlock(array), S_OK);
    EXPECT_EQ(SafeArrayDestroy(array), S_OK) << "the array outlived the variant";

    const VARTYPE invalid[] = {15, VT_EMPTY | VT_BYREF, VT_NULL | VT_ARRAY, 0x0FFF};
    for (VARTYPE vt : invalid) {
        VARIANT unknown = Holding(vt);
        EXPECT_EQ(VariantClear(&unknown), DISP_E_BADVARTYPE) << vt;
        EXPECT_EQ(unknown.vt, vt);
    }
}

TEST(Variant, CopyMakesTheTargetAnOwnerOfItsOwn) {
    VARIANT source = Holding(VT_BSTR);
    source.bstrVal = SysAllocStringByteLen("odd", 3);
    VARIANT target = Holding(VT_BSTR);
    target.bstrVal = SysAllocString(OLESTR("replaced"));
    ASSERT_EQ(VariantCopy(&target, &source), S_OK);
    EXPECT_NE(target.bstrVal, source.bstrVal);
    EXPECT_EQ(SysStringByteLen(target.bstrVal), 3u) << "byte length survives";
    VariantClear(&source);
    VariantClear(&target);
    VARIANT null = Holding(VT_BSTR);
    ASSERT_EQ(VariantCopy(&target, &null), S_OK);
    ASSERT_NE(target.bstrVal, nullptr) << "a null string copies as an empty one";
    VariantClear(&target);

    CountingObject object;
    VARIANT unknown = Holding(VT_UNKNOWN);
    unknown.punkVal = &object;
    ASSERT_EQ(VariantCopy(&target, &unknown), S_OK);
    EXPECT_EQ(object.References(), 2u);
    VariantClear(&target);
    IUnknown* held = &object;
    VARIANT reference = Holding(VT_UNKNOWN | VT_BYREF);
    reference.ppunkVal = &held;
    ASSERT_EQ(VariantCopy(&target, &reference), S_OK);
    EXPECT_EQ(target.ppunkVal, &held) << "a reference copies as the pointer";
    EXPECT_EQ(object.References(), 1u);

    VARIANT array = Holding(VT_ARRAY | VT_BSTR);
    array.parray = SafeArrayCreateVector(VT_BSTR, 5, 1);
    LONG index = 5;
    BSTR element = SysAllocString(OLESTR("deep"));
    SafeArrayPutElement(array.parray, &index, element);
    SysFreeString(element);
    ASSERT_EQ(VariantCopy(&target, &array), S_OK);
    VariantClear(&array);
    ASSERT_EQ(SafeArrayGetElement(target.parray, &index, &element), S_OK);
    EXPECT_EQ(BstrText(element), OLESTR("deep"));
    SysFreeString(element);
    VariantClear(&target);

    // The systems nest DECIMAL's fields differently; their names are the same.
    VARIANT decimal;
    decimal.decVal.scale = 2;
    decimal.decVal.sign = 0x80;
    decimal.decVal.Hi32 = 7;
    decimal.decVal.Lo64 = 12345;
    decimal.vt = VT_DECIMAL;
    ASSERT_EQ(VariantCopy(&target, &decimal), S_OK);
    EXPECT_EQ(std::memcmp(&target, &decimal, sizeof decimal), 0);

    VARIANT badSource = Holding(VT_I4 | 0x1000);
    target = Holding(VT_EMPTY);
    EXPECT_EQ(VariantCopy(&target, &badSource), DISP_E_BADVARTYPE);
    EXPECT_EQ(target.vt, VT_EMPTY);
    VARIANT record = Holding(VT_RECORD);
    ASSERT_EQ(VariantCopy(&target, &record), S_OK) << "a record with neither type nor data";
    EXPECT_EQ(target.vt, VT_RECORD);
    EXPECT_EQ(VariantClear(&target), S_OK);
    record.pvRecord = &decimal;
    EXPECT_EQ(VariantCopy(&target, &record), E_INVALIDARG) << "data without the type to copy it";
}

TEST(Variant, CopyIndirectFollowsOneReference) {
    BSTR text = SysAllocString(OLESTR("pointee"));
    VARIANT source = Holding(VT_BSTR | VT_BYREF);
    source.pbstrVal = &text;
    VARIANT target = Holding(VT_EMPTY);
    ASSERT_EQ(VariantCopyInd(&target, &source), S_OK);
    EXPECT_NE(target.bstrVal, text);
    EXPECT_EQ(BstrText(target.bstrVal), OLESTR("pointee"));
    VariantClear(&target);
    SysFreeString(text);

    CountingObject object;
    IDispatch* held = &object;
    source = Holding(VT_DISPATCH | VT_BYREF);
    source.ppdispVal = &held;
    ASSERT_EQ(VariantCopyInd(&source, &source), S_OK) << "in place";
    EXPECT_EQ(source.vt, VT_DISPATCH);
    EXPECT_EQ(object.References(), 2u);
    VariantClear(&source);

    BYTE byte = 0x88;
    VARIANT inner = Holding(VT_UI1 | VT_BYREF);
    inner.pbVal = &byte;
    source = Holding(VT_VARIANT | VT_BYREF);
    source.pvarVal = &inner;
    ASSERT_EQ(VariantCopyInd(&target, &source), S_OK);
    EXPECT_EQ(target.vt, VT_UI1);
    EXPECT_EQ(target.bVal, 0x88);
    VARIANT innermost = Holding(VT_UI1);
    inner = Holding(VT_VARIANT | VT_BYREF);
    inner.pvarVal = &innermost;
    EXPECT_EQ(VariantCopyInd(&target, &source), E_INVALIDARG)
        << "a reference to a reference to a variant";
    VARIANT nothing = Holding(VT_EMPTY | VT_BYREF);
    nothing.byref = &byte;
    EXPECT_EQ(VariantCopyInd(&target, &nothing), E_INVALIDARG);
}

} // namespace
