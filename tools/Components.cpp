#include "Components.h"

#include "FailureReport.h"
#include "host/AutomationText.h"
#include "host/Component.h"

#include <string>

namespace Ostrel {

extern const char kModelProgId[] = "Corvantis.XMLModel";
extern const char kParserProgId[] = "Corvantis.StreamingXMLParser";

namespace {

std::string Explain(const char* progId, HRESULT status) {
    const std::string name = progId;
    switch (status) {
    case CO_E_CLASSSTRING:
    case REGDB_E_CLASSNOTREG:
        return name + " is not registered: run `pravell register`";
    case HRESULT_FROM_WIN32(ERROR_MOD_NOT_FOUND):
    case CO_E_DLLNOTFOUND:
    case CO_E_ERRORINDLL:
        return "the library registered for " + name +
               " does not load: run `pravell register` again (PRAVELL_PLATFORM_DEBUG=1 shows why)";
    case REGDB_E_READREGDB:
        return "the registry cannot be read while looking for " + name;
    default:
        return HexStatus("cannot create " + name, status);
    }
}

} // namespace

bool CreateRegistered(const char* progId, LateBound& object) {
    const HRESULT status = CreateComponent(progId, object);
    if (FAILED(status)) {
        ReportFailure(Explain(progId, status));
    }
    return SUCCEEDED(status);
}

std::string RegisteredClass(const char* progId) {
    CLSID clsid;
    LPOLESTR text = nullptr;
    if (FAILED(FindClass(progId, clsid)) || FAILED(StringFromCLSID(clsid, &text))) {
        return {};
    }
    std::string narrow = ToUtf8(text, 38);
    CoTaskMemFree(text);
    return narrow;
}

} // namespace Ostrel
