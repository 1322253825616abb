// The count of live automation objects, which decides whether the module may be unloaded: while
// a host holds any object the library handed out, its code must stay in the process.
//
// Every object the library hands out (model, node, parser, attributes) counts itself by deriving
// from CountedObject; nothing else calls ObjectCreated or ObjectDestroyed for it. The count is a
// plain integer: the platform calls the system's objects on one thread.
#pragma once

#include "platform/com.h"

namespace Ostrel {

void ObjectCreated();
void ObjectDestroyed();
// Objects created and not yet destroyed; what DllCanUnloadNow reads.
LONG LiveObjectCount();

// An empty base: counts one object from construction (copies included) to destruction.
class CountedObject {
protected:
    CountedObject() { ObjectCreated(); }
    CountedObject(const CountedObject&) { ObjectCreated(); }
    CountedObject& operator=(const CountedObject&) = default;
    ~CountedObject() { ObjectDestroyed(); }
};

} // namespace Ostrel
