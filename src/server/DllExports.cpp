// The four entry points of the in-process server, the only functions the library exports; each
// holds the door (platform/door.h) for the whole call.
#include "dispatch/CountedObject.h"
#include "dispatch/GuardCall.h"
#include "server/COMFactory.h"
#include "server/PravellServer.h"
#include "server/ServerRegistration.h"

using Ostrel::COMFactory;
using Ostrel::GuardCall;
using Ostrel::PravellServer;

STDAPI DllGetClassObject(REFCLSID classId, REFIID riid, LPVOID* object) {
    const InsideDoor inside;
    PravellServer* server = PravellServer::Running();
    COMFactory* factory = server == nullptr ? nullptr : server->FindFactory(classId);
    if (factory == nullptr) {
        return E_FAIL;
    }
    return factory->QueryInterface(riid, object);
}

STDAPI DllCanUnloadNow() {
    const InsideDoor inside;
    return Ostrel::LiveObjectCount() == 0 && COMFactory::LockCount() == 0 ? S_OK : S_FALSE;
}

STDAPI DllRegisterServer() {
    const InsideDoor inside;
    PravellServer* server = PravellServer::Running();
    if (server == nullptr) {
        return E_FAIL;
    }
    return GuardCall([&] { return Ostrel::RegisterServer(*server); });
}

STDAPI DllUnregisterServer() {
    const InsideDoor inside;
    PravellServer* server = PravellServer::Running();
    if (server == nullptr) {
        return E_FAIL;
    }
    return GuardCall([&] { return Ostrel::UnregisterServer(*server); });
}
