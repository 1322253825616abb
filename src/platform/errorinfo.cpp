#include "platform/errorinfo.h"

#include "platform/bstr.h"

#include <atomic>
#include <new>

namespace {

// Replaces an owned string with a copy of the text; a null text clears it.
HRESULT Keep(BSTR& field, LPCOLESTR text) {
    BSTR copy = nullptr;
    if (text != nullptr) {
        copy = SysAllocString(text);
        if (copy == nullptr) {
            return E_OUTOFMEMORY;
        }
    }
    SysFreeString(field);
    field = copy;
    return S_OK;
}

// Hands out a copy of an owned string; the receiver owns it.
HRESULT HandOut(BSTR field, BSTR* text) {
    if (text == nullptr) {
        return E_INVALIDARG;
    }
    *text = nullptr;
    if (field != nullptr) {
        *text = SysAllocStringLen(field, SysStringLen(field));
        if (*text == nullptr) {
            return E_OUTOFMEMORY;
        }
    }
    return S_OK;
}

// One object is both the builder and the error information it builds, so that a caller can
// fill it in and hand the same object on.
class ErrorInfo final : public ICreateErrorInfo, public IErrorInfo {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override {
        if (object == nullptr) {
            return E_POINTER;
        }
        if (riid == IID_IUnknown || riid == IID_ICreateErrorInfo) {
            *object = static_cast<ICreateErrorInfo*>(this);
        } else if (riid == IID_IErrorInfo) {
            *object = static_cast<IErrorInfo*>(this);
        } else {
            *object = nullptr;
            return E_NOINTERFACE;
        }
        AddRef();
        return S_OK;
    }

    ULONG STDMETHODCALLTYPE AddRef() override { return ++references; }

    ULONG STDMETHODCALLTYPE Release() override {
        ULONG remaining = --references;
        if (remaining == 0) {
            delete this;
        }
        return remaining;
    }

    HRESULT STDMETHODCALLTYPE SetGUID(REFGUID value) override {
        guid = value;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE SetSource(LPOLESTR text) override { return Keep(source, text); }
    HRESULT STDMETHODCALLTYPE SetDescription(LPOLESTR text) override {
        return Keep(description, text);
    }
    HRESULT STDMETHODCALLTYPE SetHelpFile(LPOLESTR text) override { return Keep(helpFile, text); }
    HRESULT STDMETHODCALLTYPE SetHelpContext(DWORD value) override {
        helpContext = value;
        return S_OK;
    }

    HRESULT STDMETHODCALLTYPE GetGUID(GUID* value) override {
        if (value == nullptr) {
            return E_INVALIDARG;
        }
        *value = guid;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetSource(BSTR* text) override { return HandOut(source, text); }
    HRESULT STDMETHODCALLTYPE GetDescription(BSTR* text) override {
        return HandOut(description, text);
    }
    HRESULT STDMETHODCALLTYPE GetHelpFile(BSTR* text) override { return HandOut(helpFile, text); }
    HRESULT STDMETHODCALLTYPE GetHelpContext(DWORD* value) override {
        if (value == nullptr) {
            return E_INVALIDARG;
        }
        *value = helpContext;
        return S_OK;
    }

    ~ErrorInfo() {
        SysFreeString(source);
        SysFreeString(description);
        SysFreeString(helpFile);
    }

private:
    std::atomic<ULONG> references{1};
    GUID guid = GUID_NULL;
    BSTR source = nullptr;
    BSTR description = nullptr;
    BSTR helpFile = nullptr;
    DWORD helpContext = 0;
};

// The calling thread's error information. The reference it holds is released when the thread
// ends, so that an error nobody asked for does not outlive its thread.
class ErrorSlot {
public:
    void Hold(IErrorInfo* next) {
        if (next != nullptr) {
            next->AddRef();
        }
        IErrorInfo* old = info;
        info = next;
        if (old != nullptr) {
            old->Release();
        }
    }

    IErrorInfo* Take() {
        IErrorInfo* taken = info;
        info = nullptr;
        return taken;
    }

    ~ErrorSlot() { Hold(nullptr); }

private:
    IErrorInfo* info = nullptr;
};

thread_local ErrorSlot slot;

} // namespace

extern "C" HRESULT CreateErrorInfo(ICreateErrorInfo** info) {
    if (info == nullptr) {
        return E_INVALIDARG;
    }
    *info = new (std::nothrow) ErrorInfo();
    return *info == nullptr ? E_OUTOFMEMORY : S_OK;
}

extern "C" HRESULT SetErrorInfo(ULONG reserved, IErrorInfo* info) {
    if (reserved != 0) {
        return E_INVALIDARG;
    }
    slot.Hold(info);
    return S_OK;
}

extern "C" HRESULT GetErrorInfo(ULONG reserved, IErrorInfo** info) {
    if (reserved != 0 || info == nullptr) {
        return E_INVALIDARG;
    }
    *info = slot.Take();
    return *info == nullptr ? S_FALSE : S_OK;
}
