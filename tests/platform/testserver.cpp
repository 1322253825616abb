// A tiny in-process server: one class whose objects answer only IUnknown, a count of live
// objects that DllCanUnloadNow reports (the factory takes no locks), and a load-time
// constructor that counts loads where the count survives unloading.
#include "testserver.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

int liveObjects = 0;

// The count lives in the environment, which outlives the library. Its entry is made once, with
// room for any count, and never freed (the environment holds it, or a copy of its own); later
// loads rewrite its digits in place, so no load leaves an entry behind.
constexpr int kCountDigits = 9;

__attribute__((constructor)) void CountLoad() {
    char* count = std::getenv(testServerLoadsVariable);
    if (count == nullptr || std::strlen(count) != kCountDigits) {
        const std::string entry =
            std::string(testServerLoadsVariable) + "=" + std::string(kCountDigits, '0');
        char* kept = new char[entry.size() + 1];
        std::memcpy(kept, entry.c_str(), entry.size() + 1);
        putenv(kept);
        count = std::getenv(testServerLoadsVariable);
    }
    const unsigned next = static_cast<unsigned>(std::strtoul(count, nullptr, 10) + 1) % 1000000000u;
    std::snprintf(count, kCountDigits + 1, "%09u", next);
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
