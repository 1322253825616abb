#include "support/TestSupport.h"

#include "platform/com.h"

#include <ftw.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

namespace {

int RemoveEntry(const char* path, const struct stat*, int, FTW*) {
    return remove(path);
}

std::string TemporaryRoot() {
    const char* root = std::getenv("PRAVELL_TEST_ROOT");
    std::string base = root != nullptr && *root != '\0' ? root : "/tmp";
    for (size_t at = 1; at <= base.size(); ++at) {
        if (at == base.size() || base[at] == '/') {
            mkdir(base.substr(0, at).c_str(), 0700);
        }
    }
    return base;
}

} // namespace

ScratchDirectory::ScratchDirectory() {
    std::string pattern = TemporaryRoot() + "/scratch-XXXXXX";
    if (mkdtemp(&pattern[0]) == nullptr) {
        ADD_FAILURE() << "cannot create a scratch directory: " << pattern;
    }
    path = pattern;
}

ScratchDirectory::~ScratchDirectory() {
    nftw(path.c_str(), RemoveEntry, 16, FTW_DEPTH | FTW_PHYS);
}

PrivateRegistry::PrivateRegistry() : path(directory.Path() + "/registry") {
    setenv("PRAVELL_REGISTRY", path.c_str(), 1);
}

PrivateRegistry::~PrivateRegistry() {
    unsetenv("PRAVELL_REGISTRY");
}

std::string ReadWholeFile(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

void WriteWholeFile(const std::string& path, const std::string& text) {
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file << text;
}

std::vector<std::string> CasesIn(const std::string& directory, const std::string& extension) {
    std::vector<std::string> cases;
    for (const auto& entry : std::filesystem::directory_iterator(directory)) {
        std::filesystem::path path = entry.path();
        if (path.extension() == extension) {
            cases.push_back(path.replace_extension().string());
        }
    }
    std::sort(cases.begin(), cases.end());
    return cases;
}

long SetRegistryString(const std::string& path, const std::string& text, const char* name) {
    HKEY key = nullptr;
    LONG status = RegCreateKeyExA(HKEY_CLASSES_ROOT, path.c_str(), 0, nullptr,
                                  REG_OPTION_NON_VOLATILE, KEY_SET_VALUE, nullptr, &key, nullptr);
    if (status == ERROR_SUCCESS) {
        status = RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                                static_cast<DWORD>(text.size() + 1));
        RegCloseKey(key);
    }
    return status;
}

bool RegistryKeyExists(const std::string& path) {
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_CLASSES_ROOT, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) {
        return false;
    }
    RegCloseKey(key);
    return true;
}

std::string RegistryString(const std::string& path, const char* name) {
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_CLASSES_ROOT, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) {
        return "<missing>";
    }
    char data[1024] = {};
    DWORD size = sizeof data - 1;
    DWORD type = 0;
    LONG status = RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE*>(data), &size);
    RegCloseKey(key);
    return status == ERROR_SUCCESS && type == REG_SZ ? std::string(data) : "<missing>";
}

std::vector<std::string> RegistrySubkeys(const std::string& path) {
    std::vector<std::string> names;
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_CLASSES_ROOT, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) {
        return names;
    }
    char name[256];
    DWORD length = sizeof name;
    while (RegEnumKeyExA(key, static_cast<DWORD>(names.size()), name, &length, nullptr, nullptr,
                         nullptr, nullptr) == ERROR_SUCCESS) {
        names.emplace_back(name, length);
        length = sizeof name;
    }
    RegCloseKey(key);
    return names;
}
