// Registration of type libraries, with the keys that Windows writes:
//
//   TypeLib\{libid}\<major>.<minor>                  @ = helpstring (or name) of the library
//   TypeLib\{libid}\<major>.<minor>\FLAGS            @ = the library's own flags, decimal
//   TypeLib\{libid}\<major>.<minor>\HELPDIR          @ = help directory (default: the file's)
//   TypeLib\{libid}\<major>.<minor>\<lcid>\win32     @ = path of the file
//   Interface\{iid}                                  @ = interface name
//   Interface\{iid}\ProxyStubClsid, ProxyStubClsid32 @ = the automation marshaler's class
//   Interface\{iid}\TypeLib                          @ = {libid}, Version = <major>.<minor>
//
// Versions and locales are hexadecimal without leading zeros, as on Windows. A library's keys are
// written in one change of the registry file, so that a registration cut short (a killed
// process) leaves all of them or none, never a key without its values.
#include "platform/bstr.h"
#include "platform/guid.h"
#include "platform/registry.h"
#include "platform/regstore.h"
#include "platform/typelib.h"
#include "platform/typelibobjects.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <new>

namespace Ostrel {

namespace {

// The class that marshals dual and automation interfaces by their type information.
constexpr char automationMarshaler[] = "{00020424-0000-0000-C000-000000000046}";
constexpr DWORD longestKeyName = 256;

std::string GuidText(REFGUID guid) {
    OLECHAR text[40];
    StringFromGUID2(guid, text, 40);
    std::string narrow;
    OleToUtf8(text, narrow);
    return narrow;
}

std::string Hex(DWORD value) {
    char text[16];
    std::snprintf(text, sizeof text, "%x", value);
    return text;
}

std::string VersionText(WORD major, WORD minor) {
    return Hex(major) + "." + Hex(minor);
}

std::string LibraryKey(REFGUID libid) {
    return "TypeLib\\" + GuidText(libid);
}

const char* SyskindText(SYSKIND syskind) {
    switch (syskind) {
    case SYS_WIN16:
        return "win16";
    case SYS_MAC:
        return "mac";
    case SYS_WIN64:
        return "win64";
    case SYS_WIN32:
        break;
    }
    return "win32";
}

class Key {
public:
    Key() = default;
    Key(const Key&) = delete;
    Key& operator=(const Key&) = delete;
    ~Key() {
        if (handle != nullptr) {
            RegCloseKey(handle);
        }
    }

    bool Open(const std::string& path, REGSAM access) {
        return RegOpenKeyExA(HKEY_CLASSES_ROOT, path.c_str(), 0, access, &handle) == ERROR_SUCCESS;
    }

