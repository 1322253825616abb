// The server of this library: the two type libraries beside it and the two creatable classes,
// the streaming parser first and then the document model. One instance lives from the
// library's load to its unload.
#pragma once

#include "server/COMServer.h"

namespace Ostrel {

class PravellServer final : public COMServer {
public:
    // Throws std::bad_alloc when the server cannot be built.
    explicit PravellServer(HMODULE instance);

    // Builds the module's server at load time; false when it could not be built, and then the
    // exported functions fail instead of serving.
    static bool Start(HMODULE instance);
    // Destroys the module's server and lets the dispatch records go of their type information.
    static void Stop();
    // The module's server, or null outside Start..Stop.
    static PravellServer* Running();
};

} // namespace Ostrel
