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
#pragma once

#include <pthread.h>

#include <atomic>

// Holds the door from its construction to its destruction, on one thread. A thread already
// inside passes here, inline, by reading the owner (which no other thread sets to its identity)
// and counting its own depth: no call, no atomic read-modify-write.
class InsideDoor {
public:
    InsideDoor() {
        const pthread_t self = pthread_self();
        if (owner.load(std::memory_order_relaxed) == self) {
            ++depth;
        } else {
            Enter(self);
        }
    }
    ~InsideDoor() {
        if (--depth == 0) {
            Leave();
        }
    }
    InsideDoor(const InsideDoor&) = delete;
    InsideDoor& operator=(const InsideDoor&) = delete;

private:
    // Waits until no other thread is inside, then makes `self` the owner at depth 1.
    static void Enter(pthread_t self);
    // Lets the next thread in.
    static void Leave();

    // The thread inside, or 0 (no thread's identity on Linux) when the door is free.
    static std::atomic<pthread_t> owner;
    // The owner's entries not yet left; read and written only by the owner.
    static unsigned depth;
};
