// The class factory of one creatable class. It lives as long as the module's class list that
// owns it, so it is never reference-counted: AddRef and Release change nothing, and every
// DllGetClassObject hands out the same factory. Every method holds the door (platform/door.h).
#pragma once

#include "platform/com.h"
#include "text/Text.h"

namespace Ostrel {

// Answers a new object of the class with reference count 0, or null when it cannot be made.
typedef IUnknown* (*CreatingRoutine)();

class COMFactory : public IClassFactory {
public:
    // An empty or null `progId` registers the class by class identifier only.
    COMFactory(REFCLSID classId, const char* progId, const char* friendlyName,
               CreatingRoutine create);
    COMFactory(const COMFactory&) = delete;
    COMFactory& operator=(const COMFactory&) = delete;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;
    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID riid, void** object) override;
    HRESULT STDMETHODCALLTYPE LockServer(BOOL lock) override;
    virtual ~COMFactory() = default;

    // The class identifier in registry form: braces around upper-case hexadecimal groups.
    const Text& ClassIdText() const { return classIdText; }
    const Text& ProgId() const { return progId; }
    const Text& FriendlyName() const { return friendlyName; }
    REFCLSID ClassId() const { return classId; }

    // Locks held through LockServer by every factory of the module; read by DllCanUnloadNow.
    static LONG LockCount();

private:
    Text classIdText;
    Text progId;
    Text friendlyName;
    CLSID classId;
    CreatingRoutine create;
};

} // namespace Ostrel
