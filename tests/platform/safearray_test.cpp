#include "platform/com.h"
#include "platform/countingobject.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using Ostrel::Testing::CountingObject;

std::u16string Text(BSTR text) {
    return std::u16string(text, SysStringLen(text));
}

TEST(SafeArray, CreateDescribesEachElementType) {
    struct Expected {
        VARTYPE vt;
        UINT size;
        USHORT features;
    };
    const Expected types[] = {
        {VT_I1, 1, FADF_HAVEVARTYPE},
        {VT_UI1, 1, FADF_HAVEVARTYPE},
        {VT_I2, 2, FADF_HAVEVARTYPE},
        {VT_BOOL, 2, FADF_HAVEVARTYPE},
        {VT_I4, 4, FADF_HAVEVARTYPE},
        {VT_UINT, 4, FADF_HAVEVARTYPE},
        {VT_R4, 4, FADF_HAVEVARTYPE},
        {VT_ERROR, 4, FADF_HAVEVARTYPE},
        {VT_R8, 8, FADF_HAVEVARTYPE},
        {VT_CY, 8, FADF_HAVEVARTYPE},
        {VT_DATE, 8, FADF_HAVEVARTYPE},
        {VT_DECIMAL, sizeof(DECIMAL), FADF_HAVEVARTYPE},
        {VT_BSTR, sizeof(BSTR), FADF_HAVEVARTYPE | FADF_BSTR},
        {VT_VARIANT, sizeof(VARIANT), FADF_HAVEVARTYPE | FADF_VARIANT},
        {VT_UNKNOWN, sizeof(IUnknown*), FADF_HAVEIID | FADF_UNKNOWN},
        {VT_DISPATCH, sizeof(IDispatch*), FADF_HAVEIID | FADF_DISPATCH},
    };
    SAFEARRAYBOUND bound = {1, 0};
    for (const Expected& expected : types) {
        SAFEARRAY* array = SafeArrayCreate(expected.vt, 1, &bound);
        ASSERT_NE(array, nullptr) << expected.vt;
        EXPECT_EQ(SafeArrayGetElemsize(array), expected.size) << expected.vt;
        EXPECT_EQ(array->fFeatures, expected.features) << expected.vt;
        VARTYPE vt = VT_EMPTY;
        EXPECT_EQ(SafeArrayGetVartype(array, &vt), S_OK);
        EXPECT_EQ(vt, expected.vt);

        SAFEARRAY* copy = nullptr;
        ASSERT_EQ(SafeArrayCopy(array, &copy), S_OK);
        EXPECT_EQ(SafeArrayGetElemsize(copy), expected.size);
        EXPECT_EQ(copy->fFeatures, expected.features);
        EXPECT_EQ(SafeArrayGetVartype(copy, &vt), S_OK);
        EXPECT_EQ(vt, expected.vt);
        EXPECT_EQ(SafeArrayDestroy(copy), S_OK);
        EXPECT_EQ(SafeArrayDestroy(array), S_OK);
    }
}

TEST(SafeArray, CreateRefusesWhatCannotBeStored) {
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
}

TEST(SafeArray, HugeElementCountsFailInsteadOfWrapping) {
    SAFEARRAYBOUND bounds[3] = {{0x10000000, 0}, {0x10000000, 0}, {0x10000000, 0}};
    EXPECT_EQ(SafeArrayCreate(VT_R8, 3, bounds), nullptr);

    SAFEARRAYBOUND square[2] = {{0xFFFFFFFF, 0}, {0xFFFFFFFF, 0}};
    EXPECT_EQ(SafeArrayCreate(VT_VARIANT, 2, square), nullptr);

    SAFEARRAY* array = nullptr;
    ASSERT_EQ(SafeArrayAllocDescriptor(2, &array), S_OK);
    array->cbElements = 16;
    array->rgsabound[0] = {0x80000000, 0};
    array->rgsabound[1] = {0x80000000, 0};
    EXPECT_EQ(SafeArrayAllocData(array), E_OUTOFMEMORY);
    EXPECT_EQ(array->pvData, nullptr);
    EXPECT_EQ(SafeArrayDestroyDescriptor(array), S_OK);
}

