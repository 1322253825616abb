// The registry under HKEY_CLASSES_ROOT, shared by every process of the user through one text
// file.
//
// Location: the file named by PRAVELL_REGISTRY; else $XDG_DATA_HOME/pravell/registry; else
// ~/.local/share/pravell/registry. Missing directories are created by the first write. A symbolic
// link to the file is followed and stays in place.
//
// Format: UTF-8 text (the system's ANSI code page), one item per line, every line ending in a
// line feed:
//
//   PRAVELL-REGISTRY 1
//   [CLSID]
//   [CLSID\{4F8D6B61-FE7A-4364-A002-4AC12BCD31B3}]
//   @="Corvantis XML Model"
//   [CLSID\{4F8D6B61-FE7A-4364-A002-4AC12BCD31B3}\InProcServer32]
//   @="/opt/pravell/libpravell.so"
//   "Flags"=hex(4):01,00,00,00
//   END
//
// - The first line names the format and its version; the last line is END, so a file cut short
//   anywhere is recognised.
// - "[path]" starts a key: its names from HKEY_CLASSES_ROOT down, joined by backslashes. Every
//   key has its own line, parents before their subkeys, subkeys in listing order. "[]" is the
//   root itself, written only when it holds values.
// - The lines after a key are its values, in the order they were first set: "@" is the default
//   value, any other name is quoted. A REG_SZ value whose data ends in a NUL is written as a
//   quoted string without that NUL; every other value as "hex(type):" and its bytes.
// - In names and strings, control characters, "%" and '"' are written as "%" and two hexadecimal
//   digits; every other byte stands for itself.
//
// Changes: each change takes an exclusive flock on "<file>.lock", reads the file again, applies
// the change, writes the whole text to a new file beside it, flushes it to disk and renames it
// over the file. Two processes writing at once therefore both keep their keys, and a crash leaves
// either the old file or the new one (a leftover "<file>.tmp-*" is never read). Reads take a
// shared lock and always read the file again, so they see the latest change of any process.
//
// Damage: a file that does not follow the format exactly (cut short, overwritten, edited badly)
// makes every call fail with ERROR_BADDB and is never replaced or rewritten. Setting
// PRAVELL_PLATFORM_DEBUG=1 prints the line and the reason on standard error.
//
// Handles remember the path of their key. A handle whose key has been deleted meanwhile (by this
// process or another) fails with ERROR_KEY_DELETED; one whose path has been created again refers
// to the new key. The registry keeps no classes, security or write times.
#include "platform/registry.h"

#include "platform/regstore.h"

#include <cstring>
#include <mutex>
#include <string>
#include <unordered_set>
#include <vector>

struct HKEY__ {
    std::vector<std::string> path;
    REGSAM access;
};

