// The door's state is constant-initialised and trivially destructible: it exists before any
// library's constructors run and is never torn down, since hosts release their last objects late
// in process exit, on any thread.
//
// The leaning (door.h). Another thread that wants in takes the lock, stops the leaning and waits
// for the leaning thread's flag to fall. The two meet as in Dekker's exclusion: each stores, then
// loads what the other stores. The leaning side needs no fence between its store and its load,
// because the stopping side, rarely, makes every running thread of the process pass a full
// barrier (membarrier): after it, the leaning thread either sees the leaning stopped or shows its
// raised flag. Where the system offers no such barrier, the door never leans.
//
// A flag is written only by the thread it belongs to, so that a thread that looked at the door
// long ago and raises its flag late can never lower another thread's: each slot is held by one
// thread from its first leaning until it ends, and a thread whose slot another holds never leans.
#include "platform/door.h"

#include "platform/doorlock.h"
#include "platform/futex.h"

#include <linux/membarrier.h>
#include <pthread.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>

namespace {

Ostrel::DoorLock lock;

// The thread that holds each slot, or null. Changed only by the holder of the lock.
const void* slotThread[InsideDoor::kLeaningSlots] = {};
// The thread that came in through the lock most recently, and how many times in a row.
const void* lastLocked = nullptr;
unsigned long inARow = 0;
// How many entries in a row through the lock earn the leaning: doubled when a leaning ended
// before it had saved what the barrier that ended it cost, back to one when it lasted.
unsigned long entriesToLean = 1;
unsigned long entriesWhenLeaning = 0;
// A barrier costs tens of microseconds where another thread runs; an entry through the leaning
// door saves a few nanoseconds.
constexpr unsigned long kWorthwhileLeaning = 10000;
constexpr unsigned long kMostEntriesToLean = 1UL << 24;
// Whether the process may ask for the barrier. Asked once, by the holder of the lock.
enum class Barrier { Unknown, Offered, Refused };
Barrier barrier = Barrier::Unknown;
pthread_key_t threadEnd;

} // namespace

std::atomic<const void*> InsideDoor::owner{nullptr};
std::atomic<const void*> InsideDoor::leaningTo{nullptr};
std::atomic<uint32_t> InsideDoor::leaningInside[kLeaningSlots] = {};
unsigned InsideDoor::depth = 0;
bool InsideDoor::enteredLeaning = false;
unsigned long InsideDoor::entries = 0;

void InsideDoor::Enter(const void* self) {
    lock.Acquire(self);
    if (const void* leaning = leaningTo.load(std::memory_order_relaxed)) {
        StopLeaning(leaning);
    }
    inARow = lastLocked == self ? inARow + 1 : 1;
    lastLocked = self;
    Admit(self, false);
}

void InsideDoor::Leave(const void* self) {
    MaybeLean(self);
    lock.Release(self);
}

void InsideDoor::WakeStopper(std::atomic<uint32_t>& inside) {
    Ostrel::FutexWake(inside, 1);
}

void InsideDoor::StopLeaning(const void* thread) {
    leaningTo.store(nullptr, std::memory_order_relaxed);
    syscall(SYS_membarrier, MEMBARRIER_CMD_PRIVATE_EXPEDITED, 0, 0);
    std::atomic<uint32_t>& inside = leaningInside[Slot(thread)];
    while (inside.load(std::memory_order_acquire) != 0) {
        Ostrel::FutexWait(inside, 1, 1000000000L);
    }
    entriesToLean = entries - entriesWhenLeaning < kWorthwhileLeaning
                        ? std::min(entriesToLean * 2, kMostEntriesToLean)
                        : 1;
}

void InsideDoor::MaybeLean(const void* self) {
    if (inARow < entriesToLean || lock.Awaited()) {
        return;
    }
    if (barrier == Barrier::Unknown) {
        const bool offered =
            syscall(SYS_membarrier, MEMBARRIER_CMD_REGISTER_PRIVATE_EXPEDITED, 0, 0) == 0 &&
            pthread_key_create(&threadEnd, EndThread) == 0;
        barrier = offered ? Barrier::Offered : Barrier::Refused;
    }
    const void*& holder = slotThread[Slot(self)];
    if (barrier != Barrier::Offered || (holder != nullptr && holder != self)) {
        return;
    }
    if (holder == nullptr) {
        // The key's value only has to be non-null for EndThread to run when the thread ends.
        if (pthread_setspecific(threadEnd, self) != 0) {
            return;
        }
        holder = self;
    }
    entriesWhenLeaning = entries;
    leaningTo.store(self, std::memory_order_release);
}

void InsideDoor::EndThread(void* thread) {
    lock.Acquire(thread);
    if (leaningTo.load(std::memory_order_relaxed) == thread) {
        leaningTo.store(nullptr, std::memory_order_relaxed);
    }
    slotThread[Slot(thread)] = nullptr;
    lock.Release(thread);
}
