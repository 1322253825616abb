#include "server/ServerRegistration.h"

namespace Ostrel {

namespace {

// The system kind RegisterTypeLib files the type libraries under: the one their compiler
// wrote, for the pointer width of this build. Unregistering under another kind would find no
// keys and fail.
const SYSKIND kRegisteredSystemKind = sizeof(void*) == 8 ? SYS_WIN64 : SYS_WIN32;

// Creates the key under HKEY_CLASSES_ROOT together with its default value, in one call, so that a
// registration cut short never leaves the key without its value.
bool WriteKey(const Text& path, const Text& value) {
    return RegSetKeyValueA(HKEY_CLASSES_ROOT, path.c_str(), nullptr, REG_SZ, value.c_str(),
                           static_cast<DWORD>(value.Length() + 1)) == ERROR_SUCCESS;
}

Text ClassKey(const COMFactory& factory) {
    return Text("CLSID\\") + factory.ClassIdText().c_str();
}

// Stops at the first key that cannot be written; the platform would not find the class by the
// keys after it anyway.
bool WriteClassKeys(const COMServer& server, const COMFactory& factory) {
    const Text classKey = ClassKey(factory);
    if (!WriteKey(classKey, factory.FriendlyName()) ||
        !WriteKey(classKey + "\\InProcServer32", server.ModulePath())) {
        return false;
    }
    if (server.TypeLibraries().Count() > 0 &&
        !WriteKey(classKey + "\\TypeLib", Text::FromCLSID(server.TypeLibraries()[0]->library))) {
        return false;
    }
    const Text& progId = factory.ProgId();
    if (progId.IsEmpty()) {
        return true;
    }
    return WriteKey(classKey + "\\ProgID", progId) && WriteKey(progId, factory.FriendlyName()) &&
           WriteKey(progId + "\\CLSID", factory.ClassIdText());
}

void DeleteClassKeys(const COMFactory& factory) {
    const Text classKey = ClassKey(factory);
    for (const char* subKey : {"\\InProcServer32", "\\LocalServer32", "\\TypeLib", "\\ProgID"}) {
        RegDeleteKeyA(HKEY_CLASSES_ROOT, (classKey + subKey).c_str());
    }
    RegDeleteKeyA(HKEY_CLASSES_ROOT, classKey.c_str());
    const Text& progId = factory.ProgId();
    if (!progId.IsEmpty()) {
        RegDeleteKeyA(HKEY_CLASSES_ROOT, (progId + "\\CLSID").c_str());
        RegDeleteKeyA(HKEY_CLASSES_ROOT, progId.c_str());
    }
}

HRESULT RegisterTypeLibrary(const TypeLibraryRecord& record) {
    BSTR path = record.path.ToBSTR();
    ITypeLib* library = nullptr;
    HRESULT result = LoadTypeLib(path, &library);
    if (SUCCEEDED(result)) {
        result = RegisterTypeLib(library, path, nullptr);
        library->Release();
    }
    SysFreeString(path);
    return result;
}

} // namespace

HRESULT RegisterServer(const COMServer& server) {
    bool classesWritten = true;
    for (const COMFactory* factory : server.Classes()) {
        if (!WriteClassKeys(server, *factory)) {
            classesWritten = false;
        }
    }
    HRESULT result = S_OK;
    for (const TypeLibraryRecord* record : server.TypeLibraries()) {
        if (record->path.IsEmpty()) {
            continue;
        }
        result = RegisterTypeLibrary(*record);
        if (FAILED(result)) {
            return result;
        }
    }
    return classesWritten ? result : SELFREG_E_CLASS;
}

HRESULT UnregisterServer(const COMServer& server) {
    for (const COMFactory* factory : server.Classes()) {
        DeleteClassKeys(*factory);
    }
    HRESULT result = S_OK;
    for (const TypeLibraryRecord* record : server.TypeLibraries()) {
        if (record->path.IsEmpty()) {
            continue;
        }
        result = UnRegisterTypeLib(record->library, record->major, record->minor, 0,
                                   kRegisteredSystemKind);
        if (FAILED(result)) {
            return result;
        }
    }
    return result;
}

} // namespace Ostrel
