// The library's load and unload on Linux, where the loader runs these as it maps and unmaps the
// library (at dlopen and dlclose, or at process start and exit). Any address inside the
// library serves as its module handle.
#include "server/PravellServer.h"

namespace {

__attribute__((constructor)) void LoadModule() {
    Ostrel::PravellServer::Start(reinterpret_cast<HMODULE>(&LoadModule));
}

__attribute__((destructor)) void UnloadModule() {
    Ostrel::PravellServer::Stop();
}

} // namespace
