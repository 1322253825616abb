// The component library as an installer or a host reaches it: loaded with dlopen, its entry
// points looked up by name. The test host links only the platform layer and the interface
// headers, never the system's code.
#pragma once

#include "platform/com.h"

#include <map>
#include <string>
#include <vector>

class LoadedComponent {
public:
    // Loads `path` as given (relative paths resolve against the current directory).
    explicit LoadedComponent(const std::string& path);
    LoadedComponent(const LoadedComponent&) = delete;
    LoadedComponent& operator=(const LoadedComponent&) = delete;
    ~LoadedComponent();

    bool IsLoaded() const { return library != nullptr; }

    HRESULT Register() const;
    HRESULT Unregister() const;
    HRESULT CanUnloadNow() const;
    HRESULT GetClassObject(REFCLSID classId, REFIID riid, void** object) const;

private:
    void* Entry(const char* name) const;

    void* library = nullptr;
};

// Whether a library of that file is loaded in the process.
bool LibraryLoaded(const std::string& path);

// The keys of the registry file whose path starts with one of `prefixes`, each with the lines
// of its values in the file's form (`@="text"` for a string default value).
std::map<std::string, std::vector<std::string>>
RegistryKeys(const std::string& registryFile, const std::vector<std::string>& prefixes);

// Copies a file, keeping its executable bit.
void CopyFile(const std::string& from, const std::string& to);
std::string RealPath(const std::string& path);
std::string DirectoryOf(const std::string& path);