namespace Ostrel {

namespace {

typedef std::vector<std::string> KeyPath;

// The handles this process has open, so that a closed or invented handle is refused instead of
// followed. Never destroyed: hosts may close keys late in process exit.
struct HandleTable {
    std::mutex mutex;
    std::unordered_set<HKEY> open;
};

HandleTable& Handles() {
    static HandleTable* table = new HandleTable;
    return *table;
}

// The key a handle stands for, copied out so that another thread may close the handle meanwhile.
struct KeyReference {
    KeyPath path;
    REGSAM access = 0;
    bool predefined = false;
};

LONG Resolve(HKEY key, KeyReference& reference) {
    if (key == HKEY_CLASSES_ROOT) {
        reference.predefined = true;
        reference.access = KEY_ALL_ACCESS;
        return ERROR_SUCCESS;
    }
    HandleTable& handles = Handles();
    std::lock_guard<std::mutex> guard(handles.mutex);
    if (key == nullptr || handles.open.count(key) == 0) {
        return ERROR_INVALID_HANDLE;
    }
    reference.path = key->path;
    reference.access = key->access;
    return ERROR_SUCCESS;
}

// The generic rights of an access mask stand for the key rights Windows maps them to.
REGSAM KeyRights(REGSAM access) {
    const REGSAM genericRead = 0x80000000, genericWrite = 0x40000000, genericExecute = 0x20000000,
                 genericAll = 0x10000000, maximumAllowed = 0x02000000;
    REGSAM rights = access;
    if (access & (genericRead | genericExecute)) {
        rights |= KEY_READ;
    }
    if (access & genericWrite) {
        rights |= KEY_WRITE;
    }
    if (access & (genericAll | maximumAllowed)) {
        rights |= KEY_ALL_ACCESS;
    }
    return rights;
}

HKEY OpenHandle(KeyPath path, REGSAM access) {
    HKEY key = new HKEY__{std::move(path), KeyRights(access)};
    HandleTable& handles = Handles();
    std::lock_guard<std::mutex> guard(handles.mutex);
    handles.open.insert(key);
    return key;
}

// Splits a subkey path. Repeated and trailing backslashes separate nothing, as on Windows; a
// leading one is refused.
LONG SplitPath(LPCSTR subKey, KeyPath& parts) {
    if (subKey == nullptr) {
        return ERROR_SUCCESS;
    }
    if (subKey[0] == '\\') {
        return ERROR_BAD_PATHNAME;
    }
    const char* at = subKey;
    while (*at != '\0') {
        const char* end = std::strchr(at, '\\');
        if (end == nullptr) {
            end = at + std::strlen(at);
        }
        if (end != at) {
            parts.emplace_back(at, end);
        }
        at = *end == '\0' ? end : end + 1;
    }
    return ERROR_SUCCESS;
}

// The key behind a handle, which another process may have deleted since it was opened.
LONG FindKey(RegistryKey& root, const KeyPath& path, RegistryKey*& key) {
    key = root.Find(path);
    return key == nullptr ? ERROR_KEY_DELETED : ERROR_SUCCESS;
}

// Reads the latest registry into an empty root and finds the key behind a handle in it.
LONG ReadKey(RegistryKey& root, const KeyPath& path, RegistryKey*& key) {
    if (LONG status = LoadRegistry(root)) {
        return status;
    }
    return FindKey(root, path, key);
}

// Applies a change to the key behind a handle, under the registry's exclusive lock.
template <typename Change>
LONG UpdateKey(const KeyPath& path, Change change) {
    return UpdateRegistry([&](RegistryKey& root, bool& changed) {
        RegistryKey* key = nullptr;
        if (LONG found = FindKey(root, path, key)) {
            return found;
        }
        return change(*key, changed);
    });
}

// The key a handle stands for, refused unless the handle was opened with the right.
LONG ResolveFor(REGSAM right, HKEY key, KeyReference& reference) {
    if (LONG status = Resolve(key, reference)) {
        return status;
    }
    return (reference.access & right) == 0 ? ERROR_ACCESS_DENIED : ERROR_SUCCESS;
}

// The key a handle stands for and the subkey path below it.
LONG ResolvePath(HKEY key, LPCSTR subKey, KeyReference& base, KeyPath& relative) {
    if (LONG status = Resolve(key, base)) {
        return status;
    }
    return SplitPath(subKey, relative);
}

std::string ValueName(LPCSTR valueName) {
    return valueName == nullptr ? "" : valueName;
}

bool IsStringType(DWORD type) {
    return type == REG_SZ || type == REG_EXPAND_SZ || type == REG_MULTI_SZ;
}

// No C++ exception leaves an exported call. The only ones the registry code can meet come from
// allocating strings and containers.
template <typename Body>
LONG Guarded(Body body) {
    try {
        return body();
    } catch (...) {
        return ERROR_NOT_ENOUGH_MEMORY;
    }
}

// Makes the keys of `relative` below `baseKey` that do not exist yet, within one change; `full`
// (the base's path on entry) gets their names as stored.
LONG AddKeys(RegistryKey& baseKey, const KeyPath& relative, KeyPath& full, RegistryKey*& key,
             bool& changed) {
    if (full.size() + relative.size() > maxKeyDepth) {
        return ERROR_INVALID_PARAMETER;
    }
    key = &baseKey;
    for (const std::string& name : relative) {
        bool added = false;
        key = &key->AddSubkey(name, added);
        full.push_back(key->Name());
        changed = changed || added;
    }
    return ERROR_SUCCESS;
}

LONG CreateKey(const KeyReference& base, const KeyPath& relative, REGSAM access, HKEY& result,
               bool& created) {
    KeyPath full = base.path;
    LONG status = UpdateKey(base.path, [&](RegistryKey& baseKey, bool& changed) {
        RegistryKey* key = nullptr;
        const LONG added = AddKeys(baseKey, relative, full, key, changed);
        created = changed;
        return added;
    });
    if (status == ERROR_SUCCESS) {
        result = OpenHandle(std::move(full), access);
    }
    return status;
}

LONG OpenKey(const KeyReference& base, const KeyPath& relative, REGSAM access, HKEY& result) {
    RegistryKey root("");
    RegistryKey* key = nullptr;
    if (LONG status = ReadKey(root, base.path, key)) {
        return status;
    }
    KeyPath full = base.path;
    for (const std::string& name : relative) {
        key = key->Subkey(name);
        if (key == nullptr) {
            return ERROR_FILE_NOT_FOUND;
        }
        full.push_back(key->Name());
    }
    result = OpenHandle(std::move(full), access);
    return ERROR_SUCCESS;
}

LONG QueryValue(const KeyReference& reference, const std::string& name, LPDWORD type, LPBYTE data,
                LPDWORD size) {
    RegistryKey root("");
    RegistryKey* key = nullptr;
    if (LONG status = ReadKey(root, reference.path, key)) {
        return status;
    }
    const RegistryValue* value = key->Value(name);
    if (value == nullptr) {
        return ERROR_FILE_NOT_FOUND;
    }
    if (type != nullptr) {
        *type = value->type;
    }
    DWORD needed = static_cast<DWORD>(value->data.size());
    LONG status = ERROR_SUCCESS;
    if (data != nullptr) {
        if (*size < needed) {
            status = ERROR_MORE_DATA;
        } else {
            // NOLINTNEXTLINE(bugprone-not-null-terminated-result): values are bytes, counted.
            std::memcpy(data, value->data.data(), needed);
        }
    }
    if (size != nullptr) {
        *size = needed;
    }
    return status;
}

// Removes the key at base + relative from its parent, unless it has subkeys; the root itself can
// never be removed.
LONG RemoveKey(const KeyPath& base, const KeyPath& relative) {
    KeyPath path = base;
    path.insert(path.end(), relative.begin(), relative.end());
    if (path.empty()) {
        return ERROR_ACCESS_DENIED;
    }
    KeyPath parentPath(path.begin(), path.end() - 1);
    return UpdateRegistry([&](RegistryKey& root, bool& changed) {
        if (root.Find(base) == nullptr) {
            return ERROR_KEY_DELETED;
        }
        RegistryKey* parent = root.Find(parentPath);
        RegistryKey* key = parent == nullptr ? nullptr : parent->Subkey(path.back());
        if (key == nullptr) {
            return ERROR_FILE_NOT_FOUND;
        }
        if (key->HasSubkeys()) {
            return ERROR_ACCESS_DENIED;
        }
        changed = parent->RemoveSubkey(path.back());
        return ERROR_SUCCESS;
    });
}

LONG CopyName(const std::string& name, LPSTR buffer, LPDWORD length) {
    if (*length <= name.size()) {
        return ERROR_MORE_DATA;
    }
    std::memcpy(buffer, name.c_str(), name.size() + 1);
    *length = static_cast<DWORD>(name.size());
    return ERROR_SUCCESS;
}

} // namespace

} // namespace Ostrel

