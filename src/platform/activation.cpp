// Activation of in-process servers. The registry names a server library for each class
// (CLSID\{clsid}\InProcServer32); the library is loaded once per process and kept in a table
// until CoFreeUnusedLibraries finds that its DllCanUnloadNow allows unloading it. The table holds
// exactly one dlopen reference per library, so unloading really removes the library from the
// process (the project builds without unique symbols, which would pin it).
//
// The door (door.h) guards the table and is the one lock held while the layer calls into a
// server: a thread that waits for it holds nothing else, so a thread inside a server whose host
// code activates again (the door lets it in) cannot deadlock against one that is activating. The
// registry is read before the door is taken, its own lock never held across a call out.
//
// With PRAVELL_PLATFORM_DEBUG=1, the loader's reason for a library that does not load is printed
// on standard error.
#include "platform/activation.h"

#include "platform/codepage.h"
#include "platform/debuglog.h"
#include "platform/door.h"
#include "platform/guid.h"
#include "platform/guidtext.h"
#include "platform/registry.h"

#include <dlfcn.h>

#include <algorithm>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

namespace Ostrel {

namespace {

thread_local int initializations = 0;

// A thread that has left a server may still be running the last instructions of the call that
// let go of its last object (a Release returning after it left the door). A library is unloaded
// only when no thread came in through the door for this long, as the system delays the unloading
// of libraries that several threads use.
constexpr std::chrono::milliseconds kUnloadGrace(20);

struct LoadedServer {
    void* library;
    LPFNGETCLASSOBJECT getClassObject;
    LPFNCANUNLOADNOW canUnloadNow; // null when the library never allows unloading
};

// Read and changed only inside the door. Never destroyed: hosts release objects late in process
// exit.
std::vector<LoadedServer>& Servers() {
    static auto* servers = new std::vector<LoadedServer>;
    return *servers;
}

// No C++ exception leaves an exported call; the only ones possible come from allocating.
template <typename Body>
HRESULT Guarded(Body body) {
    try {
        return body();
    } catch (...) {
        return E_OUTOFMEMORY;
    }
}

std::string Narrow(LPCOLESTR text) {
    int needed = WideCharToMultiByte(CP_ACP, 0, text, -1, nullptr, 0, nullptr, nullptr);
    if (needed <= 1) {
        return {};
    }
    std::string narrow(static_cast<size_t>(needed), '\0');
    WideCharToMultiByte(CP_ACP, 0, text, -1, &narrow[0], needed, nullptr, nullptr);
    narrow.resize(static_cast<size_t>(needed) - 1);
    return narrow;
}

std::string GuidKeyName(REFGUID guid) {
    OLECHAR text[39];
    StringFromGUID2(guid, text, 39);
    return std::string(text, text + 38);
}

// The text of a key's default value, up to its first NUL.
LONG ReadDefaultText(const std::string& path, std::string& text) {
    HKEY key = nullptr;
    LONG status = RegOpenKeyExA(HKEY_CLASSES_ROOT, path.c_str(), 0, KEY_QUERY_VALUE, &key);
    if (status != ERROR_SUCCESS) {
        return status;
    }
    std::string data;
    DWORD size = 0;
    DWORD type = REG_NONE;
    do {
        data.resize(size);
        status =
            RegQueryValueExA(key, nullptr, nullptr, &type,
                             data.empty() ? nullptr : reinterpret_cast<BYTE*>(&data[0]), &size);
    } while (status == ERROR_MORE_DATA || (status == ERROR_SUCCESS && size > data.size()));
    RegCloseKey(key);
    if (status == ERROR_SUCCESS && type != REG_SZ && type != REG_EXPAND_SZ) {
        status = ERROR_FILE_NOT_FOUND;
    }
    text = data.substr(0, data.find('\0'));
    return status;
}

// A key that is missing or cannot even be named means "not registered"; anything else means the
// registry could not be read.
HRESULT RegistryFailure(LONG status, HRESULT notRegistered) {
    return status == ERROR_FILE_NOT_FOUND || status == ERROR_BAD_PATHNAME ? notRegistered
                                                                          : REGDB_E_READREGDB;
}

HRESULT FindServerPath(REFCLSID clsid, DWORD context, std::string& path) {
    if ((context & CLSCTX_INPROC_SERVER) == 0) {
        return REGDB_E_CLASSNOTREG;
    }
    LONG status = ReadDefaultText("CLSID\\" + GuidKeyName(clsid) + "\\InProcServer32", path);
    if (status != ERROR_SUCCESS) {
        return RegistryFailure(status, REGDB_E_CLASSNOTREG);
    }
    return path.empty() ? REGDB_E_CLASSNOTREG : S_OK;
}

// The table's entry for the library at path, loading it when it is not loaded yet.
HRESULT LoadServer(const std::string& path, LoadedServer& server) {
    std::vector<LoadedServer>& servers = Servers();
    void* library = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (library == nullptr) {
        PlatformDebug("server library %s does not load: %s", path.c_str(), dlerror());
        // The system answers the loader's own failure.
        return HRESULT_FROM_WIN32(ERROR_MOD_NOT_FOUND);
    }
    for (const LoadedServer& loaded : servers) {
        if (loaded.library == library) {
            dlclose(library); // the table keeps its one reference
            server = loaded;
            return S_OK;
        }
    }
    auto getClassObject = reinterpret_cast<LPFNGETCLASSOBJECT>(dlsym(library, "DllGetClassObject"));
    if (getClassObject == nullptr) {
        PlatformDebug("server library %s exports no DllGetClassObject", path.c_str());
        dlclose(library);
        return CO_E_DLLNOTFOUND;
    }
    server = LoadedServer{library, getClassObject,
                          reinterpret_cast<LPFNCANUNLOADNOW>(dlsym(library, "DllCanUnloadNow"))};
    servers.push_back(server);
    return S_OK;
}

bool AllowsUnloading(const LoadedServer& server) {
    return server.canUnloadNow != nullptr && server.canUnloadNow() == S_OK;
}

// The class object of the server at path. Called inside the door.
HRESULT ClassObjectAt(const std::string& path, REFCLSID clsid, REFIID riid, LPVOID* object) {
    LoadedServer server{};
    if (HRESULT loaded = LoadServer(path, server); FAILED(loaded)) {
        return loaded;
    }
    return server.getClassObject(clsid, riid, object);
}

} // namespace

} // namespace Ostrel

