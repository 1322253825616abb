// Creating the system's objects the way every host does: the class identifier from the
// programmatic identifier in the registry, then CoCreateInstance, which loads the library the
// registry names.
#pragma once

#include "LateBound.h"

#include <string>

namespace Ostrel {

extern const char kModelProgId[];
extern const char kParserProgId[];

// A new object of the class registered under `progId`; on failure says why on standard error
// and answers false.
bool CreateComponent(const char* progId, LateBound& object);
// The class identifier the registry holds for `progId` ("{...}"); empty when it holds none.
std::string RegisteredClass(const char* progId);

} // namespace Ostrel
