#include "platform/safearray.h"

#include "platform/bstr.h"
#include "platform/vartype.h"

#include <cstdlib>
#include <cstring>

// A descriptor is preceded by 16 bytes, as OLE Automation lays it out: the interface identifier
// of an array of interfaces, or the element type in the last four bytes. Bounds are stored with
// the last dimension first, and the first dimension varies fastest in the data.
namespace {

using Ostrel::Platform::CopyString;
using Ostrel::Platform::SizeOfValue;

constexpr size_t headerSize = sizeof(GUID);
constexpr UINT largestDimensionCount = 65535;
constexpr ULONG largestLockCount = 65535;
constexpr USHORT ownedElementFeatures = FADF_BSTR | FADF_UNKNOWN | FADF_DISPATCH | FADF_VARIANT;

unsigned char* HeaderOf(SAFEARRAY* array) {
    return reinterpret_cast<unsigned char*>(array) - headerSize;
}

DWORD* StoredVartype(SAFEARRAY* array) {
    return reinterpret_cast<DWORD*>(reinterpret_cast<unsigned char*>(array) - sizeof(DWORD));
}

GUID* StoredInterface(SAFEARRAY* array) {
    return reinterpret_cast<GUID*>(HeaderOf(array));
}

bool IsLocked(const SAFEARRAY* array) {
    return __atomic_load_n(&array->cLocks, __ATOMIC_ACQUIRE);
}

USHORT OwnershipFeature(VARTYPE vt) {
    switch (vt) {
    case VT_BSTR:
        return FADF_BSTR;
    case VT_UNKNOWN:
        return FADF_UNKNOWN;
    case VT_DISPATCH:
        return FADF_DISPATCH;
    case VT_VARIANT:
        return FADF_VARIANT;
    default:
        return 0;
    }
}

// The number of elements, or false when it does not fit in the address space.
bool CountElements(const SAFEARRAY* array, size_t& count) {
    count = 1;
    for (USHORT i = 0; i < array->cDims; ++i) {
        if (__builtin_mul_overflow(count, array->rgsabound[i].cElements, &count)) {
            return false;
        }
    }
    return true;
}

bool MeasureData(const SAFEARRAY* array, size_t& bytes) {
    size_t count = 0;
    return CountElements(array, count) &&
           !__builtin_mul_overflow(count, size_t{array->cbElements}, &bytes);
}

void ReleaseElements(SAFEARRAY* array, size_t count) {
    if (array->fFeatures & FADF_BSTR) {
        auto* strings = static_cast<BSTR*>(array->pvData);
        for (size_t i = 0; i < count; ++i) {
            SysFreeString(strings[i]);
            strings[i] = nullptr;
        }
    } else if (array->fFeatures & (FADF_UNKNOWN | FADF_DISPATCH)) {
        auto* objects = static_cast<IUnknown**>(array->pvData);
        for (size_t i = 0; i < count; ++i) {
            if (objects[i] != nullptr) {
                objects[i]->Release();
                objects[i] = nullptr;
            }
        }
    } else if (array->fFeatures & FADF_VARIANT) {
        auto* variants = static_cast<VARIANT*>(array->pvData);
        for (size_t i = 0; i < count; ++i) {
            VariantClear(&variants[i]);
        }
    }
}

// Copies one element into zero-initialised or owned storage; the storage's old value is released.
HRESULT CopyElement(USHORT features, ULONG size, const void* source, void* target) {
    if (features & FADF_BSTR) {
        BSTR copy = nullptr;
        BSTR original = *static_cast<const BSTR*>(source);
        if (original != nullptr && FAILED(CopyString(original, copy))) {
            return E_OUTOFMEMORY;
        }
        SysFreeString(*static_cast<BSTR*>(target));
        *static_cast<BSTR*>(target) = copy;
    } else if (features & (FADF_UNKNOWN | FADF_DISPATCH)) {
        IUnknown* object = *static_cast<IUnknown* const*>(source);
        if (object != nullptr) {
            object->AddRef();
        }
        IUnknown* old = *static_cast<IUnknown**>(target);
        *static_cast<IUnknown**>(target) = object;
        if (old != nullptr) {
            old->Release();
        }
    } else if (features & FADF_VARIANT) {
        return VariantCopy(static_cast<VARIANT*>(target), static_cast<const VARIANT*>(source));
    } else {
        std::memmove(target, source, size);
    }
    return S_OK;
}

// A zeroed descriptor behind its zeroed header.
HRESULT AllocateDescriptor(UINT dimensions, SAFEARRAY*& array) {
    array = nullptr;
    if (dimensions == 0 || dimensions > largestDimensionCount) {
        return E_INVALIDARG;
    }
    size_t size = headerSize + sizeof(SAFEARRAY) + (dimensions - 1) * sizeof(SAFEARRAYBOUND);
    auto* block = static_cast<unsigned char*>(std::calloc(1, size));
    if (block == nullptr) {
        return E_OUTOFMEMORY;
    }
    array = reinterpret_cast<SAFEARRAY*>(block + headerSize);
    array->cDims = static_cast<USHORT>(dimensions);
    return S_OK;
}

// Zeroed data for the descriptor's bounds and element size; an empty array gets a byte, so that
// every array has data.
HRESULT AllocateData(SAFEARRAY* array) {
    size_t bytes = 0;
    if (!MeasureData(array, bytes)) {
        return E_OUTOFMEMORY;
    }
    array->pvData = std::calloc(1, bytes == 0 ? 1 : bytes);
    return array->pvData == nullptr ? E_OUTOFMEMORY : S_OK;
}

// The element size, and the element type in the header: the interface identifier of an array of
// interfaces, the type itself for every other array.
void RecordElementType(SAFEARRAY* array, VARTYPE vt) {
    array->cbElements = SizeOfValue(vt);
    if (vt == VT_DISPATCH || vt == VT_UNKNOWN) {
        array->fFeatures = FADF_HAVEIID;
        *StoredInterface(array) = vt == VT_DISPATCH ? IID_IDispatch : IID_IUnknown;
    } else {
        array->fFeatures = FADF_HAVEVARTYPE;
        *StoredVartype(array) = vt;
    }
    array->fFeatures |= OwnershipFeature(vt);
}

HRESULT CopyData(SAFEARRAY* source, SAFEARRAY* target) {
    size_t count = 0;
    HRESULT result = AllocateData(target);
    if (FAILED(result) || !CountElements(source, count)) {
        return FAILED(result) ? result : E_OUTOFMEMORY;
    }
    const auto* from = static_cast<const unsigned char*>(source->pvData);
    auto* to = static_cast<unsigned char*>(target->pvData);
    if ((target->fFeatures & ownedElementFeatures) == 0) {
        std::memcpy(to, from, count * source->cbElements);
        return S_OK;
    }
    for (size_t i = 0; i < count && SUCCEEDED(result); ++i) {
        size_t offset = i * source->cbElements;
        result = CopyElement(target->fFeatures, target->cbElements, from + offset, to + offset);
    }
    return result;
}

HRESULT LocateElement(SAFEARRAY* array, const LONG* indices, void** element) {
    size_t position = 0;
    size_t stride = 1;
    for (UINT dimension = 0; dimension < array->cDims; ++dimension) {
        const SAFEARRAYBOUND& bound = array->rgsabound[array->cDims - 1 - dimension];
        int64_t offset = int64_t{indices[dimension]} - bound.lLbound;
        if (offset < 0 || offset >= int64_t{bound.cElements}) {
            return DISP_E_BADINDEX;
        }
        position += static_cast<size_t>(offset) * stride;
        stride *= bound.cElements;
    }
    *element = static_cast<unsigned char*>(array->pvData) + position * array->cbElements;
    return S_OK;
}

// Runs an element access with the array locked, so that it cannot be destroyed meanwhile.
template <typename Access>
HRESULT WithElement(SAFEARRAY* array, LONG* indices, Access access) {
    if (array == nullptr || indices == nullptr) {
        return E_INVALIDARG;
    }
    HRESULT result = SafeArrayLock(array);
    if (FAILED(result)) {
        return result;
    }
    void* element = nullptr;
    result = LocateElement(array, indices, &element);
    if (SUCCEEDED(result)) {
        result = access(element);
    }
    SafeArrayUnlock(array);
    return result;
}

} // namespace

