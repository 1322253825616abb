// A tiny in-process server of one class, whose class object is also every object it makes: one
// static object that answers only IUnknown and IClassFactory, and whose references
// DllCanUnloadNow counts (the factory takes no locks).
#include "testserver.h"

namespace {

class TestObject final : public IClassFactory {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override {
        if (riid != IID_IUnknown && riid != IID_IClassFactory) {
            *object = nullptr;
            return E_NOINTERFACE;
        }
        *object = this;
        AddRef();
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++references; }
    ULONG STDMETHODCALLTYPE Release() override { return --references; }
    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID riid, void** object) override {
        *object = nullptr;
        return outer != nullptr ? CLASS_E_NOAGGREGATION : QueryInterface(riid, object);
    }
    HRESULT STDMETHODCALLTYPE LockServer(BOOL) override { return E_NOTIMPL; }

    // Only the object's own reference is left.
    bool Unused() const { return references == 1; }

private:
    ULONG references = 1;
};

TestObject object;

} // namespace

extern "C" HRESULT DllGetClassObject(REFCLSID clsid, REFIID riid, LPVOID* classObject) {
    if (clsid != CLSID_TestServerObject) {
        *classObject = nullptr;
        return CLASS_E_CLASSNOTAVAILABLE;
    }
    return object.QueryInterface(riid, classObject);
}

extern "C" HRESULT DllCanUnloadNow() {
    return object.Unused() ? S_OK : S_FALSE;
}
