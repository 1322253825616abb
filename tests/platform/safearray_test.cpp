#include "platform/com.h"
#include "support/CountingObject.h"
#include "support/SystemFacts.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

namespace {

using Ostrel::Testing::CountingObject;

// An array and its copy record their element type, size and features.
TEST(SafeArray, DescriptorsRecordTheirElementType) {
    const struct {
        VARTYPE vt;
        UINT size;
        USHORT features;
    } types[] = {
        {VT_I2, 2, FADF_HAVEVARTYPE},
        {VT_DECIMAL, sizeof(DECIMAL), FADF_HAVEVARTYPE},
        {VT_BSTR, sizeof(BSTR), FADF_HAVEVARTYPE | FADF_BSTR},
        {VT_VARIANT, sizeof(VARIANT), FADF_HAVEVARTYPE | FADF_VARIANT},
        {VT_UNKNOWN, sizeof(IUnknown*), FADF_HAVEIID | FADF_UNKNOWN},
        {VT_DISPATCH, sizeof(IDispatch*), FADF_HAVEIID | FADF_DISPATCH},
    };
    for (const auto& expected : types) {
        SAFEARRAY* array = SafeArrayCreateVector(expected.vt, 0, 1);
        SAFEARRAY* copy = nullptr;
        ASSERT_EQ(SafeArrayCopy(array, &copy), S_OK) << expected.vt;
        EXPECT_EQ(SafeArrayGetElemsize(copy), expected.size) << expected.vt;
        EXPECT_EQ(copy->fFeatures, expected.features) << expected.vt;
        VARTYPE vt = VT_EMPTY;
        EXPECT_EQ(SafeArrayGetVartype(copy, &vt), S_OK);
        EXPECT_EQ(vt, expected.vt);
        EXPECT_EQ(SafeArrayDestroy(copy), S_OK);
        EXPECT_EQ(SafeArrayDestroy(array), S_OK);
    }
}

// Element counts whose byte size wraps are refused. Wine multiplies the counts in 32 bits
// unchecked and hands out an array whose data is smaller than its bounds, destroyed again here
// untouched.
TEST(SafeArray, WhatCannotBeStoredOrCountedIsRefused) {
    SAFEARRAYBOUND bound = {1, 0};
    const VARTYPE unstorable[] = {VT_EMPTY, VT_NULL, 15, VT_VOID, VT_HRESULT, VT_LPSTR, 0xFFFF};
    for (VARTYPE vt : unstorable) {
        EXPECT_EQ(SafeArrayCreate(vt, 1, &bound), nullptr) << vt;
    }
    EXPECT_EQ(SafeArrayCreate(VT_I4, 1, nullptr), nullptr);
    EXPECT_EQ(SafeArrayCreate(VT_I4, 0, &bound), nullptr);
    SAFEARRAYBOUND cube[3] = {{0x10000000, 0}, {0x10000000, 0}, {0x10000000, 0}};
    SAFEARRAYBOUND square[2] = {{0xFFFFFFFF, 0}, {0xFFFFFFFF, 0}};
    for (SAFEARRAY* wrapped :
         {SafeArrayCreate(VT_R8, 3, cube), SafeArrayCreate(VT_VARIANT, 2, square)}) {
        EXPECT_EQ(wrapped != nullptr, UnderWine());
        SafeArrayDestroy(wrapped);
    }
}

// The first dimension varies fastest; indices outside the bounds reach nothing.
TEST(SafeArray, BoundsAndIndices) {
    SAFEARRAYBOUND bounds[2] = {{42, 1}, {2, 23}};
    SAFEARRAY* array = SafeArrayCreate(VT_I4, 2, bounds);
    LONG bound = 0;
    EXPECT_EQ(SafeArrayGetDim(array), 2u);
    EXPECT_EQ(SafeArrayGetUBound(array, 1, &bound), S_OK);
    EXPECT_EQ(bound, 42);
    EXPECT_EQ(SafeArrayGetLBound(array, 2, &bound), S_OK);
    EXPECT_EQ(bound, 23);
    EXPECT_EQ(SafeArrayGetLBound(array, 0, &bound), DISP_E_BADINDEX);
    EXPECT_EQ(SafeArrayGetUBound(array, 3, &bound), DISP_E_BADINDEX);
    // Two indices and the place of their element in the data, counted from 1.
    LONG indices[][3] = {{1, 23, 1}, {3, 23, 3}, {3, 24, 45}, {20, 23, 20}};
    for (LONG* index : indices) {
        ASSERT_EQ(SafeArrayPutElement(array, index, &index[2]), S_OK);
        EXPECT_EQ(static_cast<LONG*>(array->pvData)[index[2] - 1], index[2]);
    }
    LONG outside[][2] = {{0, 23}, {1, 22}, {43, 23}, {1, 25}};
    for (LONG* index : outside) {
        EXPECT_EQ(SafeArrayGetElement(array, index, &bound), DISP_E_BADINDEX);
        EXPECT_EQ(SafeArrayPutElement(array, index, &bound), DISP_E_BADINDEX);
    }
    SafeArrayDestroy(array);

    SAFEARRAY* empty = SafeArrayCreateVector(VT_I4, 42, 0);
    EXPECT_EQ(SafeArrayGetUBound(empty, 1, &bound), S_OK);
    EXPECT_EQ(bound, 41);
    void* nothing = nullptr;
    EXPECT_EQ(SafeArrayAccessData(empty, &nothing), S_OK);
    EXPECT_EQ(SafeArrayUnaccessData(empty), S_OK);
    SafeArrayDestroy(empty);
}

// A locked array, or one whose data is accessed, is not destroyed; locks count up to a limit.
TEST(SafeArray, ALockedArrayIsNotDestroyed) {
    SAFEARRAY* array = SafeArrayCreateVector(VT_BSTR, 0, 2);
    EXPECT_EQ(SafeArrayUnlock(array), E_UNEXPECTED);
    void* data = nullptr;
    ASSERT_EQ(SafeArrayAccessData(array, &data), S_OK);
    EXPECT_EQ(SafeArrayDestroy(array), DISP_E_ARRAYISLOCKED);
    EXPECT_EQ(array->pvData, data);
    int locks = 1;
    while (SafeArrayLock(array) == S_OK) {
        ++locks;
    }
    EXPECT_EQ(locks, 65535);
    while (SafeArrayUnlock(array) == S_OK) {
        --locks;
    }
    EXPECT_EQ(locks, 0);
    EXPECT_EQ(SafeArrayDestroy(array), S_OK);
    EXPECT_EQ(SafeArrayDestroy(nullptr), S_OK);
    EXPECT_EQ(SafeArrayLock(nullptr), E_INVALIDARG);
}

// Interfaces and variants are owned by their array: copied in and out, released when replaced
// or destroyed, copied with the array. The element a variant is got into is taken as
// uninitialised. Arrays of strings are held by the tests of text lists.
TEST(SafeArray, ElementsAreOwnedAndCopiedWithTheArray) {
    CountingObject object;
    SAFEARRAY* objects = SafeArrayCreateVector(VT_UNKNOWN, 1, 2);
    LONG index = 1;
    ASSERT_EQ(SafeArrayPutElement(objects, &index, static_cast<IUnknown*>(&object)), S_OK);
    ASSERT_EQ(SafeArrayPutElement(objects, &index, static_cast<IUnknown*>(&object)), S_OK);
    SAFEARRAY* copy = nullptr;
    ASSERT_EQ(SafeArrayCopy(objects, &copy), S_OK);
    EXPECT_EQ(object.References(), 3u);
    ASSERT_EQ(SafeArrayPutElement(copy, &index, nullptr), S_OK);
    EXPECT_EQ(object.References(), 2u);
    EXPECT_EQ(SafeArrayDestroy(objects), S_OK);
    EXPECT_EQ(object.References(), 1u);
    EXPECT_EQ(SafeArrayDestroy(copy), S_OK);

    SAFEARRAY* variants = SafeArrayCreateVector(VT_VARIANT, 1, 2);
    VARIANT element{};
    element.vt = VT_BSTR;
    element.bstrVal = SysAllocString(OLESTR("inside"));
    ASSERT_EQ(SafeArrayPutElement(variants, &index, &element), S_OK);
    ASSERT_EQ(SafeArrayCopy(variants, &copy), S_OK);
    EXPECT_EQ(SafeArrayDestroy(variants), S_OK);
    VariantClear(&element);
    element.vt = 0xDEAD;
    ASSERT_EQ(SafeArrayGetElement(copy, &index, &element), S_OK);
    EXPECT_EQ(BstrText(element.bstrVal), OLESTR("inside"));
    VariantClear(&element);
    EXPECT_EQ(SafeArrayDestroy(copy), S_OK);
}

} // namespace