using namespace Ostrel;

extern "C" LONG RegCreateKeyExA(HKEY key, LPCSTR subKey, DWORD reserved, LPSTR, DWORD options,
                                REGSAM access, const LPSECURITY_ATTRIBUTES, PHKEY result,
                                LPDWORD disposition) {
    return Guarded([&]() -> LONG {
        if (result == nullptr) {
            return ERROR_BADKEY;
        }
        // Volatile keys would need a registry that forgets them at restart; refusing them is
        // clearer than keeping them for ever.
        if (reserved != 0 || options != REG_OPTION_NON_VOLATILE) {
            return ERROR_INVALID_PARAMETER;
        }
        KeyReference base;
        KeyPath relative;
        if (LONG status = ResolvePath(key, subKey, base, relative)) {
            return status;
        }
        bool created = false;
        LONG status = CreateKey(base, relative, access, *result, created);
        if (status == ERROR_SUCCESS && disposition != nullptr) {
            *disposition = created ? REG_CREATED_NEW_KEY : REG_OPENED_EXISTING_KEY;
        }
        return status;
    });
}

extern "C" LONG RegOpenKeyExA(HKEY key, LPCSTR subKey, DWORD, REGSAM access, PHKEY result) {
    return Guarded([&]() -> LONG {
        if (result == nullptr) {
            return ERROR_INVALID_PARAMETER;
        }
        KeyReference base;
        KeyPath relative;
        if (LONG status = ResolvePath(key, subKey, base, relative)) {
            return status;
        }
        if (base.predefined && (subKey == nullptr || subKey[0] == '\0')) {
            *result = key;
            return ERROR_SUCCESS;
        }
        *result = nullptr;
        return OpenKey(base, relative, access, *result);
    });
}

