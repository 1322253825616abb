// The base of the tests' stand-ins for script engines' objects: members known only by name, as
// a script's object offers them, found through IDispatch::GetIDsOfNames or, as script class
// objects answer, only through IDispatchEx::GetDispID. InvokeEx hands calls on to Invoke, which
// derived objects override. Portable: platform types and the host library only.
#pragma once

#include "host/HostObject.h"
#include "platform/com.h"

#include <string>
#include <utility>
#include <vector>

namespace Ostrel::Testing {

class ScriptObject : public HostObject<IDispatchEx, IID_IDispatchEx> {
public:
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID riid, LPOLESTR* asked, UINT count, LCID locale,
                                            DISPID* ids) override {
        ++lookups;
        return dispIdOnly ? E_NOTIMPL : HostObject::GetIDsOfNames(riid, asked, count, locale, ids);
    }
    HRESULT STDMETHODCALLTYPE GetDispID(BSTR name, DWORD flags, DISPID* id) override {
        ++lookups;
        dispIdFlags = flags;
        return FindMemberIds(names, &name, 1, id);
    }
    HRESULT STDMETHODCALLTYPE InvokeEx(DISPID id, LCID locale, WORD flags, DISPPARAMS* params,
                                       VARIANT* result, EXCEPINFO* exception,
                                       IServiceProvider*) override {
        return Invoke(id, IID_NULL, locale, flags, params, result, exception, nullptr);
    }
    HRESULT STDMETHODCALLTYPE DeleteMemberByName(BSTR, DWORD) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE DeleteMemberByDispID(DISPID) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetMemberProperties(DISPID, DWORD, DWORD*) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE GetMemberName(DISPID, BSTR*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetNextDispID(DWORD, DISPID, DISPID*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetNameSpaceParent(IUnknown**) override { return E_NOTIMPL; }

    using HostObject::names;
    // Members found only through GetDispID, as a script class object offers them; GetIDsOfNames
    // answers E_NOTIMPL.
    bool dispIdOnly = false;
    // Calls of GetIDsOfNames and GetDispID.
    int lookups = 0;
    // The flags of the last GetDispID call.
    DWORD dispIdFlags = 0;

protected:
    explicit ScriptObject(std::vector<std::string> names) : HostObject(std::move(names)) {}
};

} // namespace Ostrel::Testing
