// The system's two classes as the tool creates them: by programmatic identifier, with the
// reason on standard error in the user's terms when that fails.
#pragma once

#include "host/LateBound.h"

#include <string>

namespace Ostrel {

extern const char kModelProgId[];
extern const char kParserProgId[];

// A new object of the class registered under `progId`; on failure says why on standard error
// and answers false.
bool CreateRegistered(const char* progId, LateBound& object);
// The class identifier the registry holds for `progId` ("{...}"); empty when it holds none.
std::string RegisteredClass(const char* progId);

} // namespace Ostrel
