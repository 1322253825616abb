// A tiny in-process server: one class whose objects answer only IUnknown, a count of live
// objects that DllCanUnloadNow reports (the factory takes no locks), and a load-time
// constructor that counts loads where the count survives unloading.
#include "testserver.h"

#include <cstdlib>
#include <cstring>
#include <string>

namespace {

int liveObjects = 0;

__attribute__((constructor)) void CountLoad() {
    const char* loads = std::getenv(testServerLoadsVariable);
    const int count = loads == nullptr ? 0 : std::atoi(loads);
    const std::string entry =
        std::string(testServerLoadsVariable) + "=" + std::to_string(count + 1);
    // The environment may keep the text itself, and it must outlive the library: never freed.
    char* kept = new char[entry.size() + 1];
    std::memcpy(kept, entry.c_str(), entry.size() + 1);
    putenv(kept);
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
