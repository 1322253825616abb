// The per-class record behind every automation object's IDispatch operations: where the class's
// dual interface is described, and its type information once loaded.
//
// Type information comes from the registered type library (LoadRegTypeLib, version 1.0, the
// user's default locale), never from the file beside the module, and is loaded on the first
// dispatch call that needs it. A failed load keeps nothing, so the next call tries again: a host
// that registers the library later is served without restarting.
//
// The four records of the system are process-wide, built on first use and never torn down by a
// static destructor (a host may release objects after the module's statics are gone); the
// module calls ReleaseAll when it unloads.
//
// The IDispatch helpers below are the whole dispatch logic of an automation class: each of its
// four IDispatch methods is one call to the matching helper on its record (DispatchObject does
// exactly that). No helper throws.
#pragma once

#include "platform/com.h"

namespace Ostrel {

class DispatchClassInfo {
public:
    // `interfaceId` must outlive the record (the generated identifiers do); the library
    // identifier is copied.
    DispatchClassInfo(const char* className, const IID* interfaceId, REFGUID library);
    DispatchClassInfo(const DispatchClassInfo&) = delete;
    DispatchClassInfo& operator=(const DispatchClassInfo&) = delete;

    // The records of "HDispatchXMLModel", "HDispatchXMLModelNode" and "HDispatchXMLParser"
    // (described by pravell.tlb) and "HDispatchTaggedAttributes" (utils.tlb).
    static DispatchClassInfo& XMLModel();
    static DispatchClassInfo& XMLModelNode();
    static DispatchClassInfo& XMLParser();
    static DispatchClassInfo& TaggedAttributes();
    // Releases the type information of the four records (the module's unload).
    static void ReleaseAll();

    const char* ClassName() const { return className; }
    REFIID InterfaceId() const { return *interfaceId; }
    // Null until a load succeeds; not referenced for the caller.
    ITypeInfo* TypeInfo() const { return typeInfo; }
    // The result of the last load; E_FAIL before the first and after Release.
    HRESULT LoadResult() const { return loadResult; }

    // Loads the type information unless it is held; answers the load result.
    HRESULT EnsureLoaded();
    // Lets go of the type information; the next dispatch call loads it again.
    void Release();

    // IDispatch::GetTypeInfoCount: stores 1. E_INVALIDARG for a null pointer.
    static HRESULT GetTypeInfoCount(UINT* count);
    // IDispatch::GetTypeInfo: the type information with a reference for the caller, and the
    // load result; on failure *info is null and the load's failure is answered. The index and
    // the locale of the interface method are not examined.
    HRESULT GetTypeInfo(ITypeInfo** info);
    // IDispatch::GetIDsOfNames: DISP_E_UNKNOWNINTERFACE for any interface identifier but
    // IID_NULL, without loading; otherwise DispGetIDsOfNames on the type information.
    HRESULT GetIDsOfNames(REFIID riid, LPOLESTR* names, UINT count, DISPID* ids);
    // IDispatch::Invoke: the same interface test, then DispInvoke on `self`, which must be the
    // object's pointer of this record's interface (its methods are called through it).
    HRESULT Invoke(IDispatch* self, DISPID id, REFIID riid, WORD flags, DISPPARAMS* params,
                   VARIANT* result, EXCEPINFO* exception, UINT* argumentError);

private:
    const char* className;
    const IID* interfaceId;
    GUID library;
    ITypeInfo* typeInfo = nullptr;
    HRESULT loadResult = E_FAIL;
};

} // namespace Ostrel
