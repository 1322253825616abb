// The memory that the layer hands out: safe arrays with their bounds, locks and owned elements,
// and the virtual memory regions that a large document is carved from.
#include "platform/com.h"
#include "support/CountingObject.h"
#include "support/SystemFacts.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

using Ostrel::Testing::CountingObject;

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
    EXPECT_EQ(SafeArrayGetElemsize(array), 4u);
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

// A locked array, or one whose data is accessed, is not destroyed, since whoever locked it still
// uses it: a variant that holds it lets go of it all the same and reports the lock. Locks count up
// to a limit.
TEST(SafeArray, ALockedArrayIsNotDestroyed) {
    SAFEARRAY* array = SafeArrayCreateVector(VT_BSTR, 0, 2);
    EXPECT_EQ(SafeArrayUnlock(array), E_UNEXPECTED);
    void* data = nullptr;
    ASSERT_EQ(SafeArrayAccessData(array, &data), S_OK);
    EXPECT_EQ(SafeArrayDestroy(array), DISP_E_ARRAYISLOCKED);
    VARIANT holder{};
    holder.vt = VT_ARRAY | VT_BSTR;
    holder.parray = array;
    EXPECT_EQ(VariantClear(&holder), DISP_E_ARRAYISLOCKED);
    EXPECT_EQ(holder.vt, VT_EMPTY);
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
// or destroyed, copied with the array, whose copy records the same element type. The element a
// variant is got into is taken as uninitialised. Arrays of strings are held by the tests of text
// lists.
TEST(SafeArray, ElementsAreOwnedAndCopiedWithTheArray) {
    CountingObject object;
    SAFEARRAY* objects = SafeArrayCreateVector(VT_UNKNOWN, 1, 2);
    LONG index = 1;
    ASSERT_EQ(SafeArrayPutElement(objects, &index, static_cast<IUnknown*>(&object)), S_OK);
    ASSERT_EQ(SafeArrayPutElement(objects, &index, static_cast<IUnknown*>(&object)), S_OK);
    SAFEARRAY* copy = nullptr;
    ASSERT_EQ(SafeArrayCopy(objects, &copy), S_OK);
    EXPECT_EQ(object.References(), 3u);
    VARTYPE vt = VT_EMPTY;
    EXPECT_EQ(SafeArrayGetVartype(copy, &vt), S_OK);
    EXPECT_EQ(vt, VT_UNKNOWN);
    EXPECT_EQ(copy->fFeatures, FADF_HAVEIID | FADF_UNKNOWN);
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
    EXPECT_EQ(copy->fFeatures, FADF_HAVEVARTYPE | FADF_VARIANT);
    EXPECT_EQ(SafeArrayDestroy(variants), S_OK);
    VariantClear(&element);
    element.vt = 0xDEAD;
    ASSERT_EQ(SafeArrayGetElement(copy, &index, &element), S_OK);
    EXPECT_EQ(BstrText(element.bstrVal), OLESTR("inside"));
    VariantClear(&element);
    EXPECT_EQ(SafeArrayDestroy(copy), S_OK);
}

// A region reads as zero and keeps what is written anywhere in it; it is released whole, from
// its start, once. An empty region is refused.
TEST(VirtualMemory, RegionsAreZeroedWritableAndReleasedWhole) {
    const SIZE_T size = (SIZE_T{2} << 20) + 1;
    auto* region = static_cast<unsigned char*>(
        VirtualAlloc(nullptr, size, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE));
    ASSERT_NE(region, nullptr);
    EXPECT_EQ(region[0] | region[size / 2] | region[size - 1], 0);
    std::memset(region, 0x5A, size);
    EXPECT_FALSE(VirtualFree(region, size, MEM_RELEASE)) << "a release names no size";
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    EXPECT_FALSE(VirtualFree(region + 4096, 0, MEM_RELEASE));
    EXPECT_EQ(region[size - 1], 0x5A);
    EXPECT_TRUE(VirtualFree(region, 0, MEM_RELEASE));
    EXPECT_FALSE(VirtualFree(region, 0, MEM_RELEASE));
    EXPECT_EQ(VirtualAlloc(nullptr, 0, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
}

} // namespace
