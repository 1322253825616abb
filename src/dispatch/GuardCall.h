// Keeps C++ exceptions from crossing an interface method or an exported function: the body runs
// inside GuardCall, and whatever escapes it becomes a status code. The body runs inside the door
// (platform/door.h) too, so that a method whose work is all in GuardCall is one call at a time.
//
//     HRESULT STDMETHODCALLTYPE Thing::Load(BSTR name) {
//         return GuardCall([&] { return model->LoadFile(Text(name)) ? S_OK : E_FAIL; });
//     }
#pragma once

#include "platform/com.h"

#include <new>

namespace Ostrel {

// Answers the body's HRESULT; E_OUTOFMEMORY when it ran out of memory, E_FAIL for any other
// exception.
template <typename Body>
HRESULT GuardCall(Body&& body) noexcept {
    const InsideDoor inside;
    try {
        return body();
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    } catch (...) {
        return E_FAIL;
    }
}

} // namespace Ostrel
