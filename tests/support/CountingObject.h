// An automation object for the platform tests that counts its references, so that a test sees
// every AddRef and Release, and whose default property hands out a value of the test's choosing.
#pragma once

#include "host/HostObject.h"
#include "platform/com.h"

namespace Ostrel::Testing {

class CountingObject final : public HostObject<IDispatch> {
public:
    explicit CountingObject(bool answersDispatch = true) : answersDispatch(answersDispatch) {}

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override {
        if (!answersDispatch && riid == IID_IDispatch) {
            *object = nullptr;
            return E_NOINTERFACE;
        }
        return HostObject::QueryInterface(riid, object);
    }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params,
                                     VARIANT* result, EXCEPINFO*, UINT*) override {
        if (id != DISPID_VALUE || flags != DISPATCH_PROPERTYGET || params->cArgs != 0) {
            return DISP_E_MEMBERNOTFOUND;
        }
        return FAILED(invokeResult) ? invokeResult : VariantCopy(result, &value);
    }

    ~CountingObject() { VariantClear(&value); }

    HRESULT invokeResult = S_OK;
    VARIANT value{};

private:
    bool answersDispatch;
};

} // namespace Ostrel::Testing
