#include "platform/variant.h"

#include "platform/bstr.h"
#include "platform/interfaces.h"
#include "platform/safearray.h"
#include "platform/vartype.h"

#include <cstring>

// A variant owns what it holds by value: a string, a reference on an interface, a safe array.
// A by-reference variant owns nothing; it points at storage that belongs to someone else.
namespace {

using Ostrel::Platform::CopyString;
using Ostrel::Platform::IsCopyableVariantType;
using Ostrel::Platform::IsValidVariantType;
using Ostrel::Platform::SizeOfValue;

HRESULT ReleaseValue(VARIANT* variant) {
    if (variant->vt & VT_ARRAY) {
        return SafeArrayDestroy(variant->parray);
    }
    switch (variant->vt) {
    case VT_BSTR:
        SysFreeString(variant->bstrVal);
        break;
    case VT_UNKNOWN:
    case VT_DISPATCH:
        if (variant->punkVal != nullptr) {
            variant->punkVal->Release();
        }
        break;
    default:
        break;
    }
    return S_OK;
}

// Makes a shallow copy the owner of what it holds: a new string, a new reference, a new array.
HRESULT TakeOwnership(VARIANT* copy) {
    if (copy->vt & VT_ARRAY) {
        return SafeArrayCopy(copy->parray, &copy->parray);
    }
    switch (copy->vt) {
    case VT_BSTR:
        return CopyString(copy->bstrVal, copy->bstrVal);
    case VT_UNKNOWN:
    case VT_DISPATCH:
        if (copy->punkVal != nullptr) {
            copy->punkVal->AddRef();
        }
        return S_OK;
    default:
        return S_OK;
    }
}

// Reads the value a by-reference variant points at into a variant that owns a copy of it.
HRESULT Dereference(const VARIANT* source, VARIANT* value) {
    VARTYPE type = source->vt & ~VT_BYREF;
    VARTYPE base = type & VT_TYPEMASK;
    if (source->byref == nullptr) {
        return E_INVALIDARG;
    }
    if (type == VT_VARIANT) {
        const VARIANT* inner = source->pvarVal;
        if (inner->vt == (VT_VARIANT | VT_BYREF)) {
            return E_INVALIDARG;
        }
        return VariantCopyInd(value, inner);
    }
    if (type & VT_ARRAY) {
        value->vt = type;
        return SafeArrayCopy(*source->pparray, &value->parray);
    }
    if (base < VT_I2 || base > VT_UINT || SizeOfValue(base) == 0) {
        return E_INVALIDARG;
    }
    if (base == VT_DECIMAL) {
        value->decVal = *source->pdecVal;
        value->vt = VT_DECIMAL;
        return S_OK;
    }
    std::memcpy(&value->llVal, source->byref, SizeOfValue(base));
    value->vt = base;
    return TakeOwnership(value);
}

} // namespace

extern "C" void VariantInit(VARIANTARG* variant) {
    variant->vt = VT_EMPTY;
}

extern "C" HRESULT VariantClear(VARIANTARG* variant) {
    if (variant == nullptr) {
        return E_INVALIDARG;
    }
    if (!IsValidVariantType(variant->vt)) {
        return DISP_E_BADVARTYPE;
    }
    HRESULT result = S_OK;
    if ((variant->vt & VT_BYREF) == 0) {
        // A locked array is not destroyed, since its locker still uses it; as the system's does,
        // the variant lets go of it all the same and reports the lock.
        result = ReleaseValue(variant);
    }
    variant->vt = VT_EMPTY;
    return result;
}

extern "C" HRESULT VariantCopy(VARIANTARG* target, const VARIANTARG* source) {
    if (target == nullptr || source == nullptr) {
        return E_INVALIDARG;
    }
    if (!IsCopyableVariantType(source->vt)) {
        return DISP_E_BADVARTYPE;
    }
    if (target == source) {
        return S_OK;
    }
    // A record is copied by its type's IRecordInfo, which the layer does not provide; one with
    // neither type nor data is empty and copies as it is.
    if (source->vt == VT_RECORD && (source->pRecInfo != nullptr || source->pvRecord != nullptr)) {
        return source->pRecInfo == nullptr ? E_INVALIDARG : E_NOTIMPL;
    }
    HRESULT result = VariantClear(target);
    if (FAILED(result)) {
        return result;
    }
    VARIANT copy = *source;
    if ((copy.vt & VT_BYREF) == 0) {
        result = TakeOwnership(&copy);
        if (FAILED(result)) {
            return result;
        }
    }
    *target = copy;
    return S_OK;
}

extern "C" HRESULT VariantCopyInd(VARIANT* target, const VARIANTARG* source) {
    if (target == nullptr || source == nullptr) {
        return E_INVALIDARG;
    }
    if ((source->vt & VT_BYREF) == 0) {
        return VariantCopy(target, source);
    }
    if (!IsCopyableVariantType(source->vt)) {
        return E_INVALIDARG;
    }
    VARIANT value{};
    HRESULT result = Dereference(source, &value);
    if (FAILED(result)) {
        return result;
    }
    // A by-reference source owns nothing, so when it is also the target it needs no clearing.
    if (target != source) {
        result = VariantClear(target);
        if (FAILED(result)) {
            VariantClear(&value);
            return result;
        }
    }
    *target = value;
    return S_OK;
}