extern "C" SAFEARRAY* SafeArrayCreate(VARTYPE vt, UINT dimensions, SAFEARRAYBOUND* bounds) {
    SAFEARRAY* array = nullptr;
    if (bounds == nullptr || SizeOfValue(vt) == 0 ||
        FAILED(AllocateDescriptor(dimensions, array))) {
        return nullptr;
    }
    RecordElementType(array, vt);
    for (UINT i = 0; i < dimensions; ++i) {
        array->rgsabound[dimensions - 1 - i] = bounds[i];
    }
    if (FAILED(AllocateData(array))) {
        std::free(HeaderOf(array));
        return nullptr;
    }
    return array;
}

extern "C" SAFEARRAY* SafeArrayCreateVector(VARTYPE vt, LONG lowerBound, ULONG elements) {
    SAFEARRAYBOUND bound = {elements, lowerBound};
    return SafeArrayCreate(vt, 1, &bound);
}

extern "C" HRESULT SafeArrayDestroy(SAFEARRAY* array) {
    if (array == nullptr) {
        return S_OK;
    }
    if (IsLocked(array)) {
        return DISP_E_ARRAYISLOCKED;
    }
    // A copy whose data could not be allocated has none.
    size_t count = 0;
    if (array->pvData != nullptr && CountElements(array, count)) {
        ReleaseElements(array, count);
    }
    std::free(array->pvData);
    std::free(HeaderOf(array));
    return S_OK;
}

extern "C" HRESULT SafeArrayLock(SAFEARRAY* array) {
    if (array == nullptr) {
        return E_INVALIDARG;
    }
    ULONG locks = __atomic_load_n(&array->cLocks, __ATOMIC_RELAXED);
    do {
        if (locks >= largestLockCount) {
            return E_UNEXPECTED;
        }
    } while (!__atomic_compare_exchange_n(&array->cLocks, &locks, locks + 1, true, __ATOMIC_ACQ_REL,
                                          __ATOMIC_RELAXED));
    return S_OK;
}