TEST(SafeArray, BoundsAreReportedPerDimension) {
    SAFEARRAYBOUND bounds[2] = {{42, 1}, {2, 23}};
    SAFEARRAY* array = SafeArrayCreate(VT_I4, 2, bounds);
    ASSERT_NE(array, nullptr);
    EXPECT_EQ(SafeArrayGetDim(array), 2u);
    LONG bound = 0;
    EXPECT_EQ(SafeArrayGetLBound(array, 1, &bound), S_OK);
    EXPECT_EQ(bound, 1);
    EXPECT_EQ(SafeArrayGetUBound(array, 1, &bound), S_OK);
    EXPECT_EQ(bound, 42);
    EXPECT_EQ(SafeArrayGetLBound(array, 2, &bound), S_OK);
    EXPECT_EQ(bound, 23);
    EXPECT_EQ(SafeArrayGetUBound(array, 2, &bound), S_OK);
    EXPECT_EQ(bound, 24);
    EXPECT_EQ(SafeArrayGetLBound(array, 0, &bound), DISP_E_BADINDEX);
    EXPECT_EQ(SafeArrayGetUBound(array, 3, &bound), DISP_E_BADINDEX);
    SafeArrayDestroy(array);

    SAFEARRAY* empty = SafeArrayCreateVector(VT_I4, 42, 0);
    ASSERT_NE(empty, nullptr);
    EXPECT_EQ(SafeArrayGetLBound(empty, 1, &bound), S_OK);
    EXPECT_EQ(bound, 42);
    EXPECT_EQ(SafeArrayGetUBound(empty, 1, &bound), S_OK);
    EXPECT_EQ(bound, 41);
    void* data = nullptr;
    EXPECT_EQ(SafeArrayAccessData(empty, &data), S_OK);
    EXPECT_EQ(SafeArrayUnaccessData(empty), S_OK);
    SafeArrayDestroy(empty);
}

TEST(SafeArray, TheFirstDimensionVariesFastest) {
    SAFEARRAYBOUND bounds[2] = {{42, 1}, {2, 23}};
    SAFEARRAY* array = SafeArrayCreate(VT_I4, 2, bounds);
    unsigned char* data = nullptr;
    ASSERT_EQ(SafeArrayAccessData(array, reinterpret_cast<void**>(&data)), S_OK);
    struct Expected {
        LONG indices[2];
        ptrdiff_t offset;
    };
    const Expected cases[] = {{{1, 23}, 0}, {{3, 23}, 8}, {{3, 24}, 176}, {{20, 23}, 76}};
    for (const Expected& expected : cases) {
        LONG indices[2] = {expected.indices[0], expected.indices[1]};
        void* element = nullptr;
        ASSERT_EQ(SafeArrayPtrOfIndex(array, indices, &element), S_OK);
        EXPECT_EQ(static_cast<unsigned char*>(element) - data, expected.offset);
    }
    SafeArrayUnaccessData(array);

    const LONG outside[][2] = {{0, 23}, {1, 22}, {43, 23}, {1, 25}};
    for (const auto& indices : outside) {
        LONG copy[2] = {indices[0], indices[1]};
        LONG value = 0;
        EXPECT_EQ(SafeArrayGetElement(array, copy, &value), DISP_E_BADINDEX);
        EXPECT_EQ(SafeArrayPutElement(array, copy, &value), DISP_E_BADINDEX);
    }
    SafeArrayDestroy(array);
}

TEST(SafeArray, ElementsComeBackWhereTheyWerePut) {
    SAFEARRAYBOUND bounds[4];
    for (int i = 0; i < 4; ++i) {
        bounds[i] = {static_cast<ULONG>(i * 3 + 1), i * 2 + 1};
    }
    SAFEARRAY* array = SafeArrayCreate(VT_INT, 4, bounds);
    ASSERT_NE(array, nullptr);
    LONG indices[4];
    int value = 0;
    auto everyIndex = [&](auto visit) {
        for (ULONG a = 0; a < bounds[0].cElements; ++a) {
            for (ULONG b = 0; b < bounds[1].cElements; ++b) {
                for (ULONG c = 0; c < bounds[2].cElements; ++c) {
                    for (ULONG d = 0; d < bounds[3].cElements; ++d) {
                        indices[0] = bounds[0].lLbound + static_cast<LONG>(a);
                        indices[1] = bounds[1].lLbound + static_cast<LONG>(b);
                        indices[2] = bounds[2].lLbound + static_cast<LONG>(c);
                        indices[3] = bounds[3].lLbound + static_cast<LONG>(d);
                        visit();
                    }
                }
            }
        }
    };
    everyIndex([&] {
        ASSERT_EQ(SafeArrayPutElement(array, indices, &value), S_OK);
        ++value;
    });
    value = 0;
    everyIndex([&] {
        int stored = -1;
        ASSERT_EQ(SafeArrayGetElement(array, indices, &stored), S_OK);
        EXPECT_EQ(stored, value++);
    });
    EXPECT_EQ(SafeArrayGetElement(nullptr, indices, &value), E_INVALIDARG);
    EXPECT_EQ(SafeArrayGetElement(array, nullptr, &value), E_INVALIDARG);
    EXPECT_EQ(SafeArrayGetElement(array, indices, nullptr), E_INVALIDARG);
    EXPECT_EQ(SafeArrayPutElement(array, nullptr, &value), E_INVALIDARG);
    SafeArrayDestroy(array);
}

