#include "Command.h"
#include "Components.h"
#include "FailureReport.h"
#include "LibraryRegistration.h"
#include "platform/regstore.h"

#include <cstdio>

namespace Ostrel {

namespace {

int RunUnregister(const char* const* operands) {
    std::string path;
    if (!RunRegistrationStep(operands[0], kUnregisterStep, path)) {
        return kExitFailure;
    }
    for (const char* progId : {kModelProgId, kParserProgId}) {
        if (!RegisteredClass(progId).empty()) {
            return ReportFailure(std::string("the registry still holds ") + progId +
                                 " after the unregistration");
        }
    }
    std::printf("Unregistered %s\n  %s\n  %s\nfrom the registry %s\n", path.c_str(), kModelProgId,
                kParserProgId, RegistryFilePath().c_str());
    return kExitSuccess;
}

} // namespace

extern const Command kUnregisterCommand = {
    "unregister",
    "[LIBRARY]",
    0,
    1,
    false,
    "remove the library's classes from the registry",
    "Loads the library LIBRARY (found as for `pravell register`) and calls its\n"
    "DllUnregisterServer, which removes the classes \"Corvantis.XMLModel\" and\n"
    "\"Corvantis.StreamingXMLParser\" and their type libraries from the registry. Prints the\n"
    "library, the classes and the registry's file.\n",
    RunUnregister,
};

} // namespace Ostrel
