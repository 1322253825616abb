#include "server/COMServer.h"

namespace Ostrel {

COMServer::COMServer(HMODULE instance) : DLLModule(instance) {}

COMServer::~COMServer() {
    for (COMFactory* factory : classes) {
        delete factory;
    }
    for (TypeLibraryRecord* record : typeLibraries) {
        delete record;
    }
}

void COMServer::AddTypeLibrary(const Text& path, REFGUID library, WORD major, WORD minor) {
    std::unique_ptr<TypeLibraryRecord> record(new TypeLibraryRecord{path, library, major, minor});
    typeLibraries.Append(record.get());
    record.release(); // NOLINT(bugprone-unused-return-value): the table holds it now
}

void COMServer::AddClass(std::unique_ptr<COMFactory> factory) {
    classes.Append(factory.get());
    factory.release(); // NOLINT(bugprone-unused-return-value): the table holds it now
}

COMFactory* COMServer::FindFactory(REFCLSID classId) const {
    for (COMFactory* factory : classes) {
        if (factory->ClassId() == classId) {
            return factory;
        }
    }
    return nullptr;
}

} // namespace Ostrel
