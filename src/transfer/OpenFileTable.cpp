#include "transfer/OpenFileTable.h"

namespace Ostrel {

namespace {

// Constant-initialised, so that it is empty before any code of the library runs.
const GenericFile* entries[OpenFileTable::kEntries] = {};

} // namespace

LONG OpenFileTable::Take(const GenericFile* file) {
    for (LONG index = 0; index < kEntries; ++index) {
        if (entries[index] == nullptr) {
            entries[index] = file;
            return index;
        }
    }
    return -1;
}

void OpenFileTable::Free(LONG index) {
    if (index >= 0 && index < kEntries) {
        entries[index] = nullptr;
    }
}

} // namespace Ostrel