using namespace Ostrel;

extern "C" HRESULT CoInitialize(LPVOID reserved) {
    return CoInitializeEx(reserved, COINIT_APARTMENTTHREADED);
}

extern "C" HRESULT CoInitializeEx(LPVOID, DWORD) {
    return initializations++ == 0 ? S_OK : S_FALSE;
}

extern "C" void CoUninitialize() {
    if (initializations > 0) {
        --initializations;
    }
}

extern "C" HRESULT CLSIDFromProgID(LPCOLESTR progId, LPCLSID clsid) {
    return Guarded([&]() -> HRESULT {
        if (progId == nullptr || clsid == nullptr) {
            return E_INVALIDARG;
        }
        // The system answers the null identifier with every failure.
        *clsid = GUID_NULL;
        std::string name = Narrow(progId);
        if (name.empty()) {
            return CO_E_CLASSSTRING;
        }
        std::string text;
        LONG status = ReadDefaultText(name + "\\CLSID", text);
        if (status != ERROR_SUCCESS) {
            return RegistryFailure(status, CO_E_CLASSSTRING);
        }
        std::u16string wide(text.begin(), text.end());
        return ReadGuidText(wide.c_str(), clsid) ? S_OK : CO_E_CLASSSTRING;
    });
}

extern "C" HRESULT CLSIDFromString(LPCOLESTR text, LPCLSID clsid) {
    if (clsid == nullptr) {
        return E_INVALIDARG;
    }
    if (text == nullptr) {
        *clsid = GUID_NULL;
        return S_OK;
    }
    // What the identifier's reading wrote stays when the text is no programmatic identifier
    // either.
    if (ReadGuidText(text, clsid)) {
        return S_OK;
    }
    CLSID named = GUID_NULL;
    HRESULT result = CLSIDFromProgID(text, &named);
    if (SUCCEEDED(result)) {
        *clsid = named;
        return S_OK;
    }
    return result == REGDB_E_READREGDB || result == E_OUTOFMEMORY ? result : CO_E_CLASSSTRING;
}

extern "C" HRESULT CoGetClassObject(REFCLSID clsid, DWORD context, LPVOID, REFIID riid,
                                    LPVOID* object) {
    return Guarded([&]() -> HRESULT {
        if (object == nullptr) {
            return E_INVALIDARG;
        }
        *object = nullptr;
        std::string path;
        if (HRESULT found = FindServerPath(clsid, context, path); FAILED(found)) {
            return found;
        }
        const InsideDoor inside;
        return ClassObjectAt(path, clsid, riid, object);
    });
}

extern "C" HRESULT CoCreateInstance(REFCLSID clsid, LPUNKNOWN outer, DWORD context, REFIID riid,
                                    LPVOID* object) {
    if (object == nullptr) {
        return E_POINTER;
    }
    *object = nullptr;
    return Guarded([&]() -> HRESULT {
        std::string path;
        if (HRESULT found = FindServerPath(clsid, context, path); FAILED(found)) {
            return found;
        }
        // From the lookup through the new object: the factory holds no reference on its
        // library, so only the door keeps another thread's CoFreeUnusedLibraries from unloading
        // it in between.
        const InsideDoor inside;
        IClassFactory* factory = nullptr;
        HRESULT result =
            ClassObjectAt(path, clsid, IID_IClassFactory, reinterpret_cast<void**>(&factory));
        if (FAILED(result)) {
            return result;
        }
        if (factory == nullptr) {
            return E_UNEXPECTED;
        }
        result = factory->CreateInstance(outer, riid, object);
        factory->Release();
        return result;
    });
}

extern "C" void CoFreeUnusedLibraries() {
    unsigned long entries = 0;
    {
        const InsideDoor inside;
        const std::vector<LoadedServer>& servers = Servers();
        if (std::none_of(servers.begin(), servers.end(), AllowsUnloading)) {
            return;
        }
        entries = InsideDoor::Entries();
    }
    std::this_thread::sleep_for(kUnloadGrace);
    // Inside the door no thread is in a server, nor between a lookup and its new object; the
    // one entry since is this one.
    const InsideDoor inside;
    if (InsideDoor::Entries() != entries + 1) {
        return;
    }
    std::vector<LoadedServer>& servers = Servers();
    // By index: a server's DllCanUnloadNow may itself load another server.
    for (size_t i = 0; i < servers.size();) {
        LoadedServer server = servers[i];
        if (AllowsUnloading(server)) {
            servers.erase(servers.begin() + static_cast<std::ptrdiff_t>(i));
            dlclose(server.library);
        } else {
            ++i;
        }
    }
}
