#include "host/LibraryLoader.h"

#include <dlfcn.h>

namespace Ostrel {

// Local binding keeps the library's symbols its own; each open takes one reference of the
// loader's, so that closing the last really unloads it.
void* OpenLibrary(const std::string& path, std::string& failure) {
    void* library = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (library == nullptr) {
        const char* reason = dlerror();
        failure = reason != nullptr ? reason : "unknown";
    }
    return library;
}

void* LibraryEntry(void* library, const char* name) {
    return dlsym(library, name);
}

void CloseLibrary(void* library) {
    dlclose(library);
}

} // namespace Ostrel
