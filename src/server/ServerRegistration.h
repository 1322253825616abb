// Self-registration of a server: the keys under which the platform finds each class by class
// identifier and programmatic identifier, and the type libraries its objects' dispatch needs.
#pragma once

#include "server/COMServer.h"

namespace Ostrel {

// Writes every class's keys, then registers every type library. Answers the first type library
// failure; otherwise SELFREG_E_CLASS when some class key could not be written (the other
// classes and the type libraries are registered all the same); otherwise the last type
// library's result, or S_OK when there is none. Throws std::bad_alloc.
HRESULT RegisterServer(const COMServer& server);

// Deletes every class's keys (a stray LocalServer32 of another registration included),
// ignoring keys that are missing or still hold others, then unregisters the type libraries.
// Answers the first unregistration failure, or the last result, or S_OK when there is none.
// Throws std::bad_alloc.
HRESULT UnregisterServer(const COMServer& server);

} // namespace Ostrel
