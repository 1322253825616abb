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

// Holds the door from its construction to its destruction, on one thread.
class InsideDoor {
public:
    InsideDoor() { Enter(); }
    ~InsideDoor() { Leave(); }
    InsideDoor(const InsideDoor&) = delete;
    InsideDoor& operator=(const InsideDoor&) = delete;

private:
    // Waits until no other thread is inside; a thread already inside only counts one more entry.
    static void Enter();
    // Counts one entry out; the thread's last one lets the next thread in.
    static void Leave();
};
