// Keeps C++ exceptions of a host's own objects from unwinding through the component that calls
// them. A host object's interface method runs its body inside HoldExceptions: whatever escapes
// is held for the thread and the component sees E_FAIL. When the host's call by name that led
// there returns (LateBound rethrows), the exception is thrown again, so that the host handles it
// where it would have without the component in between. The first exception is the one kept:
// later ones are mostly its consequences.
// (The component's own GuardCall turns an exception into a status and forgets it: the component
// has no caller of its own to hand it to.)
//
//     HRESULT STDMETHODCALLTYPE Printer::Characters(BSTR text) {
//         return HoldExceptions([&] { return Print("text", text); });
//     }
#pragma once

#include "platform/com.h"

namespace Ostrel {

// Holds the exception being handled, unless one is held already, and answers E_FAIL.
HRESULT HoldCurrentException() noexcept;
bool ExceptionHeld() noexcept;
// Throws the held exception, if any, and forgets it.
void RethrowHeldException();

template <typename Body>
HRESULT HoldExceptions(Body&& body) noexcept {
    try {
        return body();
    } catch (...) {
        return HoldCurrentException();
    }
}

} // namespace Ostrel
