#include "host/ComponentLibrary.h"

#include "host/LibraryLoader.h"

namespace Ostrel {

ComponentLibrary::ComponentLibrary(const std::string& path) {
    library = OpenLibrary(path, loadFailure);
}

ComponentLibrary::~ComponentLibrary() {
    if (library != nullptr) {
        CloseLibrary(library);
    }
}

template <typename EntryPoint>
EntryPoint ComponentLibrary::Find(const char* name) const {
    return library == nullptr ? nullptr : reinterpret_cast<EntryPoint>(LibraryEntry(library, name));
}

bool ComponentLibrary::Exports(const char* entryPoint) const {
    return Find<void*>(entryPoint) != nullptr;
}

// DllRegisterServer and DllUnregisterServer have the signature of DllCanUnloadNow.
HRESULT ComponentLibrary::CallEntry(const char* name) const {
    const auto entry = Find<LPFNCANUNLOADNOW>(name);
    return library == nullptr ? CO_E_DLLNOTFOUND : entry == nullptr ? CO_E_ERRORINDLL : entry();
}

HRESULT ComponentLibrary::Register() const {
    return CallEntry("DllRegisterServer");
}

HRESULT ComponentLibrary::Unregister() const {
    return CallEntry("DllUnregisterServer");
}

HRESULT ComponentLibrary::CanUnloadNow() const {
    return CallEntry("DllCanUnloadNow");
}

HRESULT ComponentLibrary::GetClassObject(REFCLSID clsid, REFIID riid, void** object) const {
    const auto entry = Find<LPFNGETCLASSOBJECT>("DllGetClassObject");
    return library == nullptr ? CO_E_DLLNOTFOUND
           : entry == nullptr ? CO_E_ERRORINDLL
                              : entry(clsid, riid, object);
}

HRESULT ComponentLibrary::Create(REFCLSID clsid, LateBound& object) const {
    IClassFactory* factory = nullptr;
    HRESULT status = GetClassObject(clsid, IID_IClassFactory, reinterpret_cast<void**>(&factory));
    if (FAILED(status)) {
        return status;
    }
    IDispatch* created = nullptr;
    status = factory->CreateInstance(nullptr, IID_IDispatch, reinterpret_cast<void**>(&created));
    factory->Release();
    if (SUCCEEDED(status)) {
        object = LateBound(created);
    }
    return status;
}

} // namespace Ostrel
