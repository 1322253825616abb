#include "Components.h"

#include "FailureReport.h"

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

HRESULT FindClass(const char* progId, CLSID& clsid) {
    const std::u16string wide(progId, progId + std::char_traits<char>::length(progId));
    return CLSIDFromProgID(wide.c_str(), &clsid);
}

} // namespace

bool CreateComponent(const char* progId, LateBound& object) {
    CLSID clsid;
    HRESULT status = FindClass(progId, clsid);
    IDispatch* created = nullptr;
    if (SUCCEEDED(status)) {
        status = CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch,
                                  reinterpret_cast<void**>(&created));
    }
    if (FAILED(status) || created == nullptr) {
        ReportFailure(Explain(progId, FAILED(status) ? status : E_UNEXPECTED));
        return false;
    }
    object = LateBound(created);
    return true;
}

std::string RegisteredClass(const char* progId) {
    CLSID clsid;
    LPOLESTR text = nullptr;
    if (FAILED(FindClass(progId, clsid)) || FAILED(StringFromCLSID(clsid, &text))) {
        return {};
    }
    std::string narrow(text, text + 38);
    CoTaskMemFree(text);
    return narrow;
}

} // namespace Ostrel
