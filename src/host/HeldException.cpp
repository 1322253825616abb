#include "host/HeldException.h"

#include <exception>
#include <utility>

namespace Ostrel {

namespace {

// Calls do not cross threads, so each thread holds its own.
thread_local std::exception_ptr held;

} // namespace

HRESULT HoldCurrentException() noexcept {
    if (held == nullptr) {
        held = std::current_exception();
    }
    return E_FAIL;
}

bool ExceptionHeld() noexcept {
    return held != nullptr;
}

void RethrowHeldException() {
    if (held != nullptr) {
        std::rethrow_exception(std::exchange(held, nullptr));
    }
}

} // namespace Ostrel
