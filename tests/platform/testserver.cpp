// A tiny in-process server: one class whose objects answer only IUnknown, a count of live
// objects that DllCanUnloadNow reports (the factory takes no locks), and a load-time
// constructor that counts loads where the count survives unloading and, as a real server does,
// asks for its own file name.
#include "testserver.h"

#include <cstdlib>
#include <string>

namespace {

int liveObjects = 0;
char loadedFrom[MAX_PATH];

__attribute__((constructor)) void Load() {
    const char* loads = std::getenv(testServerLoadsVariable);
    int count = loads == nullptr ? 0 : std::atoi(loads);
    setenv(testServerLoadsVariable, std::to_string(count + 1).c_str(), 1);
    GetModuleFileNameA(reinterpret_cast<HMODULE>(&Load), loadedFrom, MAX_PATH);
}

class TestObject : public IUnknown {
public:
    TestObject() { ++liveObjects; }
    virtual ~TestObject() { --liveObjects; }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override {
        if (riid != IID_IUnknown) {
            *object = nullptr;
            return E_NOINTERFACE;
        }
        *object = this;
        AddRef();
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++references; }
    ULONG STDMETHODCALLTYPE Release() override {
        ULONG left = --references;
        if (left == 0) {
            delete this;
        }
        return left;
    }

private:
    ULONG references = 0;
};

class TestFactory : public IClassFactory {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override {
        if (riid != IID_IUnknown && riid != IID_IClassFactory) {
            *object = nullptr;
            return E_NOINTERFACE;
        }
        *object = this;
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return 1; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID riid, void** object) override {
        *object = nullptr;
        if (outer != nullptr) {
            return CLASS_E_NOAGGREGATION;
        }
        TestObject* created = new TestObject;
        created->AddRef();
        HRESULT result = created->QueryInterface(riid, object);
        created->Release();
        return result;
    }
    HRESULT STDMETHODCALLTYPE LockServer(BOOL) override { return E_NOTIMPL; }
};

TestFactory factory;

} // namespace

extern "C" __attribute__((visibility("default"))) HRESULT
DllGetClassObject(REFCLSID clsid, REFIID riid, LPVOID* object) {
    if (clsid != CLSID_TestServerObject) {
        *object = nullptr;
        return CLASS_E_CLASSNOTAVAILABLE;
    }
    return factory.QueryInterface(riid, object);
}

extern "C" __attribute__((visibility("default"))) HRESULT DllCanUnloadNow() {
    return liveObjects == 0 ? S_OK : S_FALSE;
}

extern "C" __attribute__((visibility("default"))) const char* TestServerLoadedFrom() {
    return loadedFrom;
}
