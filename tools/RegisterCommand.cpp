#include "Command.h"
#include "Components.h"
#include "FailureReport.h"
#include "LibraryRegistration.h"
#include "platform/regstore.h"

#include <cstdio>

namespace Ostrel {

namespace {

int RunRegister(const char* const* operands) {
    std::string path;
    if (!RunRegistrationStep(operands[0], kRegisterStep, path)) {
        return kExitFailure;
    }
    std::printf("Registered %s\n", path.c_str());
    for (const char* progId : {kModelProgId, kParserProgId}) {
        const std::string clsid = RegisteredClass(progId);
        if (clsid.empty()) {
            return ReportFailure(std::string("the registry holds no ") + progId +
                                 " after the registration");
        }
        std::printf("  %-30s%s\n", progId, clsid.c_str());
    }
    std::printf("in the registry %s\n", RegistryFilePath().c_str());
    return kExitSuccess;
}

} // namespace

extern const Command kRegisterCommand = {
    "register",
    "[LIBRARY]",
    0,
    1,
    false,
    "make the library's classes known in the registry",
    "Loads the library LIBRARY (by default libpravell.so beside this program, else in the\n"
    "library folder of its installation) and calls its DllRegisterServer, which records the\n"
    "classes \"Corvantis.XMLModel\" and \"Corvantis.StreamingXMLParser\" and the type libraries\n"
    "pravell.tlb and utils.tlb beside it. Prints the library, the class identifiers read back\n"
    "from the registry and the registry's file: the one PRAVELL_REGISTRY names, else\n"
    "$XDG_DATA_HOME/pravell/registry, else ~/.local/share/pravell/registry.\n",
    RunRegister,
};

} // namespace Ostrel
