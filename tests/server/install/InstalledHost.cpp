// A host built against an installed tree with nothing but pkg-config's flags: through the
// installed host library it registers the installed library in the registry PRAVELL_REGISTRY
// names, creates a model by programmatic identifier, loads a document into it by name and
// unregisters the library again.
#include "host/Arguments.h"
#include "host/Component.h"
#include "host/ComponentLibrary.h"

#include <cstdio>

namespace {

// Whether the step succeeded; says which failed and how.
bool Check(const char* step, HRESULT result) {
    if (FAILED(result)) {
        std::fprintf(stderr, "%s failed: 0x%08X\n", step, static_cast<unsigned>(result));
    }
    return SUCCEEDED(result);
}

bool CreateAndLoad() {
    Ostrel::LateBound model;
    if (!Check("CreateComponent", Ostrel::CreateComponent("Corvantis.XMLModel", model))) {
        return false;
    }
    return model.Do("LoadFromString", {Ostrel::TextArgument("<installed/>")}) ||
           Check(model.Failure().c_str(), model.Status());
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s LIBRARY\n", argv[0]);
        return 2;
    }
    bool ok = false;
    {
        Ostrel::ComponentLibrary library(argv[1]);
        if (!library.IsLoaded()) {
            std::fprintf(stderr, "%s: %s\n", argv[0], library.LoadFailure().c_str());
            return 1;
        }
        ok = Check("DllRegisterServer", library.Register()) && CreateAndLoad() &&
             Check("DllUnregisterServer", library.Unregister());
    }
    CoFreeUnusedLibraries();
    return ok ? 0 : 1;
}
