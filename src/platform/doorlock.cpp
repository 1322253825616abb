#include "platform/doorlock.h"

#include "platform/futex.h"

#include <algorithm>
#include <chrono>

namespace Ostrel {

namespace {

// How long a waiter may wait before it asks for its turn: long beside a short call and beside
// the cost of handing the door over, short beside a person's patience.
constexpr std::chrono::nanoseconds kTurn = std::chrono::milliseconds(1);
// A waiter asks to be woken by the next release once; after that it wakes to look, first after
// this long and then twice as long each time up to a turn, so that a holder making short calls
// pays no system call per release and waiters take little of the processors from it.
constexpr std::chrono::nanoseconds kFirstLook = std::chrono::microseconds(250);
// How many times a waiter looks at the lock before it sleeps: a microsecond or two, the length of
// many short calls and a fraction of a sleep and a wake.
constexpr int kSpins = 64;
// A waiter takes a free lock only once it has stayed free, released by no one, for this many
// looks (under a microsecond): a thread making short calls one after another comes back sooner
// and keeps it, so that two such threads do not trade the door, and the memory behind it,
// between processors at every call.
constexpr uint32_t kIdleLooks = 32;

void Pause() {
#if defined(__x86_64__) || defined(__i386__)
    __builtin_ia32_pause();
#endif
}

} // namespace

bool DoorLock::TryTake(const void* self, uint32_t seen) {
    if (seen != kFree && !(seen == kHanded && handedBy.load(std::memory_order_relaxed) != self)) {
        return false;
    }
    // The others still waiting must be woken by this thread's release in turn.
    const uint32_t held = waiting.load(std::memory_order_relaxed) > 1 ? kHeld | kSleepers : kHeld;
    return state.compare_exchange_strong(seen, held, std::memory_order_acquire,
                                         std::memory_order_relaxed);
}

bool DoorLock::Spin(const void* self) {
    uint32_t idleLooks = 0;
    uint32_t releasesSeen = 0;
    for (int look = 0; look < kSpins; ++look) {
        const uint32_t seen = state.load(std::memory_order_acquire);
        if (seen == kHanded) {
            if (TryTake(self, seen)) {
                return true;
            }
        } else if (seen == kFree) {
            const uint32_t released = releases.load(std::memory_order_relaxed);
            idleLooks = idleLooks > 0 && released == releasesSeen ? idleLooks + 1 : 1;
            releasesSeen = released;
            if (idleLooks >= kIdleLooks && TryTake(self, seen)) {
                return true;
            }
        } else {
            idleLooks = 0;
        }
        Pause();
    }
    return false;
}

void DoorLock::AcquireContended(const void* self) {
    waiting.fetch_add(1, std::memory_order_relaxed);
    const auto since = std::chrono::steady_clock::now();
    bool wakeAsked = false;
    std::chrono::nanoseconds look = kFirstLook;
    while (!Spin(self)) {
        uint32_t seen = state.load(std::memory_order_acquire);
        if (seen & kHeld) {
            uint32_t flagged = wakeAsked ? seen : seen | kSleepers;
            if (!(seen & kTurnAsked) && std::chrono::steady_clock::now() - since >= kTurn) {
                flagged |= kTurnAsked;
            }
            if (flagged != seen &&
                !state.compare_exchange_strong(seen, flagged, std::memory_order_relaxed)) {
                continue;
            }
            wakeAsked = true;
            FutexWait(state, flagged, look.count());
        } else if (seen == kHanded) {
            // Handed over by this thread: another waiter was woken to take it.
            FutexWait(state, seen, look.count());
        }
        look = std::min(look * 2, kTurn);
    }
    waiting.fetch_sub(1, std::memory_order_relaxed);
}

void DoorLock::ReleaseToWaiters(const void* self, uint32_t seen) {
    uint32_t next = kFree;
    do {
        next = (seen & kTurnAsked) ? kHanded : kFree;
        if (next == kHanded) {
            handedBy.store(self, std::memory_order_relaxed);
        }
    } while (!state.compare_exchange_weak(seen, next, std::memory_order_release,
                                          std::memory_order_relaxed));
    // One sleeper is enough for a lock handed over too: none of them is the thread that handed
    // it over.
    if (next == kHanded || (seen & kSleepers)) {
        FutexWake(state, 1);
    }
}

} // namespace Ostrel
