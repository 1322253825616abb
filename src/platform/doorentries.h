// What the layer's activation reads of the door (door.h).
#pragma once

namespace Ostrel {

// How many times a thread has come in through the door from outside (re-entries by the thread
// inside not counted). Read inside the door.
unsigned long DoorEntries();

} // namespace Ostrel
