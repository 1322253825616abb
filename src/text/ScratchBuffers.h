// The three 500-byte buffers that automation string arguments are converted into, so that the
// common short argument costs no heap call. A buffer is in use from the moment a text borrows it
// until that text lets it go.
#pragma once

#include "platform/com.h"

namespace Ostrel {

class ScratchBuffers {
public:
    static constexpr LONG kCount = 3;
    static constexpr LONG kSize = 500;

    // A free buffer, now marked in use, or null when all three are borrowed.
    static char* Take();
    // Marks the buffer free when it is one of the three; other buffers are ignored.
    static void GiveBack(const char* buffer);
    static LONG FreeCount();
};

} // namespace Ostrel