TEST(SafeArray, ALockedArrayIsNotDestroyed) {
    SAFEARRAY* array = SafeArrayCreateVector(VT_BSTR, 0, 2);
    void* data = nullptr;
    ASSERT_EQ(SafeArrayAccessData(array, &data), S_OK);
    EXPECT_EQ(data, array->pvData);
    EXPECT_EQ(SafeArrayDestroy(array), DISP_E_ARRAYISLOCKED);
    EXPECT_EQ(SafeArrayDestroyData(array), DISP_E_ARRAYISLOCKED);
    EXPECT_EQ(SafeArrayDestroyDescriptor(array), DISP_E_ARRAYISLOCKED);
    EXPECT_EQ(array->pvData, data);
    EXPECT_EQ(SafeArrayUnaccessData(array), S_OK);
    EXPECT_EQ(SafeArrayDestroy(array), S_OK);
    EXPECT_EQ(SafeArrayDestroy(nullptr), S_OK);
}

TEST(SafeArray, LocksAreCountedUpToALimit) {
    EXPECT_EQ(SafeArrayLock(nullptr), E_INVALIDARG);
    EXPECT_EQ(SafeArrayUnlock(nullptr), E_INVALIDARG);
    SAFEARRAY* array = SafeArrayCreateVector(VT_UI1, 0, 100);
    EXPECT_EQ(SafeArrayUnlock(array), E_UNEXPECTED);
    int locks = 0;
    while (SafeArrayLock(array) == S_OK) {
        ++locks;
    }
    EXPECT_EQ(locks, 65535);
    while (SafeArrayUnlock(array) == S_OK) {
        --locks;
    }
    EXPECT_EQ(locks, 0);
    EXPECT_EQ(SafeArrayDestroy(array), S_OK);
}

TEST(SafeArray, StringElementsAreCopiedInAndOut) {
    SAFEARRAY* array = SafeArrayCreateVector(VT_BSTR, 1, 2);
    LONG index = 1;
    BSTR value = SysAllocString(OLESTR("first"));
    ASSERT_EQ(SafeArrayPutElement(array, &index, value), S_OK);
    SysFreeString(value);
    value = SysAllocString(OLESTR("second"));
    ASSERT_EQ(SafeArrayPutElement(array, &index, value), S_OK) << "the old string is freed";
    BSTR got = nullptr;
    ASSERT_EQ(SafeArrayGetElement(array, &index, &got), S_OK);
    EXPECT_NE(got, value);
    EXPECT_EQ(Text(got), u"second");
    SysFreeString(got);
    SysFreeString(value);

    index = 2;
    ASSERT_EQ(SafeArrayPutElement(array, &index, nullptr), S_OK) << "a null string is a value";
    ASSERT_EQ(SafeArrayGetElement(array, &index, &got), S_OK);
    EXPECT_EQ(got, nullptr);
    EXPECT_EQ(SafeArrayDestroy(array), S_OK);
}

TEST(SafeArray, InterfaceElementsHoldReferences) {
    CountingObject object;
    SAFEARRAY* array = SafeArrayCreateVector(VT_UNKNOWN, 1, 2);
    LONG index = 1;
    ASSERT_EQ(SafeArrayPutElement(array, &index, static_cast<IUnknown*>(&object)), S_OK);
    EXPECT_EQ(object.references, 2u);
    IUnknown* got = nullptr;
    ASSERT_EQ(SafeArrayGetElement(array, &index, &got), S_OK);
    EXPECT_EQ(got, &object);
    EXPECT_EQ(object.references, 3u);
    got->Release();

    SAFEARRAY* copy = nullptr;
    ASSERT_EQ(SafeArrayCopy(array, &copy), S_OK);
    EXPECT_EQ(object.references, 3u);
    ASSERT_EQ(SafeArrayPutElement(copy, &index, nullptr), S_OK);
    EXPECT_EQ(object.references, 2u) << "replacing an element releases it";
    EXPECT_EQ(SafeArrayDestroy(copy), S_OK);
    EXPECT_EQ(SafeArrayDestroy(array), S_OK);
    EXPECT_EQ(object.references, 1u);
}

