// The base of the tests' stand-ins for script engines' objects: members known only by name, as
// a script's object offers them, found either through IDispatch::GetIDsOfNames or, as script
// class objects answer, only through IDispatchEx::GetDispID. Calls arrive through Invoke (or
// InvokeEx, which hands them on to Invoke); derived objects override Invoke.
//
// Portable: platform types and the host library only, so that the same stand-ins can serve
// hosts on every system.
#pragma once

#include "host/HostObject.h"
#include "platform/com.h"

#include <string>
#include <utility>
#include <vector>

namespace Ostrel::Testing {

// How the object lets its members be found.
enum class NameLookup {
    IDsOfNames, // GetIDsOfNames, and GetDispID as well
    DispIdOnly, // GetDispID only; GetIDsOfNames answers E_NOTIMPL
};

class ScriptObject : public HostObject<IDispatchEx, IID_IDispatchEx> {
public:
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID riid, LPOLESTR* asked, UINT count, LCID locale,
                                            DISPID* ids) override;
    // Letter case counts only under fdexNameCaseSensitive.
    HRESULT STDMETHODCALLTYPE GetDispID(BSTR name, DWORD flags, DISPID* id) override;
    HRESULT STDMETHODCALLTYPE InvokeEx(DISPID id, LCID locale, WORD flags, DISPPARAMS* params,
                                       VARIANT* result, EXCEPINFO* exception,
                                       IServiceProvider* caller) override;
    HRESULT STDMETHODCALLTYPE DeleteMemberByName(BSTR name, DWORD flags) override;
    HRESULT STDMETHODCALLTYPE DeleteMemberByDispID(DISPID id) override;
    HRESULT STDMETHODCALLTYPE GetMemberProperties(DISPID id, DWORD fetch,
                                                  DWORD* properties) override;
    HRESULT STDMETHODCALLTYPE GetMemberName(DISPID id, BSTR* name) override;
    HRESULT STDMETHODCALLTYPE GetNextDispID(DWORD flags, DISPID id, DISPID* next) override;
    HRESULT STDMETHODCALLTYPE GetNameSpaceParent(IUnknown** parent) override;

    using HostObject::names;
    NameLookup lookup = NameLookup::IDsOfNames;
    // Calls of GetIDsOfNames and GetDispID.
    int lookups = 0;
    // The flags of the last GetDispID call.
    DWORD dispIdFlags = 0;

protected:
    explicit ScriptObject(std::vector<std::string> names) : HostObject(std::move(names)) {}
};

} // namespace Ostrel::Testing
