#include "dispatch/DispatchClassInfo.h"

#include "pravell_idl.h"
#include "utils_idl.h"

#include <type_traits>

namespace Ostrel {

// The records are function statics: with a trivial destructor nothing is queued for process
// exit, so a late Release from a host still finds them.
static_assert(std::is_trivially_destructible<DispatchClassInfo>::value,
              "dispatch class records must survive process exit");

DispatchClassInfo::DispatchClassInfo(const char* className, const IID* interfaceId, REFGUID library)
    : className(className), interfaceId(interfaceId), library(library) {}

DispatchClassInfo& DispatchClassInfo::XMLModel() {
    static DispatchClassInfo record("HDispatchXMLModel", &IID_IDispatchXMLModel, LIBID_Pravell);
    return record;
}

DispatchClassInfo& DispatchClassInfo::XMLModelNode() {
    static DispatchClassInfo record("HDispatchXMLModelNode", &IID_IDispatchXMLModelNode,
                                    LIBID_Pravell);
    return record;
}

DispatchClassInfo& DispatchClassInfo::XMLParser() {
    static DispatchClassInfo record("HDispatchXMLParser", &IID_IDispatchXMLParser, LIBID_Pravell);
    return record;
}

DispatchClassInfo& DispatchClassInfo::TaggedAttributes() {
    static DispatchClassInfo record("HDispatchTaggedAttributes", &IID_IDispatchTaggedAttributes,
                                    LIBID_PravellUtils);
    return record;
}

void DispatchClassInfo::ReleaseAll() {
    XMLModel().Release();
    XMLModelNode().Release();
    XMLParser().Release();
    TaggedAttributes().Release();
}

HRESULT DispatchClassInfo::EnsureLoaded() {
    if (typeInfo != nullptr) {
        return loadResult;
    }
    ITypeLib* typeLibrary = nullptr;
    HRESULT result = LoadRegTypeLib(library, 1, 0, LOCALE_USER_DEFAULT, &typeLibrary);
    if (SUCCEEDED(result) && typeLibrary == nullptr) {
        result = E_FAIL;
    }
    if (SUCCEEDED(result)) {
        result = typeLibrary->GetTypeInfoOfGuid(*interfaceId, &typeInfo);
        if (FAILED(result)) {
            typeInfo = nullptr;
        } else if (typeInfo == nullptr) {
            // A success without type information would hand callers a null to call through.
            result = E_FAIL;
        }
        typeLibrary->Release();
    }
    loadResult = result;
    return result;
}

void DispatchClassInfo::Release() {
    if (typeInfo != nullptr) {
        typeInfo->Release();
        typeInfo = nullptr;
    }
    loadResult = E_FAIL;
}

HRESULT DispatchClassInfo::GetTypeInfoCount(UINT* count) {
    if (count == nullptr) {
        return E_INVALIDARG;
    }
    *count = 1;
    return S_OK;
}

HRESULT DispatchClassInfo::GetTypeInfo(ITypeInfo** info) {
    if (info == nullptr) {
        return E_INVALIDARG;
    }
    *info = nullptr;
    const HRESULT result = EnsureLoaded();
    if (FAILED(result)) {
        return result;
    }
    typeInfo->AddRef();
    *info = typeInfo;
    return result;
}

HRESULT DispatchClassInfo::GetIDsOfNames(REFIID riid, LPOLESTR* names, UINT count, DISPID* ids) {
    if (riid != IID_NULL) {
        return DISP_E_UNKNOWNINTERFACE;
    }
    const HRESULT result = EnsureLoaded();
    if (FAILED(result)) {
        return result;
    }
    return DispGetIDsOfNames(typeInfo, names, count, ids);
}

HRESULT DispatchClassInfo::Invoke(IDispatch* self, DISPID id, REFIID riid, WORD flags,
                                  DISPPARAMS* params, VARIANT* result, EXCEPINFO* exception,
                                  UINT* argumentError) {
    if (riid != IID_NULL) {
        return DISP_E_UNKNOWNINTERFACE;
    }
    const HRESULT loaded = EnsureLoaded();
    if (FAILED(loaded)) {
        return loaded;
    }
    return DispInvoke(self, typeInfo, id, flags, params, result, exception, argumentError);
}

} // namespace Ostrel