TEST(SafeArray, VariantElementsAreDeepCopies) {
    SAFEARRAY* array = SafeArrayCreateVector(VT_VARIANT, 0, 2);
    LONG index = 0;
    VARIANT value;
    value.vt = VT_BSTR;
    value.bstrVal = SysAllocString(OLESTR("inside"));
    ASSERT_EQ(SafeArrayPutElement(array, &index, &value), S_OK);
    VariantClear(&value);

    VARIANT got;
    got.vt = 0xDEAD;
    ASSERT_EQ(SafeArrayGetElement(array, &index, &got), S_OK)
        << "the target is taken as uninitialised";
    EXPECT_EQ(got.vt, VT_BSTR);
    EXPECT_EQ(Text(got.bstrVal), u"inside");
    VariantClear(&got);

    SAFEARRAY* copy = nullptr;
    ASSERT_EQ(SafeArrayCopy(array, &copy), S_OK);
    EXPECT_EQ(SafeArrayDestroy(array), S_OK);
    ASSERT_EQ(SafeArrayGetElement(copy, &index, &got), S_OK);
    EXPECT_EQ(Text(got.bstrVal), u"inside");
    VariantClear(&got);
    EXPECT_EQ(SafeArrayDestroy(copy), S_OK);
}

TEST(SafeArray, CopyOfPlainDataAndOfNothing) {
    SAFEARRAY* array = SafeArrayCreateVector(VT_I2, -3, 4);
    for (LONG i = -3; i <= 0; ++i) {
        SHORT value = static_cast<SHORT>(i * 100);
        SafeArrayPutElement(array, &i, &value);
    }
    SAFEARRAY* copy = nullptr;
    ASSERT_EQ(SafeArrayCopy(array, &copy), S_OK);
    EXPECT_NE(copy->pvData, array->pvData);
    LONG bound = 0;
    SafeArrayGetLBound(copy, 1, &bound);
    EXPECT_EQ(bound, -3);
    for (LONG i = -3; i <= 0; ++i) {
        SHORT value = 0;
        SafeArrayGetElement(copy, &i, &value);
        EXPECT_EQ(value, i * 100);
    }
    SafeArrayDestroy(copy);
    SafeArrayDestroy(array);

    copy = reinterpret_cast<SAFEARRAY*>(0x1);
    EXPECT_EQ(SafeArrayCopy(nullptr, &copy), S_OK);
    EXPECT_EQ(copy, nullptr);

    SAFEARRAY* sizeless = nullptr;
    SafeArrayAllocDescriptor(1, &sizeless);
    copy = reinterpret_cast<SAFEARRAY*>(0x1);
    EXPECT_EQ(SafeArrayCopy(sizeless, &copy), E_INVALIDARG);
    EXPECT_EQ(copy, nullptr);
    SafeArrayDestroy(sizeless);
}

TEST(SafeArray, DescriptorsRecordTheirElementType) {
    SAFEARRAY* array = nullptr;
    ASSERT_EQ(SafeArrayAllocDescriptorEx(VT_BSTR, 1, &array), S_OK);
    EXPECT_EQ(array->fFeatures, FADF_HAVEVARTYPE);
    EXPECT_EQ(array->cbElements, sizeof(BSTR));
    EXPECT_EQ(reinterpret_cast<DWORD*>(array)[-1], DWORD{VT_BSTR});
    SafeArrayDestroyDescriptor(array);

    ASSERT_EQ(SafeArrayAllocDescriptorEx(VT_DISPATCH, 1, &array), S_OK);
    EXPECT_EQ(array->fFeatures, FADF_HAVEIID);
    EXPECT_TRUE(IsEqualIID(reinterpret_cast<GUID*>(array)[-1], IID_IDispatch));
    VARTYPE vt = VT_EMPTY;
    EXPECT_EQ(SafeArrayGetVartype(array, &vt), S_OK);
    EXPECT_EQ(vt, VT_UNKNOWN) << "without FADF_DISPATCH an interface array reads as IUnknown";
    SafeArrayDestroyDescriptor(array);

    ASSERT_EQ(SafeArrayAllocDescriptor(1, &array), S_OK);
    EXPECT_EQ(SafeArrayGetVartype(array, &vt), E_INVALIDARG);
    SafeArrayDestroyDescriptor(array);
}

} // namespace
