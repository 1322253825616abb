// Files and directories of a test's own: a scratch directory removed with everything in it, a
// registry file in one that PRAVELL_REGISTRY names while the test runs, whole-file helpers, the
// case files of a data folder, and reading and writing keys below HKEY_CLASSES_ROOT.
#pragma once

#include "platform/com.h"

#include <string>
#include <vector>

class ScratchDirectory {
public:
    ScratchDirectory();
    ScratchDirectory(const ScratchDirectory&) = delete;
    ScratchDirectory& operator=(const ScratchDirectory&) = delete;
    ~ScratchDirectory();

    const std::string& Path() const { return path; }

private:
    std::string path;
};

class PrivateRegistry {
public:
    PrivateRegistry();
    PrivateRegistry(const PrivateRegistry&) = delete;
    PrivateRegistry& operator=(const PrivateRegistry&) = delete;
    ~PrivateRegistry();

    const std::string& Directory() const { return directory.Path(); }
    const std::string& Path() const { return path; }

private:
    ScratchDirectory directory;
    std::string path;
};

std::string ReadWholeFile(const std::string& path);
void WriteWholeFile(const std::string& path, const std::string& text);

// The cases a data-driven runner walks: the paths of the files in `directory` whose names end
// in `extension` (".xml"), without it, in name order.
std::vector<std::string> CasesIn(const std::string& directory, const std::string& extension);

// Creates the key and sets a string value (the default value when `name` is null).
long SetRegistryString(const std::string& path, const std::string& text,
                       const char* name = nullptr);
bool RegistryKeyExists(const std::string& path);
// A string value without its terminator, or "<missing>".
std::string RegistryString(const std::string& path, const char* name = nullptr);
// The names of the key's subkeys in the registry's order.
std::vector<std::string> RegistrySubkeys(const std::string& path);

// An automation string's characters, embedded NULs included; a null string is empty.
inline std::u16string BstrText(BSTR text) {
    return text == nullptr ? std::u16string() : std::u16string(text, SysStringLen(text));
}
