// The lock behind the door (door.h) while threads take turns at it.
//
// Hosts' calls are of two kinds: short ones (a walk over a tree is thousands of them) and long
// ones (a load or a save). A lock that wakes a sleeper at every release would cost its holder a
// system call per short call, and one that hands over at every release would move the door, and
// the component's memory with it, between processors per short call; either way a walk on one
// thread would crawl while another thread waits. So a thread arriving takes a free lock at once,
// a waiter only once it has stayed free a moment (a running thread usually comes back first); a
// release wakes a waiter at most once while it waits; and the lock is handed over only to a
// thread that has waited a whole turn, so that no thread waits for ever.
#pragma once

#include <atomic>
#include <cstdint>

namespace Ostrel {

class DoorLock {
public:
    constexpr DoorLock() = default;
    DoorLock(const DoorLock&) = delete;
    DoorLock& operator=(const DoorLock&) = delete;

    // Takes the lock for `self`, waiting as long as another thread holds it.
    void Acquire(const void* self) {
        uint32_t expected = kFree;
        if (!state.compare_exchange_strong(expected, kHeld, std::memory_order_acquire,
                                           std::memory_order_relaxed)) {
            AcquireContended(self);
        }
    }

    // Lets the next thread in: the waiters, when one of them has waited a whole turn.
    void Release(const void* self) {
        releases.store(releases.load(std::memory_order_relaxed) + 1, std::memory_order_relaxed);
        uint32_t expected = kHeld;
        if (!state.compare_exchange_strong(expected, kFree, std::memory_order_release,
                                           std::memory_order_relaxed)) {
            ReleaseToWaiters(self, expected);
        }
    }

    // Whether some thread is waiting for the lock. Read by its holder.
    bool Awaited() const { return waiting.load(std::memory_order_relaxed) != 0; }

private:
    // The lock's word: free, held (with flags), or handed to the threads waiting.
    static constexpr uint32_t kFree = 0;
    static constexpr uint32_t kHeld = 1;
    // A waiter sleeps, or is about to: a release wakes one.
    static constexpr uint32_t kSleepers = 2;
    // A waiter has waited a whole turn: the release hands the lock over.
    static constexpr uint32_t kTurnAsked = 4;
    // Released for the threads that waited: any of them may take it, the one that left may not.
    static constexpr uint32_t kHanded = 8;

    void AcquireContended(const void* self);
    void ReleaseToWaiters(const void* self, uint32_t seen);
    // Takes the lock if `seen` is a state that `self` may take it from; false when it may not or
    // another thread came first.
    bool TryTake(const void* self, uint32_t seen);
    // Waits a little without sleeping, for a holder about to leave or a lock handed over; true
    // when it took the lock.
    bool Spin(const void* self);

    std::atomic<uint32_t> state{kFree};
    // How many times the lock was released, by whoever held it: how a waiter tells a lock left
    // free from one taken and released again between two looks.
    std::atomic<uint32_t> releases{0};
    // The threads in AcquireContended.
    std::atomic<uint32_t> waiting{0};
    // The thread that handed the lock over, while the state is kHanded.
    std::atomic<const void*> handedBy{nullptr};
};

} // namespace Ostrel
