// A host built against an installed tree with nothing but pkg-config's flags: it registers the
// installed library in the registry PRAVELL_REGISTRY names, creates a model by programmatic
// identifier, loads a document into it and unregisters the library again.
#include "platform/com.h"
#include "pravell_idl.h"

#include <dlfcn.h>

#include <cstdio>

namespace {

typedef HRESULT (*RegistrationEntry)();

bool Check(const char* step, HRESULT result) {
    if (FAILED(result)) {
        std::fprintf(stderr, "%s failed: 0x%08X\n", step, static_cast<unsigned>(result));
        return false;
    }
    return true;
}

bool CreateAndLoad() {
    CLSID classId{};
    if (!Check("CLSIDFromProgID", CLSIDFromProgID(OLESTR("Corvantis.XMLModel"), &classId))) {
        return false;
    }
    IDispatchXMLModel* model = nullptr;
    if (!Check("CoCreateInstance",
               CoCreateInstance(classId, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatchXMLModel,
                                reinterpret_cast<void**>(&model)))) {
        return false;
    }
    BSTR document = SysAllocString(OLESTR("<installed/>"));
    const bool loaded = Check("LoadFromString", model->LoadFromString(document));
    SysFreeString(document);
    model->Release();
    return loaded;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s LIBRARY\n", argv[0]);
        return 2;
    }
    void* library = dlopen(argv[1], RTLD_NOW);
    if (library == nullptr) {
        std::fprintf(stderr, "%s\n", dlerror());
        return 1;
    }
    auto registerServer = reinterpret_cast<RegistrationEntry>(dlsym(library, "DllRegisterServer"));
    auto unregisterServer =
        reinterpret_cast<RegistrationEntry>(dlsym(library, "DllUnregisterServer"));
    const bool ok = registerServer != nullptr && unregisterServer != nullptr &&
                    Check("DllRegisterServer", registerServer()) && CreateAndLoad() &&
                    Check("DllUnregisterServer", unregisterServer());
    CoFreeUnusedLibraries();
    dlclose(library);
    return ok ? 0 : 1;
}
