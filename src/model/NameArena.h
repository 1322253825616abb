// Names made by loading share 3000-byte blocks instead of taking a heap block each. A name is a
// Text that shares its block's buffer and starts at its own place in it, so a block lives while
// any of its names does, and writing to a name gives it a private copy first.
#pragma once

#include "platform/com.h"
#include "text/GrowableArray.h"
#include "text/Text.h"

namespace Ostrel {

class NameArena {
public:
    static constexpr LONG kBlockSize = 3000;

    NameArena();
    NameArena(const NameArena&) = delete;
    NameArena& operator=(const NameArena&) = delete;

    // A copy of the first `length` bytes of `name`. A name too long for a block gets a block of
    // its own size, and the current block stays open for the names after it.
    Text Intern(const char* name, LONG length);
    // Lets go of every block; the next name opens a new one.
    void Clear();

private:
    GrowableArray<Text> blocks;
    LONG blockUsed;
};

} // namespace Ostrel