extern "C" HRESULT SafeArrayUnlock(SAFEARRAY* array) {
    if (array == nullptr) {
        return E_INVALIDARG;
    }
    ULONG locks = __atomic_load_n(&array->cLocks, __ATOMIC_RELAXED);
    do {
        if (locks == 0) {
            return E_UNEXPECTED;
        }
    } while (!__atomic_compare_exchange_n(&array->cLocks, &locks, locks - 1, true, __ATOMIC_ACQ_REL,
                                          __ATOMIC_RELAXED));
    return S_OK;
}

extern "C" HRESULT SafeArrayAccessData(SAFEARRAY* array, void** data) {
    if (array == nullptr || data == nullptr) {
        return E_INVALIDARG;
    }
    HRESULT result = SafeArrayLock(array);
    *data = SUCCEEDED(result) ? array->pvData : nullptr;
    return result;
}

extern "C" HRESULT SafeArrayUnaccessData(SAFEARRAY* array) {
    return SafeArrayUnlock(array);
}

extern "C" UINT SafeArrayGetDim(SAFEARRAY* array) {
    return array == nullptr ? 0 : array->cDims;
}

extern "C" UINT SafeArrayGetElemsize(SAFEARRAY* array) {
    return array == nullptr ? 0 : array->cbElements;
}

extern "C" HRESULT SafeArrayGetLBound(SAFEARRAY* array, UINT dimension, LONG* lowerBound) {
    if (array == nullptr || lowerBound == nullptr) {
        return E_INVALIDARG;
    }
    if (dimension == 0 || dimension > array->cDims) {
        return DISP_E_BADINDEX;
    }
    *lowerBound = array->rgsabound[array->cDims - dimension].lLbound;
    return S_OK;
}

extern "C" HRESULT SafeArrayGetUBound(SAFEARRAY* array, UINT dimension, LONG* upperBound) {
    if (array == nullptr || upperBound == nullptr) {
        return E_INVALIDARG;
    }
    if (dimension == 0 || dimension > array->cDims) {
        return DISP_E_BADINDEX;
    }
    const SAFEARRAYBOUND& bound = array->rgsabound[array->cDims - dimension];
    *upperBound = static_cast<LONG>(int64_t{bound.lLbound} + bound.cElements - 1);
    return S_OK;
}

extern "C" HRESULT SafeArrayGetVartype(SAFEARRAY* array, VARTYPE* vt) {
    if (array == nullptr || vt == nullptr) {
        return E_INVALIDARG;
    }
    // SafeArrayCreate records one or the other.
    if (array->fFeatures & FADF_HAVEIID) {
        *vt = (array->fFeatures & FADF_DISPATCH) ? VT_DISPATCH : VT_UNKNOWN;
    } else {
        *vt = static_cast<VARTYPE>(*StoredVartype(array));
    }
    return S_OK;
}

extern "C" HRESULT SafeArrayGetElement(SAFEARRAY* array, LONG* indices, void* value) {
    if (value == nullptr) {
        return E_INVALIDARG;
    }
    return WithElement(array, indices, [&](void* element) {
        if (array->fFeatures & FADF_VARIANT) {
            VariantInit(static_cast<VARIANT*>(value));
        } else if (array->fFeatures & ownedElementFeatures) {
            std::memset(value, 0, array->cbElements);
        }
        return CopyElement(array->fFeatures, array->cbElements, element, value);
    });
}

// An array of strings or interfaces takes the value itself, as OLE Automation does; every other
// array takes the address of the value.
extern "C" HRESULT SafeArrayPutElement(SAFEARRAY* array, LONG* indices, void* value) {
    if (array != nullptr && (array->fFeatures & (FADF_BSTR | FADF_UNKNOWN | FADF_DISPATCH))) {
        return WithElement(array, indices, [&](void* element) {
            return CopyElement(array->fFeatures, array->cbElements, &value, element);
        });
    }
    if (value == nullptr) {
        return E_INVALIDARG;
    }
    return WithElement(array, indices, [&](void* element) {
        return CopyElement(array->fFeatures, array->cbElements, value, element);
    });
}

extern "C" HRESULT SafeArrayCopy(SAFEARRAY* source, SAFEARRAY** copy) {
    if (copy == nullptr) {
        return E_INVALIDARG;
    }
    *copy = nullptr;
    if (source == nullptr) {
        return S_OK;
    }
    SAFEARRAY* target = nullptr;
    HRESULT result = AllocateDescriptor(source->cDims, target);
    if (FAILED(result)) {
        return result;
    }
    std::memcpy(HeaderOf(target), HeaderOf(source), headerSize);
    target->fFeatures = source->fFeatures;
    target->cbElements = source->cbElements;
    std::memcpy(target->rgsabound, source->rgsabound, source->cDims * sizeof(SAFEARRAYBOUND));
    result = CopyData(source, target);
    if (FAILED(result)) {
        SafeArrayDestroy(target);
        return result;
    }
    *copy = target;
    return S_OK;
}
