// The door: calls into the component, one thread at a time.
//
// The system delivers every call to an object of a class registered without a threading model
// to one main apartment, one call at a time, whichever thread made it; components written for
// it keep process-wide state unguarded. Here the layer gives the same promise through the door:
// every entry into a server from outside (its objects' methods, its class factories, its
// exported functions) and every call the layer makes into a server holds it for the whole call.
// It is re-entrant: a thread already inside passes at once, so host code that the component
// calls (a client's events, a stream's Read) may call the component again, while other threads
// wait. Nothing holds it between calls. On Windows com.h declares an InsideDoor that takes
// nothing, since the system serialises those calls itself.
//
//     HRESULT STDMETHODCALLTYPE Thing::GetCount(LONG* count) {
//         const InsideDoor inside;
//         ...
//     }
//
// Most hosts call from one thread, for which a lock's read-modify-write instructions and a
// call into this library would cost as much as a short call's own work. So the door leans to
// the thread that last came in alone: while it leans, that thread comes in and goes out here,
// inline, with plain loads and stores (door.cpp says how another thread stops the leaning).
#pragma once

#include <atomic>
#include <cstdint>

// Holds the door from its construction to its destruction, on one thread. A thread already
// inside passes by reading the owner (which no other thread sets to its identity) and counting
// its own depth.
class InsideDoor {
public:
    InsideDoor() {
        const void* self = Self();
        if (owner.load(std::memory_order_relaxed) == self) {
            ++depth;
        } else if (leaningTo.load(std::memory_order_relaxed) != self || !EnterLeaning(self)) {
            Enter(self);
        }
    }
    ~InsideDoor() {
        if (--depth != 0) {
            return;
        }
        const void* self = owner.load(std::memory_order_relaxed);
        owner.store(nullptr, std::memory_order_relaxed);
        if (!enteredLeaning) {
            Leave(self);
            return;
        }
        std::atomic<uint32_t>& inside = leaningInside[Slot(self)];
        inside.store(0, std::memory_order_release);
        if (leaningTo.load(std::memory_order_relaxed) != self) {
            WakeStopper(inside);
        }
    }
    InsideDoor(const InsideDoor&) = delete;
    InsideDoor& operator=(const InsideDoor&) = delete;

    // How many threads the door can lean to, each with a flag of its own.
    static constexpr unsigned kLeaningSlots = 256;

    // How many times a thread has come in from outside (a thread's re-entries not counted). Read
    // inside the door.
    static unsigned long Entries() { return entries; }

private:
    // The calling thread's identity: the address of its control block, never null, unique
    // among the threads alive.
    static const void* Self() { return __builtin_thread_pointer(); }
    // The flag of a thread the door may lean to.
    static unsigned Slot(const void* thread) {
        const uint64_t page = reinterpret_cast<uintptr_t>(thread) >> 12;
        return static_cast<unsigned>((page * 0x9E3779B97F4A7C15ULL) >> 56) % kLeaningSlots;
    }
    // Comes in through the leaning door: raises this thread's flag, then looks again whether
    // the door still leans to it. False (the flag down again) when another thread stopped it.
    static bool EnterLeaning(const void* self) {
        std::atomic<uint32_t>& inside = leaningInside[Slot(self)];
        inside.store(1, std::memory_order_relaxed);
        std::atomic_signal_fence(std::memory_order_seq_cst);
        if (leaningTo.load(std::memory_order_acquire) != self) {
            inside.store(0, std::memory_order_release);
            WakeStopper(inside);
            return false;
        }
        Admit(self, true);
        return true;
    }
    static void Admit(const void* self, bool leaning) {
        owner.store(self, std::memory_order_relaxed);
        depth = 1;
        enteredLeaning = leaning;
        ++entries;
    }

    // Waits until no other thread is inside, then makes `self` the owner at depth 1.
    static void Enter(const void* self);
    // Lets the next thread in, after an entry through the lock.
    static void Leave(const void* self);
    // Wakes the thread that may be waiting for `inside` to fall.
    static void WakeStopper(std::atomic<uint32_t>& inside);
    // Stops the leaning and waits until the thread it leant to is outside. Called by the holder
    // of the lock.
    static void StopLeaning(const void* thread);
    // Leans the door to `self`, which came in through the lock and is leaving, if that pays.
    static void MaybeLean(const void* self);
    // A thread that ends takes its leaning and its slot with it.
    static void EndThread(void* thread);

    // The thread inside, or null when the door is free.
    static std::atomic<const void*> owner;
    // The thread the door leans to, or null. Changed only by the holder of the lock.
    static std::atomic<const void*> leaningTo;
    // A leaning thread's flag, at its Slot: 1 while it is inside. Written only by that thread.
    static std::atomic<uint32_t> leaningInside[kLeaningSlots];
    // Read and written only by the thread inside: its entries not yet left, whether it came in
    // leaning, and the entries from outside so far.
    static unsigned depth;
    static bool enteredLeaning;
    static unsigned long entries;
};
