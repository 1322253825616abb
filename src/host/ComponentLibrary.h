// A component library loaded from its file, as an installer or a host that bypasses the
// registry reaches it: loaded when constructed, unloaded when destroyed, its entry points looked
// up by name. Nothing is registered by loading it.
//
//     ComponentLibrary library("/opt/lib/libpravell.so");
//     if (library.IsLoaded() && SUCCEEDED(library.Register())) ...
#pragma once

#include "host/LateBound.h"
#include "platform/com.h"

#include <string>

namespace Ostrel {

class ComponentLibrary {
public:
    // A relative path is taken from the current folder.
    explicit ComponentLibrary(const std::string& path);
    ComponentLibrary(const ComponentLibrary&) = delete;
    ComponentLibrary& operator=(const ComponentLibrary&) = delete;
    ~ComponentLibrary();

    bool IsLoaded() const { return library != nullptr; }
    // Why the library did not load, in the system loader's words.
    const std::string& LoadFailure() const { return loadFailure; }
    bool Exports(const char* entryPoint) const;

    // The entry points of an in-process server. Each answers CO_E_DLLNOTFOUND when the library
    // did not load and CO_E_ERRORINDLL when it does not export the entry point.
    HRESULT Register() const;
    HRESULT Unregister() const;
    HRESULT CanUnloadNow() const;
    HRESULT GetClassObject(REFCLSID clsid, REFIID riid, void** object) const;
    // A new object of the class that the library serves, asked for IDispatch from the class's
    // factory. The object keeps nothing loaded: release it before the library goes.
    HRESULT Create(REFCLSID clsid, LateBound& object) const;

private:
    template <typename EntryPoint>
    EntryPoint Find(const char* name) const;
    HRESULT CallEntry(const char* name) const;

    void* library = nullptr;
    std::string loadFailure;
};

} // namespace Ostrel
