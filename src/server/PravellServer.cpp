#include "server/PravellServer.h"

#include "dispatch/DispatchClassInfo.h"
#include "model/HExternalXMLModel.h"
#include "pravell_idl.h"
#include "streaming/HExternalXMLParser.h"
#include "utils_idl.h"

#include <new>

namespace Ostrel {

namespace {

PravellServer* running = nullptr;

// The objects count themselves as live from construction on, so the creating routines only
// allocate them.
IUnknown* CreateXMLParser() {
    return static_cast<IDispatchXMLParser*>(new (std::nothrow) HExternalXMLParser());
}

IUnknown* CreateXMLModel() {
    try {
        return static_cast<IDispatchXMLModel*>(new HExternalXMLModel());
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}

} // namespace

PravellServer::PravellServer(HMODULE instance) : COMServer(instance) {
    AddTypeLibrary(TypeLibraryDirectory() + "pravell.tlb", LIBID_Pravell, 1, 0);
    AddTypeLibrary(TypeLibraryDirectory() + "utils.tlb", LIBID_PravellUtils, 1, 0);
    AddClass(std::make_unique<COMFactory>(CLSID_StreamingXMLParser, "Corvantis.StreamingXMLParser",
                                          "Corvantis Streaming XML Parser", CreateXMLParser));
    AddClass(std::make_unique<COMFactory>(CLSID_XMLModel, "Corvantis.XMLModel",
                                          "Corvantis XML Model", CreateXMLModel));
}

bool PravellServer::Start(HMODULE instance) {
    try {
        running = new PravellServer(instance);
        return true;
    } catch (const std::bad_alloc&) {
        return false;
    }
}

void PravellServer::Stop() {
    delete running;
    running = nullptr;
    DispatchClassInfo::ReleaseAll();
}

PravellServer* PravellServer::Running() {
    return running;
}

} // namespace Ostrel
