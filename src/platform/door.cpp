// The door's state is constant-initialised and trivially destructible: it exists before any
// library's constructors run and is never torn down, since hosts release their last objects late
// in process exit, on any thread.
//
// An entry by a thread already inside reads only the owner, which no other thread can set to
// this thread's identity, and touches only the depth, which belongs to the owner: no atomic
// read-modify-write and no lock on that path. A first entry takes the mutex once.
#include "platform/door.h"

#include "platform/doorentries.h"

#include <pthread.h>

#include <atomic>

namespace {

pthread_mutex_t doorMutex = PTHREAD_MUTEX_INITIALIZER;
// The thread inside, or 0 (no thread's identity on Linux) when the door is free.
std::atomic<pthread_t> owner{0};
// The owner's entries not yet left; read and written only by the owner.
unsigned depth = 0;
// Entries from outside so far; changed only by the owner.
unsigned long entries = 0;

} // namespace

void InsideDoor::Enter() {
    const pthread_t self = pthread_self();
    if (owner.load(std::memory_order_relaxed) == self) {
        ++depth;
        return;
    }
    pthread_mutex_lock(&doorMutex);
    owner.store(self, std::memory_order_relaxed);
    depth = 1;
    ++entries;
}

void InsideDoor::Leave() {
    if (--depth == 0) {
        owner.store(0, std::memory_order_relaxed);
        pthread_mutex_unlock(&doorMutex);
    }
}

namespace Ostrel {

unsigned long DoorEntries() {
    return entries;
}

} // namespace Ostrel
