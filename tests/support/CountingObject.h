// Automation objects for the platform tests: they count their references, so that a test sees
// every AddRef and Release. CountingObject's default property hands out a value of the test's
// choosing.
#pragma once

#include "platform/com.h"

namespace Ostrel::Testing {

// The members every dispatch object of the tests shares: references are only counted, never
// freeing anything, and there is no type information and no lookup by name.
template <typename Interface>
class CountedDispatch : public Interface {
public:
    ULONG STDMETHODCALLTYPE AddRef() override { return ++references; }
    ULONG STDMETHODCALLTYPE Release() override { return --references; }

    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override {
        return E_NOTIMPL;
    }

    ULONG references = 1;
};

class CountingObject final : public CountedDispatch<IDispatch> {
public:
    explicit CountingObject(bool answersDispatch = true) : answersDispatch(answersDispatch) {
        VariantInit(&value);
    }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override {
        *object = nullptr;
        if (riid == IID_IUnknown || (answersDispatch && riid == IID_IDispatch)) {
            *object = this;
            AddRef();
            return S_OK;
        }
        return E_NOINTERFACE;
    }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params,
                                     VARIANT* result, EXCEPINFO*, UINT*) override {
        ++invocations;
        if (id != DISPID_VALUE || flags != DISPATCH_PROPERTYGET || params->cArgs != 0) {
            return DISP_E_MEMBERNOTFOUND;
        }
        return FAILED(invokeResult) ? invokeResult : VariantCopy(result, &value);
    }

    ~CountingObject() { VariantClear(&value); }

    int invocations = 0;
    HRESULT invokeResult = S_OK;
    VARIANT value;

private:
    bool answersDispatch;
};

} // namespace Ostrel::Testing
