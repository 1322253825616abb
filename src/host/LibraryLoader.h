// The system's loader of shared libraries, the one thing a host needs that the platform header
// does not name alike on every system: SharedObjectLoader.cpp over dlopen, DllLoader.cpp over
// LoadLibraryA; CMake builds the one for the system.
#pragma once

#include <string>

namespace Ostrel {

// The loaded library, or null with the loader's reason in `failure`.
void* OpenLibrary(const std::string& path, std::string& failure);
// The address the library exports under `name`; null when it exports none.
void* LibraryEntry(void* library, const char* name);
void CloseLibrary(void* library);

} // namespace Ostrel