    HKEY handle = nullptr;
};

// Sets a string value in the registry being changed, making the key and its parents as needed;
// `changed` is set when that changed anything.
void SetString(RegistryKey& root, bool& changed, const std::string& path, const char* name,
               const std::string& value) {
    RegistryKey* key = &root;
    for (size_t at = 0; at < path.size();) {
        const size_t end = std::min(path.find('\\', at), path.size());
        bool created = false;
        key = &key->AddSubkey(path.substr(at, end - at), created);
        changed = changed || created;
        at = end + 1;
    }
    changed = key->SetValue(name == nullptr ? "" : name, REG_SZ, value + '\0') || changed;
}

bool QueryString(const std::string& path, const char* name, std::string& value) {
    Key key;
    DWORD type = 0;
    DWORD size = 0;
    if (!key.Open(path, KEY_QUERY_VALUE) ||
        RegQueryValueExA(key.handle, name, nullptr, &type, nullptr, &size) != ERROR_SUCCESS ||
        type != REG_SZ) {
        return false;
    }
    value.assign(size, '\0');
    if (size > 0 && RegQueryValueExA(key.handle, name, nullptr, &type,
                                     reinterpret_cast<BYTE*>(&value[0]), &size) != ERROR_SUCCESS) {
        return false;
    }
    value.resize(size);
    while (!value.empty() && value.back() == '\0') {
        value.pop_back();
    }
    return true;
}

std::vector<std::string> SubKeys(const std::string& path) {
    std::vector<std::string> names;
    Key key;
    if (!key.Open(path, KEY_ENUMERATE_SUB_KEYS)) {
        return names;
    }
    char name[longestKeyName];
    DWORD length = longestKeyName;
    for (DWORD i = 0; RegEnumKeyExA(key.handle, i, name, &length, nullptr, nullptr, nullptr,
                                    nullptr) == ERROR_SUCCESS;
         ++i, length = longestKeyName) {
        names.emplace_back(name, length);
    }
    return names;
}

std::string NameOf(ITypeInfo* info) {
    BSTR name = nullptr;
    std::string narrow;
    if (SUCCEEDED(info->GetDocumentation(MEMBERID_NIL, &name, nullptr, nullptr, nullptr))) {
        OleToUtf8(name, SysStringLen(name), narrow);
    }
    SysFreeString(name);
    return narrow;
}

// Interfaces that callers reach across apartments through the automation marshaler.
bool IsAutomationInterface(const TYPEATTR& attributes) {
    return attributes.typekind == TKIND_DISPATCH ||
           (attributes.typekind == TKIND_INTERFACE &&
            (attributes.wTypeFlags & TYPEFLAG_FOLEAUTOMATION) != 0);
}

bool RegisterInterface(RegistryKey& root, bool& changed, ITypeInfo* info, const std::string& libid,
                       const std::string& version) {
    TYPEATTR* attributes = nullptr;
    if (FAILED(info->GetTypeAttr(&attributes))) {
        return false;
    }
    if (IsAutomationInterface(*attributes)) {
        std::string key = "Interface\\" + GuidText(attributes->guid);
        SetString(root, changed, key, nullptr, NameOf(info));
        SetString(root, changed, key + "\\ProxyStubClsid", nullptr, automationMarshaler);
        SetString(root, changed, key + "\\ProxyStubClsid32", nullptr, automationMarshaler);
        SetString(root, changed, key + "\\TypeLib", nullptr, libid);
        SetString(root, changed, key + "\\TypeLib", "Version", version);
    }
    info->ReleaseTypeAttr(attributes);
    return true;
}

bool RegisterInterfaces(RegistryKey& root, bool& changed, ITypeLib* library,
                        const TLIBATTR& attributes) {
    std::string libid = GuidText(attributes.guid);
    std::string version = VersionText(attributes.wMajorVerNum, attributes.wMinorVerNum);
    for (UINT i = 0; i < library->GetTypeInfoCount(); ++i) {
        ITypeInfo* info = nullptr;
        if (FAILED(library->GetTypeInfo(i, &info))) {
            return false;
        }
        bool ok = RegisterInterface(root, changed, info, libid, version);
        info->Release();
        if (!ok) {
            return false;
        }
    }
    return true;
}

std::string LibraryTitle(ITypeLib* library) {
    BSTR name = nullptr;
    BSTR doc = nullptr;
    std::string title;
    if (SUCCEEDED(library->GetDocumentation(-1, &name, &doc, nullptr, nullptr))) {
        BSTR shown = SysStringLen(doc) > 0 ? doc : name;
        OleToUtf8(shown, SysStringLen(shown), title);
    }
    SysFreeString(name);
    SysFreeString(doc);
    return title;
}

std::string DirectoryOf(const std::string& path) {
    size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

HRESULT Register(ITypeLib* library, LPCOLESTR fullPath, LPCOLESTR helpDir) {
    std::string path;
    std::string help;
    if (!OleToUtf8(fullPath, path) || path.empty() || !OleToUtf8(helpDir, help)) {
        return E_INVALIDARG;
    }
    TLIBATTR* attributes = nullptr;
    HRESULT result = library->GetLibAttr(&attributes);
    if (FAILED(result)) {
        return result;
    }
    std::string key = LibraryKey(attributes->guid) + "\\" +
                      VersionText(attributes->wMajorVerNum, attributes->wMinorVerNum);
    std::string platform =
        key + "\\" + Hex(attributes->lcid) + "\\" + SyskindText(attributes->syskind);
    const std::string title = LibraryTitle(library);
    bool ok = false;
    const LONG status = UpdateRegistry([&](RegistryKey& root, bool& changed) {
        SetString(root, changed, key, nullptr, title);
        SetString(root, changed, key + "\\FLAGS", nullptr,
                  std::to_string(attributes->wLibFlags & ~LIBFLAG_FHASDISKIMAGE));
        SetString(root, changed, key + "\\HELPDIR", nullptr,
                  helpDir != nullptr ? help : DirectoryOf(path));
        SetString(root, changed, platform, nullptr, path);
        ok = RegisterInterfaces(root, changed, library, *attributes);
        changed = changed && ok;
        return ERROR_SUCCESS;
    });
    library->ReleaseTLibAttr(attributes);
    return ok && status == ERROR_SUCCESS ? S_OK : TYPE_E_REGISTRYACCESS;
}

// The interfaces that a library's registration wrote, found in the library itself.
void UnregisterInterfaces(ITypeLib* library) {
    for (UINT i = 0; i < library->GetTypeInfoCount(); ++i) {
        ITypeInfo* info = nullptr;
        if (FAILED(library->GetTypeInfo(i, &info))) {
            continue;
        }
        TYPEATTR* attributes = nullptr;
        if (SUCCEEDED(info->GetTypeAttr(&attributes))) {
            if (IsAutomationInterface(*attributes)) {
                std::string key = "Interface\\" + GuidText(attributes->guid);
                for (const char* subKey : {"\\ProxyStubClsid", "\\ProxyStubClsid32", "\\TypeLib"}) {
                    RegDeleteKeyA(HKEY_CLASSES_ROOT, (key + subKey).c_str());
                }
                RegDeleteKeyA(HKEY_CLASSES_ROOT, key.c_str());
            }
            info->ReleaseTypeAttr(attributes);
        }
        info->Release();
    }
}

// As the system does, the registered file is read to learn which interfaces to remove: a
// version that is not registered for that locale and system kind is an invalid argument, and
// one whose file cannot be read is left registered.
HRESULT Unregister(REFGUID libid, WORD major, WORD minor, LCID lcid, SYSKIND syskind) {
    if (syskind != SYS_WIN16 && syskind != SYS_WIN32 && syskind != SYS_WIN64) {
        return E_INVALIDARG;
    }
    std::string version = VersionText(major, minor);
    std::string libraryKey = LibraryKey(libid);
    std::string key = libraryKey + "\\" + version;
    std::string locale = key + "\\" + Hex(lcid);
    std::string platform = locale + "\\" + SyskindText(syskind);
    std::string path;
    if (!QueryString(platform, nullptr, path) || path.empty()) {
        return E_INVALIDARG;
    }
    ITypeLib* library = nullptr;
    if (FAILED(LoadTypeLibFile(path, &library))) {
        return TYPE_E_INVALIDSTATE;
    }
    UnregisterInterfaces(library);
    library->Release();
    RegDeleteKeyA(HKEY_CLASSES_ROOT, platform.c_str());
    RegDeleteKeyA(HKEY_CLASSES_ROOT, locale.c_str());
    // The version goes once no other locale or platform of it is left.
    for (const std::string& name : SubKeys(key)) {
        if (name != "FLAGS" && name != "HELPDIR") {
            return S_OK;
        }
    }
    RegDeleteKeyA(HKEY_CLASSES_ROOT, (key + "\\FLAGS").c_str());
    RegDeleteKeyA(HKEY_CLASSES_ROOT, (key + "\\HELPDIR").c_str());
    RegDeleteKeyA(HKEY_CLASSES_ROOT, key.c_str());
    RegDeleteKeyA(HKEY_CLASSES_ROOT, libraryKey.c_str());
    return S_OK;
}

bool ParseVersion(const std::string& text, WORD& major, WORD& minor) {
    char* end = nullptr;
    unsigned long majorValue = std::strtoul(text.c_str(), &end, 16);
    if (end == text.c_str() || *end != '.') {
        return false;
    }
    const char* minorText = end + 1;
    unsigned long minorValue = std::strtoul(minorText, &end, 16);
    if (end == minorText || *end != '\0' || majorValue > 0xFFFF || minorValue > 0xFFFF) {
        return false;
    }
    major = static_cast<WORD>(majorValue);
    minor = static_cast<WORD>(minorValue);
    return true;
}

// The registered version of that major with the requested minor, or else the highest above it.
bool FindVersion(const std::string& libraryKey, WORD major, WORD minor, std::string& found) {
    int best = -1;
    for (const std::string& name : SubKeys(libraryKey)) {
        WORD foundMajor = 0;
        WORD foundMinor = 0;
        if (!ParseVersion(name, foundMajor, foundMinor) || foundMajor != major ||
            foundMinor < minor) {
            continue;
        }
        if (foundMinor == minor) {
            found = name;
            return true;
        }
        if (foundMinor > best) {
            best = foundMinor;
            found = name;
        }
    }
    return best >= 0;
}

// A 64-bit process looks for its own system kind in every locale before the 32-bit one.
bool FindPath(const std::string& versionKey, LCID lcid, std::string& path) {
    const LCID locales[] = {lcid, lcid & 0x3FF, 0};
    for (const char* platform : {"win64", "win32"}) {
        for (LCID locale : locales) {
            if (QueryString(versionKey + "\\" + Hex(locale) + "\\" + platform, nullptr, path) &&
                !path.empty()) {
                return true;
            }
        }
    }
    return false;
}

HRESULT LoadRegistered(REFGUID libid, WORD major, WORD minor, LCID lcid, ITypeLib** library) {
    std::string libraryKey = LibraryKey(libid);
    std::string version;
    std::string path;
    if (!FindVersion(libraryKey, major, minor, version) ||
        !FindPath(libraryKey + "\\" + version, lcid, path)) {
        return TYPE_E_LIBNOTREGISTERED;
    }
    HRESULT result = LoadTypeLibFile(path, library);
    if (FAILED(result)) {
        return result;
    }
    // The file found must itself be of the version asked for, whatever its key says.
    TLIBATTR* attributes = nullptr;
    result = (*library)->GetLibAttr(&attributes);
    if (SUCCEEDED(result)) {
        bool matches = attributes->wMajorVerNum == major && attributes->wMinorVerNum >= minor;
        (*library)->ReleaseTLibAttr(attributes);
        result = matches ? S_OK : TYPE_E_LIBNOTREGISTERED;
    }
    if (FAILED(result)) {
        (*library)->Release();
        *library = nullptr;
    }
    return result;
}

} // namespace

} // namespace Ostrel

extern "C" HRESULT RegisterTypeLib(ITypeLib* library, LPCOLESTR fullPath, LPCOLESTR helpDir) {
    if (library == nullptr || fullPath == nullptr) {
        return E_INVALIDARG;
    }
    try {
        return Ostrel::Register(library, fullPath, helpDir);
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
}

extern "C" HRESULT UnRegisterTypeLib(REFGUID libid, WORD major, WORD minor, LCID lcid,
                                     SYSKIND syskind) {
    try {
        return Ostrel::Unregister(libid, major, minor, lcid, syskind);
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
}

extern "C" HRESULT LoadRegTypeLib(REFGUID libid, WORD major, WORD minor, LCID lcid,
                                  ITypeLib** library) {
    if (library == nullptr) {
        return E_INVALIDARG;
    }
    *library = nullptr;
    try {
        return Ostrel::LoadRegistered(libid, major, minor, lcid, library);
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
}
