// A host built against an installed tree with nothing but pkg-config's flags: it registers the
// installed library in the registry PRAVELL_REGISTRY names, creates a model by programmatic
// identifier, loads a document into it and unregisters the library again.
#include "platform/com.h"
#include "pravell_idl.h"

#include <dlfcn.h>

#include <cstdio>

namespace {

// Whether the step succeeded; says which failed and how.
bool Check(const char* step, HRESULT result) {
    if (FAILED(result)) {
        std::fprintf(stderr, "%s failed: 0x%08X\n", step, static_cast<unsigned>(result));
    }
    return SUCCEEDED(result);
}

bool Call(void* library, const char* entryPoint) {
    auto entry = reinterpret_cast<HRESULT (*)()>(dlsym(library, entryPoint));
    return Check(entryPoint, entry == nullptr ? E_NOTIMPL : entry());
}

bool CreateAndLoad() {
    CLSID classId{};
    IDispatchXMLModel* model = nullptr;
    if (!Check("CLSIDFromProgID", CLSIDFromProgID(OLESTR("Corvantis.XMLModel"), &classId)) ||
        !Check("CoCreateInstance",
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
    void* library = argc == 2 ? dlopen(argv[1], RTLD_NOW) : nullptr;
    if (library == nullptr) {
        std::fprintf(stderr, "%s: %s\n", argv[0], argc == 2 ? dlerror() : "usage: host LIBRARY");
        return 1;
    }
    const bool ok = Call(library, "DllRegisterServer") && CreateAndLoad() &&
                    Call(library, "DllUnregisterServer");
    CoFreeUnusedLibraries();
    dlclose(library);
    return ok ? 0 : 1;
}
