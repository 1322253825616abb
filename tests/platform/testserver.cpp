// A tiny in-process server: one class whose objects answer only IUnknown and IClassFactory, and
// a count of live objects that DllCanUnloadNow reports (the factory takes no locks).
#include "testserver.h"

namespace {

int liveObjects = 0;

// The class serves as its own factory: one static object that is never freed, and the objects
// it makes, each freed with its last reference.
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
    ULONG STDMETHODCALLTYPE Release() override {
        const ULONG left = --references;
        if (left == 0) {
            --liveObjects;
            delete this;
        }
        return left;
    }
    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID riid, void** object) override {
        *object = nullptr;
        if (outer != nullptr) {
            return CLASS_E_NOAGGREGATION;
        }
        ++liveObjects;
        TestObject* created = new TestObject;
        const HRESULT result = created->QueryInterface(riid, object);
        created->Release();
        return result;
    }
    HRESULT STDMETHODCALLTYPE LockServer(BOOL) override { return E_NOTIMPL; }

private:
    ULONG references = 1;
};

TestObject factory;

} // namespace

extern "C" HRESULT DllGetClassObject(REFCLSID clsid, REFIID riid, LPVOID* object) {
    if (clsid != CLSID_TestServerObject) {
        *object = nullptr;
        return CLASS_E_CLASSNOTAVAILABLE;
    }
    return factory.QueryInterface(riid, object);
}

extern "C" HRESULT DllCanUnloadNow() {
    return liveObjects == 0 ? S_OK : S_FALSE;
}
