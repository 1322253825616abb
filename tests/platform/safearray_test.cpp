#include "platform/com.h"
#include "support/CountingObject.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

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
        EXPECT_EQ(SafeArrayDestroy(copy), S_OK);
        EXPECT_EQ(SafeArrayDestroy(array), S_OK);
    }

    SAFEARRAY* array = nullptr;
    ASSERT_EQ(SafeArrayAllocDescriptorEx(VT_BSTR, 1, &array), S_OK);
    EXPECT_EQ(reinterpret_cast<DWORD*>(array)[-1], DWORD{VT_BSTR});
    SafeArrayDestroyDescriptor(array);
    ASSERT_EQ(SafeArrayAllocDescriptorEx(VT_DISPATCH, 1, &array), S_OK);
    EXPECT_TRUE(IsEqualIID(reinterpret_cast<GUID*>(array)[-1], IID_IDispatch));
    VARTYPE vt = VT_EMPTY;
    EXPECT_EQ(SafeArrayGetVartype(array, &vt), S_OK);
    EXPECT_EQ(vt, VT_UNKNOWN) << "without FADF_DISPATCH an interface array reads as IUnknown";
    SafeArrayDestroyDescriptor(array);
    ASSERT_EQ(SafeArrayAllocDescriptor(1, &array), S_OK);
    EXPECT_EQ(SafeArrayGetVartype(array, &vt), E_INVALIDARG);
    SafeArrayDestroyDescriptor(array);
}

TEST(SafeArray, WhatCannotBeStoredOrCountedIsRefused) {
    SAFEARRAYBOUND bound = {1, 0};
    const VARTYPE unstorable[] = {VT_EMPTY, VT_NULL, 15, VT_VOID, VT_HRESULT, VT_LPSTR, 0xFFFF};
    for (VARTYPE vt : unstorable) {
        EXPECT_EQ(SafeArrayCreate(vt, 1, &bound), nullptr) << vt;
    }
    EXPECT_EQ(SafeArrayCreate(VT_I4, 1, nullptr), nullptr);
    EXPECT_EQ(SafeArrayCreate(VT_I4, 0, &bound), nullptr);
    SAFEARRAY* array = nullptr;
    EXPECT_EQ(SafeArrayAllocDescriptor(0, &array), E_INVALIDARG);
    EXPECT_EQ(SafeArrayAllocDescriptor(65536, &array), E_INVALIDARG);
    EXPECT_EQ(SafeArrayAllocDescriptorEx(VT_UI1, 1, nullptr), E_POINTER);

    // Element counts whose byte size wraps fail instead.
    SAFEARRAYBOUND cube[3] = {{0x10000000, 0}, {0x10000000, 0}, {0x10000000, 0}};
    EXPECT_EQ(SafeArrayCreate(VT_R8, 3, cube), nullptr);
    SAFEARRAYBOUND square[2] = {{0xFFFFFFFF, 0}, {0xFFFFFFFF, 0}};
    EXPECT_EQ(SafeArrayCreate(VT_VARIANT, 2, square), nullptr);
    ASSERT_EQ(SafeArrayAllocDescriptor(2, &array), S_OK);
    array->cbElements = 16;
    array->rgsabound[0] = {0x80000000, 0};
    array->rgsabound[1] = {0x80000000, 0};
    EXPECT_EQ(SafeArrayAllocData(array), E_OUTOFMEMORY);
    EXPECT_EQ(array->pvData, nullptr);
    EXPECT_EQ(SafeArrayDestroyDescriptor(array), S_OK);
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
    unsigned char* data = nullptr;
    ASSERT_EQ(SafeArrayAccessData(array, reinterpret_cast<void**>(&data)), S_OK);
    const struct {
        LONG indices[2];
        ptrdiff_t offset;
    } cases[] = {{{1, 23}, 0}, {{3, 23}, 8}, {{3, 24}, 176}, {{20, 23}, 76}};
    for (const auto& expected : cases) {
        LONG indices[2] = {expected.indices[0], expected.indices[1]};
        void* element = nullptr;
        ASSERT_EQ(SafeArrayPtrOfIndex(array, indices, &element), S_OK);
        EXPECT_EQ(static_cast<unsigned char*>(element) - data, expected.offset);
    }
    SafeArrayUnaccessData(array);
    for (const auto& indices : {std::pair<LONG, LONG>{0, 23}, {1, 22}, {43, 23}, {1, 25}}) {
        LONG copy[2] = {indices.first, indices.second};
        LONG value = 0;
        EXPECT_EQ(SafeArrayGetElement(array, copy, &value), DISP_E_BADINDEX);
        EXPECT_EQ(SafeArrayPutElement(array, copy, &value), DISP_E_BADINDEX);
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

TEST(SafeArray, ElementsComeBackWhereTheyWerePut) {
    SAFEARRAYBOUND bounds[4];
    int total = 1;
    for (int i = 0; i < 4; ++i) {
        bounds[i] = {static_cast<ULONG>(i * 3 + 1), i * 2 + 1};
        total *= i * 3 + 1;
    }
    SAFEARRAY* array = SafeArrayCreate(VT_INT, 4, bounds);
    LONG indices[4];
    auto indicesOf = [&](int n) {
        for (int i = 3; i >= 0; --i) {
            indices[i] = bounds[i].lLbound + n % static_cast<int>(bounds[i].cElements);
            n /= static_cast<int>(bounds[i].cElements);
        }
        return indices;
    };
    for (int n = 0; n < total; ++n) {
        ASSERT_EQ(SafeArrayPutElement(array, indicesOf(n), &n), S_OK);
    }
    for (int n = 0; n < total; ++n) {
        int stored = -1;
        ASSERT_EQ(SafeArrayGetElement(array, indicesOf(n), &stored), S_OK);
        EXPECT_EQ(stored, n);
    }
    SafeArrayDestroy(array);
}

TEST(SafeArray, ALockedArrayIsNotDestroyedAndLocksAreCountedUpToALimit) {
    SAFEARRAY* array = SafeArrayCreateVector(VT_BSTR, 0, 2);
    EXPECT_EQ(SafeArrayUnlock(array), E_UNEXPECTED);
    void* data = nullptr;
    ASSERT_EQ(SafeArrayAccessData(array, &data), S_OK);
    EXPECT_EQ(SafeArrayDestroy(array), DISP_E_ARRAYISLOCKED);
    EXPECT_EQ(SafeArrayDestroyData(array), DISP_E_ARRAYISLOCKED);
    EXPECT_EQ(SafeArrayDestroyDescriptor(array), DISP_E_ARRAYISLOCKED);
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
    EXPECT_EQ(BstrText(got), u"second");
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
    EXPECT_EQ(BstrText(element.bstrVal), u"inside");
    VariantClear(&element);
    EXPECT_EQ(SafeArrayDestroy(copy), S_OK);
}

} // namespace
