// Names made by loading share 3000-byte blocks instead of taking a heap block each. A name is a
// Text that shares its block's buffer and starts at its own place in it, so a block lives while
// any of its names does, and writing to a name gives it a private copy first.
//
// The model keeps a second arena of larger blocks for the attribute values, texts and comments
// that loading stores: a document's many short values then cost their bytes, not a heap block
// each. Only texts up to a fraction of a block are placed there, so that a block's unused tail
// stays small.
#pragma once

#include "platform/com.h"
#include "text/GrowableArray.h"
#include "text/Text.h"

namespace Ostrel {

class NameArena {
public:
    static constexpr LONG kBlockSize = 3000;

    // Texts longer than `longestPlaced` (at most blockSize - 1) get a buffer of their own.
    explicit NameArena(LONG blockSize = kBlockSize, LONG longestPlaced = kBlockSize - 1);
    NameArena(const NameArena&) = delete;
    NameArena& operator=(const NameArena&) = delete;

    // A copy of the first `length` bytes of `name`. A name too long for a block gets a block of
    // its own size, and the current block stays open for the names after it.
    Text Intern(const char* name, LONG length);
    // Lets go of every block; the next name opens a new one.
    void Clear();

private:
    GrowableArray<Text> blocks;
    LONG blockSize;
    LONG longestPlaced;
    LONG blockUsed;
};

} // namespace Ostrel
