#include "dispatch/CountedObject.h"

namespace Ostrel {

namespace {

// Constant-initialised and never torn down: objects released after exit begins still count.
LONG liveObjects = 0;

} // namespace

void ObjectCreated() {
    ++liveObjects;
}

void ObjectDestroyed() {
    --liveObjects;
}

LONG LiveObjectCount() {
    return liveObjects;
}

} // namespace Ostrel