extern "C" LONG RegCloseKey(HKEY key) {
    return Guarded([&]() -> LONG {
        if (key == HKEY_CLASSES_ROOT) {
            return ERROR_SUCCESS;
        }
        HandleTable& handles = Handles();
        {
            std::lock_guard<std::mutex> guard(handles.mutex);
            if (key == nullptr || handles.open.erase(key) == 0) {
                return ERROR_INVALID_HANDLE;
            }
        }
        delete key;
        return ERROR_SUCCESS;
    });
}

extern "C" LONG RegSetValueExA(HKEY key, LPCSTR valueName, DWORD, DWORD type, const BYTE* data,
                               DWORD size) {
    return RegSetKeyValueA(key, nullptr, valueName, type, data, size);
}

extern "C" LONG RegSetKeyValueA(HKEY key, LPCSTR subKey, LPCSTR valueName, DWORD type, LPCVOID data,
                                DWORD size) {
    return Guarded([&]() -> LONG {
        KeyReference reference;
        KeyPath relative;
        if (LONG status = ResolveFor(KEY_SET_VALUE, key, reference)) {
            return status;
        }
        if (LONG status = SplitPath(subKey, relative)) {
            return status;
        }
        if (data == nullptr && size != 0) {
            return ERROR_NOACCESS;
        }
        std::string bytes(static_cast<const char*>(data), data == nullptr ? 0 : size);
        // The narrow call terminates a string that arrives without its NUL, as on Windows.
        if (IsStringType(type) && !bytes.empty() && bytes.back() != '\0') {
            bytes += '\0';
        }
        std::string name = ValueName(valueName);
        return UpdateKey(reference.path, [&](RegistryKey& baseKey, bool& changed) {
            KeyPath full = reference.path;
            RegistryKey* target = nullptr;
            if (LONG status = AddKeys(baseKey, relative, full, target, changed)) {
                return status;
            }
            changed = target->SetValue(name, type, std::move(bytes)) || changed;
            return ERROR_SUCCESS;
        });
    });
}

extern "C" LONG RegQueryValueExA(HKEY key, LPCSTR valueName, LPDWORD reserved, LPDWORD type,
                                 LPBYTE data, LPDWORD size) {
    return Guarded([&]() -> LONG {
        if (reserved != nullptr || (data != nullptr && size == nullptr)) {
            return ERROR_INVALID_PARAMETER;
        }
        KeyReference reference;
        if (LONG status = ResolveFor(KEY_QUERY_VALUE, key, reference)) {
            return status;
        }
        return QueryValue(reference, ValueName(valueName), type, data, size);
    });
}

extern "C" LONG RegDeleteKeyA(HKEY key, LPCSTR subKey) {
    return Guarded([&]() -> LONG {
        if (subKey == nullptr) {
            return ERROR_INVALID_PARAMETER;
        }
        KeyReference reference;
        KeyPath relative;
        if (LONG status = ResolvePath(key, subKey, reference, relative)) {
            return status;
        }
        return RemoveKey(reference.path, relative);
    });
}

extern "C" LONG RegEnumKeyExA(HKEY key, DWORD index, LPSTR name, LPDWORD nameLength,
                              LPDWORD reserved, LPSTR keyClass, LPDWORD classLength,
                              PFILETIME lastWriteTime) {
    return Guarded([&]() -> LONG {
        if (name == nullptr || nameLength == nullptr || reserved != nullptr ||
            (keyClass != nullptr && classLength == nullptr)) {
            return ERROR_INVALID_PARAMETER;
        }
        KeyReference reference;
        if (LONG status = ResolveFor(KEY_ENUMERATE_SUB_KEYS, key, reference)) {
            return status;
        }
        RegistryKey root("");
        RegistryKey* parent = nullptr;
        if (LONG status = ReadKey(root, reference.path, parent)) {
            return status;
        }
        const RegistryKey* subkey = parent->SubkeyAt(index);
        if (subkey == nullptr) {
            return ERROR_NO_MORE_ITEMS;
        }
        if (LONG status = CopyName(subkey->Name(), name, nameLength)) {
            return status;
        }
        if (keyClass != nullptr) {
            if (LONG status = CopyName("", keyClass, classLength)) {
                return status;
            }
        }
        if (lastWriteTime != nullptr) {
            *lastWriteTime = FILETIME{0, 0};
        }
        return ERROR_SUCCESS;
    });
}
