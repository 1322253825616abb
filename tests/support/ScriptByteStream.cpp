#include "support/ScriptByteStream.h"

#include <algorithm>
#include <cstring>
#include <utility>

namespace Ostrel::Testing {

namespace {

enum Member : DISPID { kRead = 1, kWrite = 2 };

} // namespace

ScriptByteStream::ScriptByteStream(std::string source)
    : ScriptObject({"Read", "Write"}), source(std::move(source)) {}

HRESULT ScriptByteStream::Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params,
                                 VARIANT* result, EXCEPINFO*, UINT*) {
    if ((flags & DISPATCH_METHOD) == 0 || (id != kRead && id != kWrite)) {
        return DISP_E_MEMBERNOTFOUND;
    }
    if (params == nullptr || params->cArgs != 1 || params->cNamedArgs != 0) {
        return DISP_E_BADPARAMCOUNT;
    }
    return id == kRead ? Read(params->rgvarg[0], result) : Write(params->rgvarg[0]);
}

HRESULT ScriptByteStream::Read(VARIANT& count, VARIANT* result) {
    VARIANT wanted;
    VariantInit(&wanted);
    if (FAILED(VariantChangeType(&wanted, &count, 0, VT_I4)) || wanted.lVal < 0) {
        return DISP_E_TYPEMISMATCH;
    }
    if (result == nullptr) {
        return E_INVALIDARG;
    }
    ++reads;
    VariantInit(result);
    if (position == source.size()) {
        ++nulls;
        result->vt = VT_NULL;
        return S_OK;
    }
    const size_t length = std::min(source.size() - position, static_cast<size_t>(wanted.lVal));
    SAFEARRAY* array = SafeArrayCreateVector(VT_UI1, 0, static_cast<ULONG>(length));
    void* elements = nullptr;
    if (array == nullptr || FAILED(SafeArrayAccessData(array, &elements))) {
        SafeArrayDestroy(array);
        return E_OUTOFMEMORY;
    }
    if (length > 0) {
        std::memcpy(elements, source.data() + position, length);
    }
    SafeArrayUnaccessData(array);
    position += length;
    result->vt = VT_ARRAY | VT_UI1;
    result->parray = array;
    return S_OK;
}

HRESULT ScriptByteStream::Write(const VARIANT& bytes) {
    if (bytes.vt != (VT_ARRAY | VT_UI1) || bytes.parray == nullptr ||
        SafeArrayGetDim(bytes.parray) != 1) {
        return DISP_E_TYPEMISMATCH;
    }
    LONG lower = 0;
    LONG upper = -1;
    void* elements = nullptr;
    if (FAILED(SafeArrayGetLBound(bytes.parray, 1, &lower)) ||
        FAILED(SafeArrayGetUBound(bytes.parray, 1, &upper)) ||
        FAILED(SafeArrayAccessData(bytes.parray, &elements))) {
        return E_FAIL;
    }
    ++writes;
    if (upper >= lower) {
        written.append(static_cast<const char*>(elements), static_cast<size_t>(upper - lower + 1));
    }
    SafeArrayUnaccessData(bytes.parray);
    return S_OK;
}

} // namespace Ostrel::Testing
