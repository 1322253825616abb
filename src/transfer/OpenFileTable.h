// The process-wide table of open files, which bounds the files open at once to 50. It is
// unguarded: files are opened and closed by one thread at a time.
#pragma once

#include "platform/com.h"

namespace Ostrel {

class GenericFile;

class OpenFileTable {
public:
    static constexpr LONG kEntries = 50;

    // The lowest free entry, now held by `file`; -1 when every entry is taken.
    static LONG Take(const GenericFile* file);
    static void Free(LONG index);
};

} // namespace Ostrel
