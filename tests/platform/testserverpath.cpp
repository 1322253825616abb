// Where the test server was loaded from, asked at load time as a real server asks for its own
// file name; the module tests compare it with the library's path.
#include "platform/com.h"

namespace {

char loadedFrom[MAX_PATH];

__attribute__((constructor)) void AskFileName() {
    GetModuleFileNameA(reinterpret_cast<HMODULE>(&AskFileName), loadedFrom, MAX_PATH);
}

} // namespace

extern "C" const char* TestServerLoadedFrom() {
    return loadedFrom;
}
