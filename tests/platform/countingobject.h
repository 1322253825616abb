// An automation object for the platform tests: it counts its references, so that a test sees
// every AddRef and Release, and its default property hands out a value of the test's choosing.
#pragma once

#include "platform/com.h"

namespace Ostrel::Testing {

class CountingObject final : public IDispatch {
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
    ULONG STDMETHODCALLTYPE AddRef() override { return ++references; }
    ULONG STDMETHODCALLTYPE Release() override { return --references; }

    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override {
        return E_NOTIMPL;
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

    ULONG references = 1;
    int invocations = 0;
    HRESULT invokeResult = S_OK;
    VARIANT value;

private:
    bool answersDispatch;
};

} // namespace Ostrel::Testing
