#include "host/LibraryLoader.h"
#include "platform/com.h"

namespace Ostrel {

void* OpenLibrary(const std::string& path, std::string& failure) {
    HMODULE library = LoadLibraryA(path.c_str());
    if (library == nullptr) {
        failure = "LoadLibrary failed with error " + std::to_string(GetLastError());
    }
    return library;
}

void* LibraryEntry(void* library, const char* name) {
    return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(library), name));
}

void CloseLibrary(void* library) {
    FreeLibrary(static_cast<HMODULE>(library));
}

} // namespace Ostrel
