// The IUnknown and IDispatch halves of an object that the tool hands to the system: a data
// source or sink, a parser client. The system asks such an object for its own interface and
// calls it through the table, so the object answers no names; it lives on the stack of the
// command that made it, so its count frees nothing.
#pragma once

#include "platform/com.h"

namespace Ostrel {

template <typename Interface, const IID& kInterfaceId>
class HostObject : public Interface {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** found) override {
        if (found == nullptr) {
            return E_POINTER;
        }
        *found = nullptr;
        if (riid != IID_IUnknown && riid != IID_IDispatch && riid != kInterfaceId) {
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
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT count, LCID,
                                            DISPID* ids) override {
        for (UINT i = 0; ids != nullptr && i < count; ++i) {
            ids[i] = DISPID_UNKNOWN;
        }
        return DISP_E_UNKNOWNNAME;
    }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*,
                                     UINT*) override {
        return DISP_E_MEMBERNOTFOUND;
    }

private:
    ULONG references = 0;
};

} // namespace Ostrel
