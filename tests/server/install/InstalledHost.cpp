// A host built against an installed tree with nothing but pkg-config's flags: through the
// installed host library it registers the installed library in the registry PRAVELL_REGISTRY
// names, creates a model by programmatic identifier, loads a document into it by name and
// unregisters the library again. A failure is told by its status and reason.
#include "host/Arguments.h"
#include "host/Component.h"
#include "host/ComponentLibrary.h"

#include <cstdio>

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s LIBRARY\n", argv[0]);
        return 2;
    }
    HRESULT status = E_FAIL;
    {
        const Ostrel::ComponentLibrary library(argv[1]);
        Ostrel::LateBound model;
        status = library.Register();
        status = SUCCEEDED(status) ? Ostrel::CreateComponent("Corvantis.XMLModel", model) : status;
        status = SUCCEEDED(status)
                     ? model.Call("LoadFromString", {Ostrel::TextArgument("<installed/>")})
                     : status;
        model.Reset();
        status = SUCCEEDED(status) ? library.Unregister() : status;
        if (FAILED(status)) {
            std::fprintf(stderr, "%s: 0x%08X %s%s\n", argv[0], static_cast<unsigned>(status),
                         library.LoadFailure().c_str(), model.Failure().c_str());
        }
    }
    CoFreeUnusedLibraries();
    return FAILED(status) ? 1 : 0;
}
