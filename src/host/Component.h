// Creating a component's object the way every host does: the class identifier that the registry
// holds for the programmatic identifier, then CoCreateInstance, which loads the library the
// registry names.
#pragma once

#include "host/LateBound.h"
#include "platform/com.h"

#include <string>

namespace Ostrel {

// The class registered under `progId` (CO_E_CLASSSTRING when there is none).
HRESULT FindClass(const std::string& progId, CLSID& clsid);
// A new object of the class registered under `progId`, asked for IDispatch.
HRESULT CreateComponent(const std::string& progId, LateBound& object);

} // namespace Ostrel
