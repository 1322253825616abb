#include "errors/RaiseErrorInfo.h"

#include "text/Text.h"

#include <new>

namespace Ostrel {

namespace {

// The error object in both of its roles; releases whatever it holds.
struct ErrorObject {
    ICreateErrorInfo* creation = nullptr;
    IErrorInfo* info = nullptr;

    ~ErrorObject() {
        if (info != nullptr) {
            info->Release();
        }
        if (creation != nullptr) {
            creation->Release();
        }
    }

    bool Create() {
        if (FAILED(CreateErrorInfo(&creation)) || creation == nullptr) {
            creation = nullptr;
            return false;
        }
        if (FAILED(creation->QueryInterface(IID_IErrorInfo, reinterpret_cast<void**>(&info))) ||
            info == nullptr) {
            info = nullptr;
            return false;
        }
        return true;
    }
};

// The provider's message as a new automation string; null when it cannot be allocated.
BSTR MessageOf(const IErrorProvider& provider) {
    try {
        Text message;
        provider.GetError(message);
        return message.ToBSTR();
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}

} // namespace

HRESULT RaiseErrorInfo(IErrorProvider& provider) {
    if (!provider.HasError()) {
        return E_NOINTERFACE;
    }
    ErrorObject error;
    if (!error.Create()) {
        return E_NOINTERFACE;
    }
    // Everything that can fail happens before the provider is cleared: a message is either
    // delivered or still pending, never lost.
    BSTR description = MessageOf(provider);
    if (description == nullptr) {
        return E_OUTOFMEMORY;
    }
    HRESULT result = error.creation->SetDescription(description);
    SysFreeString(description);
    if (SUCCEEDED(result)) {
        result = SetErrorInfo(0, error.info);
    }
    if (FAILED(result)) {
        return result;
    }
    provider.ClearError();
    return S_OK;
}

} // namespace Ostrel
