// A registry of the test's own, and reading and writing keys below HKEY_CLASSES_ROOT. While a
// PrivateRegistry lives, what the code under test registers goes to it and is gone after the
// test; the registrations of the machine are neither seen nor changed. How it is kept differs
// per system (PrivateRegistryFile.cpp on Linux, PrivateRegistryOverride.cpp on Windows); the
// helpers below it are the system's registry calls and the same on both.
#pragma once

#include "support/TestSupport.h"

#include <string>
#include <vector>

class PrivateRegistry {
public:
    // Not copied: it owns its scratch directory.
    PrivateRegistry();
    ~PrivateRegistry();

    // A scratch directory that lives as long as the registry.
    const std::string& Directory() const { return directory.Path(); }
    // Where the registrations are kept: on Linux the registry file that PRAVELL_REGISTRY names
    // (tests of its contents are Linux-only), on Windows the key below HKEY_CURRENT_USER that
    // HKEY_CLASSES_ROOT is redirected to.
    const std::string& Path() const { return path; }

    // Sets a key's default value where the system's activation (CLSIDFromProgID,
    // CoCreateInstance) reads classes: on Linux this registry; on Windows the machine's classes
    // of the test's own Wine prefix, since Wine's activation reads them directly, past the
    // redirection of HKEY_CLASSES_ROOT. What it writes there is removed with the registry.
    long SetActivationString(const std::string& path, const std::string& text);

private:
    ScratchDirectory directory;
    std::string path;
    std::vector<std::string> activationKeys;
};

// Creates the key below `root` and sets a string value (the default value when `name` is null).
long SetRegistryString(const std::string& path, const std::string& text, const char* name = nullptr,
                       HKEY root = HKEY_CLASSES_ROOT);
bool RegistryKeyExists(const std::string& path);
// A string value without its terminator, or "<missing>".
std::string RegistryString(const std::string& path, const char* name = nullptr);
// The names of the key's subkeys in the registry's order.
std::vector<std::string> RegistrySubkeys(const std::string& path);
