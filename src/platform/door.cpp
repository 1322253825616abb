// The door's state is constant-initialised and trivially destructible: it exists before any
// library's constructors run and is never torn down, since hosts release their last objects late
// in process exit, on any thread. A first entry takes the mutex once; re-entries never reach
// this file (door.h).
#include "platform/door.h"

#include "platform/doorentries.h"

namespace {

// Adaptive: a thread that finds the door taken spins a little before it sleeps. Hosts' calls are
// often short (a walk is thousands of them), so the door mostly changes hands between two calls,
// and a sleep and a wake for each would cost more than the calls themselves.
pthread_mutex_t doorMutex = PTHREAD_ADAPTIVE_MUTEX_INITIALIZER_NP;
// Entries from outside so far; changed only by the owner.
unsigned long entries = 0;

} // namespace

std::atomic<pthread_t> InsideDoor::owner{0};
unsigned InsideDoor::depth = 0;

void InsideDoor::Enter(pthread_t self) {
    pthread_mutex_lock(&doorMutex);
    owner.store(self, std::memory_order_relaxed);
    depth = 1;
    ++entries;
}

void InsideDoor::Leave() {
    owner.store(0, std::memory_order_relaxed);
    pthread_mutex_unlock(&doorMutex);
}

namespace Ostrel {

unsigned long DoorEntries() {
    return entries;
}

} // namespace Ostrel
