#include "text/TextList.h"

#include "text/FollowReferences.h"

#include <cstdint>
#include <new>

namespace Ostrel {

namespace {

constexpr VARTYPE kElementTypeMask = 0x0FFF;

VARTYPE ElementType(const VARIANT& variant) {
    return static_cast<VARTYPE>(variant.vt & kElementTypeMask);
}

// The variant's element type is the host's word only: an array whose own elements are not
// automation strings would have its values read as string pointers.
bool HoldsStrings(SAFEARRAY* array) {
    return (array->fFeatures & FADF_BSTR) != 0 && SafeArrayGetElemsize(array) == sizeof(BSTR);
}

HRESULT CopyStrings(const BSTR* strings, LONG count, GrowableArray<Text>& target) {
    try {
        target.Resize(count);
        for (LONG i = 0; i < count; ++i) {
            target[i] = strings[i];
        }
        return S_OK;
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    } catch (...) {
        return E_FAIL;
    }
}

HRESULT StoreStrings(const Text* texts, LONG count, BSTR* strings) {
    try {
        for (LONG i = 0; i < count; ++i) {
            strings[i] = texts[i].ToBSTR();
        }
        return S_OK;
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
}

} // namespace

SAFEARRAY* ResolveVariant(VARIANT& variant) {
    VARIANT* value = FollowReferences(&variant);
    if (value == nullptr) {
        return nullptr;
    }
    variant = *value;
    if ((variant.vt & VT_ARRAY) == 0) {
        return nullptr;
    }
    if ((variant.vt & VT_BYREF) != 0) {
        return variant.pparray == nullptr ? nullptr : *variant.pparray;
    }
    return variant.parray;
}

HRESULT TextArrayFromVariant(VARIANT variant, GrowableArray<Text>& target) {
    target.Clear();
    SAFEARRAY* array = ResolveVariant(variant);
    if (array == nullptr || SafeArrayGetDim(array) != 1 || ElementType(variant) != VT_BSTR ||
        !HoldsStrings(array)) {
        return E_INVALIDARG;
    }
    LONG lower = 0;
    LONG upper = 0;
    HRESULT result = SafeArrayGetLBound(array, 1, &lower);
    if (SUCCEEDED(result)) {
        result = SafeArrayGetUBound(array, 1, &upper);
    }
    if (FAILED(result)) {
        return result;
    }
    const int64_t count = int64_t{upper} - lower + 1;
    if (count < 0 || count > INT32_MAX) {
        return E_INVALIDARG;
    }
    void* data = nullptr;
    result = SafeArrayAccessData(array, &data);
    if (FAILED(result)) {
        return result;
    }
    const HRESULT copied =
        CopyStrings(static_cast<const BSTR*>(data), static_cast<LONG>(count), target);
    SafeArrayUnaccessData(array);
    if (FAILED(copied)) {
        target.Clear();
        return copied;
    }
    return result;
}

HRESULT VariantFromTextArray(const Text* texts, LONG count, VARIANT* result) {
    if (result == nullptr || count < 0 || (count > 0 && texts == nullptr)) {
        return E_INVALIDARG;
    }
    VariantInit(result);
    SAFEARRAY* array = SafeArrayCreateVector(VT_BSTR, 0, static_cast<ULONG>(count));
    if (array == nullptr) {
        return E_FAIL;
    }
    result->vt = VT_ARRAY | VT_BSTR;
    result->parray = array;
    void* data = nullptr;
    const HRESULT accessed = SafeArrayAccessData(array, &data);
    if (FAILED(accessed)) {
        return accessed;
    }
    const HRESULT stored = StoreStrings(texts, count, static_cast<BSTR*>(data));
    SafeArrayUnaccessData(array);
    if (FAILED(stored)) {
        // Frees the array with the strings stored so far.
        VariantClear(result);
        return stored;
    }
    return accessed;
}

} // namespace Ostrel
