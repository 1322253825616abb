#include "support/ScriptObject.h"

#include "host/AutomationText.h"

namespace Ostrel::Testing {

HRESULT ScriptObject::GetIDsOfNames(REFIID riid, LPOLESTR* asked, UINT count, LCID locale,
                                    DISPID* ids) {
    ++lookups;
    if (lookup == NameLookup::DispIdOnly) {
        return E_NOTIMPL;
    }
    return HostObject::GetIDsOfNames(riid, asked, count, locale, ids);
}

HRESULT ScriptObject::GetDispID(BSTR name, DWORD flags, DISPID* id) {
    ++lookups;
    dispIdFlags = flags;
    if (id == nullptr) {
        return E_POINTER;
    }
    const HRESULT found = FindMemberIds(names, &name, 1, id);
    if (SUCCEEDED(found) && (flags & fdexNameCaseSensitive) != 0 &&
        ToUtf8(name) != names[static_cast<size_t>(*id - 1)]) {
        *id = DISPID_UNKNOWN;
        return DISP_E_UNKNOWNNAME;
    }
    return found;
}

HRESULT ScriptObject::InvokeEx(DISPID id, LCID locale, WORD flags, DISPPARAMS* params,
                               VARIANT* result, EXCEPINFO* exception, IServiceProvider*) {
    return Invoke(id, IID_NULL, locale, flags, params, result, exception, nullptr);
}

HRESULT ScriptObject::DeleteMemberByName(BSTR, DWORD) {
    return E_NOTIMPL;
}

HRESULT ScriptObject::DeleteMemberByDispID(DISPID) {
    return E_NOTIMPL;
}

HRESULT ScriptObject::GetMemberProperties(DISPID, DWORD, DWORD*) {
    return E_NOTIMPL;
}

HRESULT ScriptObject::GetMemberName(DISPID, BSTR*) {
    return E_NOTIMPL;
}

HRESULT ScriptObject::GetNextDispID(DWORD, DISPID, DISPID*) {
    return E_NOTIMPL;
}

HRESULT ScriptObject::GetNameSpaceParent(IUnknown**) {
    return E_NOTIMPL;
}

} // namespace Ostrel::Testing
