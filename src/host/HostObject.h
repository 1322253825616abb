// The IUnknown and IDispatch halves of an object that a host implements and hands to a
// component: a data source or sink, a parser client, an object that scripts would know only by
// names.
//
// The host keeps such an object itself (on the stack, as a member), so the count of references
// frees nothing: it starts at one for the host's own reference, and the host can check that the
// component gave back every reference it took. QueryInterface answers IUnknown, IDispatch and
// the interfaces named as template arguments. GetIDsOfNames answers the names in `names` (the
// DISPID of names[i] is i + 1), with letter case ignored as script hosts ignore it; Invoke finds
// no member until the object overrides it.
//
//     class Client : public HostObject<IDispatchXMLParserClient, IID_IDispatchXMLParserClient> {
//         HRESULT STDMETHODCALLTYPE Characters(BSTR text) override;
//         ...
//     };
#pragma once

#include "platform/com.h"

#include <string>
#include <utility>
#include <vector>

namespace Ostrel {

// GetIDsOfNames over `names`: the DISPID of names[i] is i + 1. Parameters have no names, so only
// a single name can be found; unknown names get DISPID_UNKNOWN and the answer DISP_E_UNKNOWNNAME.
HRESULT FindMemberIds(const std::vector<std::string>& names, LPOLESTR* asked, UINT count,
                      DISPID* ids);

template <typename Interface, const IID&... kInterfaces>
class HostObject : public Interface {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** found) override {
        if (found == nullptr) {
            return E_POINTER;
        }
        if (riid != IID_IUnknown && riid != IID_IDispatch && ((riid != kInterfaces) && ...)) {
            *found = nullptr;
            return E_NOINTERFACE;
        }
        *found = static_cast<Interface*>(this);
        AddRef();
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++references; }
    ULONG STDMETHODCALLTYPE Release() override { return --references; }

    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
        if (count == nullptr) {
            return E_POINTER;
        }
        *count = 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo** info) override {
        if (info != nullptr) {
            *info = nullptr;
        }
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR* asked, UINT count, LCID,
                                            DISPID* ids) override {
        return FindMemberIds(names, asked, count, ids);
    }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*,
                                     UINT*) override {
        return DISP_E_MEMBERNOTFOUND;
    }

    ULONG References() const { return references; }

protected:
    HostObject() = default;
    explicit HostObject(std::vector<std::string> names) : names(std::move(names)) {}
    HostObject(const HostObject&) = delete;
    HostObject& operator=(const HostObject&) = delete;
    ~HostObject() = default;

    // The members known by name, ASCII.
    std::vector<std::string> names;

private:
    ULONG references = 1;
};

} // namespace Ostrel
