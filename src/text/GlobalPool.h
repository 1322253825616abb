// A process-wide record pool as its user holds it: the shape to create it in and the one pointer
// through which it is reached. Constant-initialised, so it can be a global of any translation
// unit; the pool is created by the first Allocate and is gone again (pointer null) once its last
// record is freed.
#pragma once

#include "text/RecordPool.h"

namespace Ostrel {

struct GlobalPool {
    size_t recordSize;
    int16_t recordsPerChunk;
    bool stable;
    RecordPool* pool;

    void* Allocate() {
        if (pool == nullptr) {
            pool = RecordPool::CreatePool(recordSize, recordsPerChunk, stable);
        }
        return pool->Allocate();
    }

    // See RecordPool::Free: the record now at the answered address (if any) moved there.
    void* Free(void* record) { return RecordPool::Free(pool, record); }
};

} // namespace Ostrel
