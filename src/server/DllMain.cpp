// The library's entry point on Windows: the loader calls it, serialised, at process attach and
// detach; the thread notifications need nothing.
#include "server/PravellServer.h"

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
    switch (reason) {
    case DLL_PROCESS_ATTACH:
        return Ostrel::PravellServer::Start(instance) ? TRUE : FALSE;
    case DLL_PROCESS_DETACH:
        Ostrel::PravellServer::Stop();
        return TRUE;
    default:
        return TRUE;
    }
}
