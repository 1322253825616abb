#include "platform/dispatch.h"

#include "platform/dispatchcall.h"
#include "platform/errorinfo.h"
#include "platform/typelibobjects.h"
#include "platform/variant.h"

#include <memory>
#include <new>

namespace {

struct TypeInfoRelease {
    void operator()(ITypeInfo* info) const { info->Release(); }
};
using TypeInfoReference = std::unique_ptr<ITypeInfo, TypeInfoRelease>;

// A FUNCDESC handed out by its type information, released there whatever way the call leaves.
class FunctionDescription {
public:
    FunctionDescription() = default;
    FunctionDescription(const FunctionDescription&) = delete;
    FunctionDescription& operator=(const FunctionDescription&) = delete;
    ~FunctionDescription() { Reset(nullptr, nullptr); }

    void Reset(ITypeInfo* newOwner, FUNCDESC* newDescription) {
        if (description != nullptr) {
            owner->ReleaseFuncDesc(description);
        }
        owner = newOwner;
        description = newDescription;
    }
    const FUNCDESC& operator*() const { return *description; }
    const FUNCDESC* operator->() const { return description; }

private:
    ITypeInfo* owner = nullptr;
    FUNCDESC* description = nullptr;
};

// Calls go through the vtable, which the interface half of a dual interface describes.
HRESULT InterfaceHalf(ITypeInfo* info, TypeInfoReference* half) {
    TYPEATTR* attributes = nullptr;
    HRESULT hr = info->GetTypeAttr(&attributes);
    if (FAILED(hr)) {
        return hr;
    }
    const TYPEKIND kind = attributes->typekind;
    info->ReleaseTypeAttr(attributes);
    if (kind != TKIND_DISPATCH) {
        info->AddRef();
        half->reset(info);
        return S_OK;
    }
    HREFTYPE reference = 0;
    hr = info->GetRefTypeOfImplType(static_cast<UINT>(-1), &reference);
    if (FAILED(hr)) {
        return hr;
    }
    ITypeInfo* found = nullptr;
    hr = info->GetRefTypeInfo(reference, &found);
    if (SUCCEEDED(hr)) {
        half->reset(found);
    }
    return hr;
}

HRESULT FindFunction(ITypeInfo* info, DISPID id, WORD flags, FunctionDescription* found) {
    UINT index = 0;
    const HRESULT hr = Ostrel::FindFunctionIndex(id, &index, [&](UINT candidate) -> HRESULT {
        FUNCDESC* description = nullptr;
        HRESULT read = info->GetFuncDesc(candidate, &description);
        if (FAILED(read)) {
            return read;
        }
        found->Reset(info, description);
        return description->memid == id && Ostrel::AcceptsFlags(description->invkind, flags)
                   ? S_OK
                   : S_FALSE;
    });
    if (hr != S_OK) {
        found->Reset(nullptr, nullptr);
    }
    return hr;
}

// The thread's error information becomes the exception the caller sees, as the system takes
// it: whatever the slot holds after the failure, which the callee is expected to have set.
// Reading it clears the slot.
void FillException(EXCEPINFO* exception, HRESULT failure) {
    *exception = EXCEPINFO{};
    exception->scode = failure;
    IErrorInfo* info = nullptr;
    if (GetErrorInfo(0, &info) != S_OK || info == nullptr) {
        return;
    }
    info->GetSource(&exception->bstrSource);
    info->GetDescription(&exception->bstrDescription);
    info->GetHelpFile(&exception->bstrHelpFile);
    info->GetHelpContext(&exception->dwHelpContext);
    info->Release();
}

HRESULT Call(const Ostrel::PreparedCall& prepared, void* instance, DISPPARAMS* params,
             VARIANT* result, EXCEPINFO* exception, UINT* argumentError) {
    if (params->cArgs != prepared.ArgumentCount()) {
        return DISP_E_BADPARAMCOUNT;
    }
    Ostrel::MethodCall call(instance, prepared);
    HRESULT hr = call.Bind(*params, argumentError);
    if (FAILED(hr)) {
        return hr;
    }
    hr = call.Call();
    if (SUCCEEDED(hr)) {
        call.Finish(result);
        return S_OK;
    }
    if (result != nullptr) {
        VariantInit(result);
    }
    if (exception != nullptr) {
        FillException(exception, hr);
    }
    return DISP_E_EXCEPTION;
}

// Any type information: the member's description read and its signature prepared for this call.
HRESULT InvokeDescribed(void* instance, ITypeInfo* typeInfo, DISPID id, WORD flags,
                        DISPPARAMS* params, VARIANT* result, EXCEPINFO* exception,
                        UINT* argumentError) {
    TypeInfoReference half;
    HRESULT hr = InterfaceHalf(typeInfo, &half);
    if (FAILED(hr)) {
        return hr;
    }
    FunctionDescription function;
    hr = FindFunction(half.get(), id, flags, &function);
    if (FAILED(hr)) {
        return hr;
    }
    Ostrel::PreparedCall prepared;
    hr = prepared.Prepare(*function, half.get());
    if (FAILED(hr)) {
        return hr;
    }
    return Call(prepared, instance, params, result, exception, argumentError);
}

// The layer's own type information keeps each member's call prepared from its first use, so
// that a call reads no description; what it cannot answer (no such member, a signature that
// cannot be called) goes the general way, which gives the reason.
HRESULT Invoke(void* instance, ITypeInfo* typeInfo, DISPID id, WORD flags, DISPPARAMS* params,
               VARIANT* result, EXCEPINFO* exception, UINT* argumentError) {
    Ostrel::TypeInfo* own = nullptr;
    if (SUCCEEDED(typeInfo->QueryInterface(Ostrel::IID_PlatformTypeInfo,
                                           reinterpret_cast<void**>(&own)))) {
        if (const Ostrel::PreparedCall* prepared = own->CallFor(id, flags)) {
            return Call(*prepared, instance, params, result, exception, argumentError);
        }
    }
    return InvokeDescribed(instance, typeInfo, id, flags, params, result, exception, argumentError);
}

} // namespace

extern "C" HRESULT DispGetIDsOfNames(ITypeInfo* typeInfo, LPOLESTR* names, UINT count,
                                     DISPID* ids) {
    if (typeInfo == nullptr || (count > 0 && (names == nullptr || ids == nullptr))) {
        return E_INVALIDARG;
    }
    for (UINT i = 0; i < count; ++i) {
        ids[i] = DISPID_UNKNOWN;
    }
    return typeInfo->GetIDsOfNames(names, count, ids);
}

extern "C" HRESULT DispInvoke(void* instance, ITypeInfo* typeInfo, DISPID id, WORD flags,
                              DISPPARAMS* params, VARIANT* result, EXCEPINFO* exception,
                              UINT* argumentError) {
    if (instance == nullptr || typeInfo == nullptr || params == nullptr ||
        (params->cArgs > 0 && params->rgvarg == nullptr) || params->cNamedArgs > params->cArgs ||
        (params->cNamedArgs > 0 && params->rgdispidNamedArgs == nullptr)) {
        return E_INVALIDARG;
    }
    try {
        return Invoke(instance, typeInfo, id, flags, params, result, exception, argumentError);
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    } catch (...) {
        return E_FAIL;
    }
}
