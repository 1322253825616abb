#include "platform/com.h"
#include "support/CountingObject.h"
#include "support/SystemFacts.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

using Ostrel::Testing::CountingObject;

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
    SAFEARRAYBOUND bound = {1, 0};
    for (const auto& expected : types) {
        SAFEARRAY* array = SafeArrayCreate(expected.vt, 1, &bound);
        SAFEARRAY* copy = nullptr;
        ASSERT_EQ(SafeArrayCopy(array, &copy), S_OK) << expected.vt;
        EXPECT_EQ(SafeArrayGetElemsize(copy), expected.size) << expected.vt;
        EXPECT_EQ(copy->fFeatures, expected.features) << expected.vt;
        VARTYPE vt = VT_EMPTY;
        EXPECT_EQ(SafeArrayGetVartype(copy, &vt), S_OK);
        EXPECT_EQ(vt, expected.vt);
        // The 16 bytes before the descriptor: the interface identifier, or the type at the end.
        if (expected.features & FADF_HAVEIID) {
            EXPECT_EQ(reinterpret_cast<GUID*>(copy)[-1],
                      expected.vt == VT_DISPATCH ? IID_IDispatch : IID_IUnknown);
        } else {
            EXPECT_EQ(reinterpret_cast<DWORD*>(copy)[-1], DWORD{expected.vt});
        }
        EXPECT_EQ(SafeArrayDestroy(copy), S_OK);
        EXPECT_EQ(SafeArrayDestroy(array), S_OK);
    }
}

TEST(SafeArray, WhatCannotBeStoredOrCountedIsRefused) {
    SAFEARRAYBOUND bound = {1, 0};
    const VARTYPE unstorable[] = {VT_EMPTY, VT_NULL, 15, VT_VOID, VT_HRESULT, VT_LPSTR, 0xFFFF};
    for (VARTYPE vt : unstorable) {
        EXPECT_EQ(SafeArrayCreate(vt, 1, &bound), nullptr) << vt;
    }
    EXPECT_EQ(SafeArrayCreate(VT_I4, 1, nullptr), nullptr);
    EXPECT_EQ(SafeArrayCreate(VT_I4, 0, &bound), nullptr);

    // Element counts whose byte size wraps fail instead. Wine multiplies the counts in 32 bits
    // unchecked and hands out an array whose data is smaller than its bounds, destroyed again
    // here untouched.
    SAFEARRAYBOUND cube[3] = {{0x10000000, 0}, {0x10000000, 0}, {0x10000000, 0}};
    SAFEARRAYBOUND square[2] = {{0xFFFFFFFF, 0}, {0xFFFFFFFF, 0}};
    for (SAFEARRAY* wrapped :
         {SafeArrayCreate(VT_R8, 3, cube), SafeArrayCreate(VT_VARIANT, 2, square)}) {
        EXPECT_EQ(wrapped != nullptr, UnderWine());
        SafeArrayDestroy(wrapped);
    }
}

TEST(SafeArray, BoundsAndIndicesWithTheFirstDimensionVaryingFastest) {
    SAFEARRAYBOUND bounds[2] = {{42, 1}, {2, 23}};
    SAFEARRAY* array = SafeArrayCreate(VT_I4, 2, bounds);
    LONG bound = 0;
    EXPECT_EQ(SafeArrayGetUBound(array, 1, &bound), S_OK);
    EXPECT_EQ(bound, 42);
    EXPECT_EQ(SafeArrayGetLBound(array, 2, &bound), S_OK);
    EXPECT_EQ(bound, 23);
    EXPECT_EQ(SafeArrayGetLBound(array, 0, &bound), DISP_E_BADINDEX);
    EXPECT_EQ(SafeArrayGetUBound(array, 3, &bound), DISP_E_BADINDEX);
    struct {
        LONG indices[2];
        LONG offset;
    } cases[] = {{{1, 23}, 0}, {{3, 23}, 8}, {{3, 24}, 176}, {{20, 23}, 76}};
    for (auto& expected : cases) {
        LONG marker = expected.offset + 1;
        ASSERT_EQ(SafeArrayPutElement(array, expected.indices, &marker), S_OK);
        EXPECT_EQ(static_cast<LONG*>(array->pvData)[expected.offset / 4], marker)
            << "the element's bytes at offset " << expected.offset;
    }
    LONG outside[][2] = {{0, 23}, {1, 22}, {43, 23}, {1, 25}};
    for (LONG* indices : outside) {
        LONG value = 0;
        EXPECT_EQ(SafeArrayGetElement(array, indices, &value), DISP_E_BADINDEX);
        EXPECT_EQ(SafeArrayPutElement(array, indices, &value), DISP_E_BADINDEX);
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

TEST(SafeArray, ALockedArrayIsNotDestroyedAndLocksAreCountedUpToALimit) {
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

TEST(SafeArray, StringInterfaceAndVariantElementsAreOwnedAndCopiedDeeply) {
    SAFEARRAY* strings = SafeArrayCreateVector(VT_BSTR, 1, 2);
    LONG index = 1;
    BSTR value = SysAllocString(OLESTR("first"));
    ASSERT_EQ(SafeArrayPutElement(strings, &index, value), S_OK);
    SysFreeString(value);
    value = SysAllocString(OLESTR("second"));
    ASSERT_EQ(SafeArrayPutElement(strings, &index, value), S_OK) << "the old string is freed";
    BSTR got = nullptr;
    ASSERT_EQ(SafeArrayGetElement(strings, &index, &got), S_OK);
    EXPECT_NE(got, value);
    EXPECT_EQ(BstrText(got), OLESTR("second"));
    SysFreeString(got);
    SysFreeString(value);
    index = 2;
    ASSERT_EQ(SafeArrayPutElement(strings, &index, nullptr), S_OK) << "a null string is a value";
    EXPECT_EQ(SafeArrayDestroy(strings), S_OK);

    CountingObject object;
    SAFEARRAY* objects = SafeArrayCreateVector(VT_UNKNOWN, 1, 2);
    index = 1;
    ASSERT_EQ(SafeArrayPutElement(objects, &index, static_cast<IUnknown*>(&object)), S_OK);
    SAFEARRAY* copy = nullptr;
    ASSERT_EQ(SafeArrayCopy(objects, &copy), S_OK);
    EXPECT_EQ(object.References(), 3u);
    ASSERT_EQ(SafeArrayPutElement(copy, &index, nullptr), S_OK);
    EXPECT_EQ(object.References(), 2u) << "replacing an element releases it";
    EXPECT_EQ(SafeArrayDestroy(copy), S_OK);
    EXPECT_EQ(SafeArrayDestroy(objects), S_OK);
    EXPECT_EQ(object.References(), 1u);

    SAFEARRAY* variants = SafeArrayCreateVector(VT_VARIANT, 0, 2);
    index = 0;
    VARIANT inside;
    inside.vt = VT_BSTR;
    inside.bstrVal = SysAllocString(OLESTR("inside"));
    ASSERT_EQ(SafeArrayPutElement(variants, &index, &inside), S_OK);
    VariantClear(&inside);
    ASSERT_EQ(SafeArrayCopy(variants, &copy), S_OK);
    EXPECT_EQ(SafeArrayDestroy(variants), S_OK);
    VARIANT element;
    element.vt = 0xDEAD;
    ASSERT_EQ(SafeArrayGetElement(copy, &index, &element), S_OK)
        << "the target is taken as uninitialised";
    EXPECT_EQ(BstrText(element.bstrVal), OLESTR("inside"));
    VariantClear(&element);
    EXPECT_EQ(SafeArrayDestroy(copy), S_OK);
}

} // namespace
