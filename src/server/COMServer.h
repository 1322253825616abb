// The server object of the module: its place on disk (DLLModule), the class factories it serves
// and the type libraries it registers, each list in the order its entries were added.
#pragma once

#include "server/COMFactory.h"
#include "server/DLLModule.h"
#include "server/TypeLibraryRecord.h"
#include "text/GrowableArray.h"

#include <memory>

namespace Ostrel {

class COMServer : public DLLModule {
public:
    explicit COMServer(HMODULE instance);
    ~COMServer() override;

    // The server owns what it is given, even when adding it fails.
    void AddTypeLibrary(const Text& path, REFGUID library, WORD major, WORD minor);
    void AddClass(std::unique_ptr<COMFactory> factory);

    // The first factory of that class, or null.
    COMFactory* FindFactory(REFCLSID classId) const;

    const GrowableArray<COMFactory*>& Classes() const { return classes; }
    const GrowableArray<TypeLibraryRecord*>& TypeLibraries() const { return typeLibraries; }

private:
    GrowableArray<COMFactory*> classes{10};
    GrowableArray<TypeLibraryRecord*> typeLibraries{10};
};

} // namespace Ostrel
