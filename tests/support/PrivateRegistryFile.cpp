// On Linux the platform layer keeps the registry in one file, and PRAVELL_REGISTRY moves it: the
// test's registry is a file in its scratch directory, missing until the first key is written.
#include "support/PrivateRegistry.h"

#include <cstdlib>

PrivateRegistry::PrivateRegistry() : path(directory.Path() + "/registry") {
    setenv("PRAVELL_REGISTRY", path.c_str(), 1);
}

PrivateRegistry::~PrivateRegistry() {
    unsetenv("PRAVELL_REGISTRY");
}

long PrivateRegistry::SetActivationString(const std::string& key, const std::string& text) {
    return SetRegistryString(key, text);
}
