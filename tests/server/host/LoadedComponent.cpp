#include "LoadedComponent.h"

#include "support/TestSupport.h"

#include <dlfcn.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <sstream>

namespace {

typedef HRESULT (*PlainEntry)();

} // namespace

LoadedComponent::LoadedComponent(const std::string& path)
    : library(dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL)) {
    if (library == nullptr) {
        ADD_FAILURE() << "cannot load " << path << ": " << dlerror();
    }
}

LoadedComponent::~LoadedComponent() {
    if (library != nullptr) {
        dlclose(library);
    }
}

void* LoadedComponent::Entry(const char* name) const {
    void* entry = library == nullptr ? nullptr : dlsym(library, name);
    if (entry == nullptr) {
        ADD_FAILURE() << "no entry point " << name;
    }
    return entry;
}

HRESULT LoadedComponent::Register() const {
    auto entry = reinterpret_cast<PlainEntry>(Entry("DllRegisterServer"));
    return entry == nullptr ? E_UNEXPECTED : entry();
}

HRESULT LoadedComponent::Unregister() const {
    auto entry = reinterpret_cast<PlainEntry>(Entry("DllUnregisterServer"));
    return entry == nullptr ? E_UNEXPECTED : entry();
}

HRESULT LoadedComponent::CanUnloadNow() const {
    auto entry = reinterpret_cast<LPFNCANUNLOADNOW>(Entry("DllCanUnloadNow"));
    return entry == nullptr ? E_UNEXPECTED : entry();
}

HRESULT LoadedComponent::GetClassObject(REFCLSID classId, REFIID riid, void** object) const {
    auto entry = reinterpret_cast<LPFNGETCLASSOBJECT>(Entry("DllGetClassObject"));
    return entry == nullptr ? E_UNEXPECTED : entry(classId, riid, object);
}

bool LibraryLoaded(const std::string& path) {
    void* library = dlopen(path.c_str(), RTLD_LAZY | RTLD_NOLOAD);
    if (library == nullptr) {
        return false;
    }
    dlclose(library);
    return true;
}

std::map<std::string, std::vector<std::string>>
RegistryKeys(const std::string& registryFile, const std::vector<std::string>& prefixes) {
    std::map<std::string, std::vector<std::string>> keys;
    std::istringstream lines(ReadWholeFile(registryFile));
    std::vector<std::string>* values = nullptr;
    for (std::string line; std::getline(lines, line);) {
        if (line.size() >= 2 && line.front() == '[' && line.back() == ']') {
            const std::string path = line.substr(1, line.size() - 2);
            values = nullptr;
            for (const std::string& prefix : prefixes) {
                if (path.compare(0, prefix.size(), prefix) == 0) {
                    values = &keys[path];
                }
            }
        } else if (values != nullptr && line != "END") {
            values->push_back(line);
        }
    }
    return keys;
}

void CopyFile(const std::string& from, const std::string& to) {
    WriteWholeFile(to, ReadWholeFile(from));
    chmod(to.c_str(), 0755);
}

std::string RealPath(const std::string& path) {
    char* resolved = realpath(path.c_str(), nullptr);
    std::string result = resolved == nullptr ? std::string() : resolved;
    std::free(resolved);
    return result;
}

std::string DirectoryOf(const std::string& path) {
    return path.substr(0, path.rfind('/') + 1);
}
