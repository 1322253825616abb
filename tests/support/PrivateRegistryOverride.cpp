// On Windows HKEY_CLASSES_ROOT is redirected, for this process, to a fresh key of the current
// user: registering needs no administrator, and nothing the test writes reaches the machine's
// classes. The key is named after the scratch directory, which no other live test shares.
#include "platform/com.h"
#include "support/PrivateRegistry.h"

#include <gtest/gtest.h>

#include <filesystem>

PrivateRegistry::PrivateRegistry()
    : path("Software\\Pravell test registry " +
           std::filesystem::path(directory.Path()).filename().string()) {
    HKEY key = nullptr;
    EXPECT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                              KEY_ALL_ACCESS, nullptr, &key, nullptr),
              ERROR_SUCCESS)
        << "cannot create the registry key " << path;
    // The system keeps a handle of its own to the key it redirects to. Without the key, the
    // redirection is none.
    EXPECT_EQ(RegOverridePredefKey(HKEY_CLASSES_ROOT, key), ERROR_SUCCESS)
        << "cannot redirect HKEY_CLASSES_ROOT to " << path;
    RegCloseKey(key);
}

// Where the system's activation reads the machine's classes (a const: of this file alone).
const std::string machineClasses = "Software\\Classes\\";

PrivateRegistry::~PrivateRegistry() {
    RegOverridePredefKey(HKEY_CLASSES_ROOT, nullptr);
    RegDeleteTreeA(HKEY_CURRENT_USER, path.c_str());
    // Each key written for activation goes, and so do its parents while nothing else is in them.
    for (auto key = activationKeys.rbegin(); key != activationKeys.rend(); ++key) {
        std::string at = *key;
        while (!at.empty() &&
               RegDeleteKeyA(HKEY_LOCAL_MACHINE, (machineClasses + at).c_str()) == ERROR_SUCCESS) {
            const size_t parent = at.rfind('\\');
            at.erase(parent == std::string::npos ? 0 : parent);
        }
    }
}

long PrivateRegistry::SetActivationString(const std::string& key, const std::string& text) {
    activationKeys.push_back(key);
    return SetRegistryString(machineClasses + key, text, nullptr, HKEY_LOCAL_MACHINE);
}
