#include "text/RecordPool.h"

#include "text/BlockMemory.h"
#include "text/ProgrammingError.h"

#include <algorithm>
#include <cstring>
#include <new>

namespace Ostrel {

namespace {

constexpr int16_t kChunkListStep = 8;
constexpr size_t kDefaultChunkBytes = 65536;

uint16_t Pattern(int16_t index) {
    return static_cast<uint16_t>(index);
}
int16_t Index(uint16_t pattern) {
    return static_cast<int16_t>(pattern);
}

int16_t DefaultRecordsFor(size_t recordSize) {
    size_t records = kDefaultChunkBytes / recordSize;
    return static_cast<int16_t>(std::clamp<size_t>(records, 1, RecordPool::kLargestChunk));
}

} // namespace

RecordPool* RecordPool::CreatePool(size_t recordSize, int16_t recordsPerChunk, bool stable) {
    if (recordSize < kSmallestRecord) {
        ProgrammingError("record pool: records must be at least 8 bytes");
    }
    if (recordsPerChunk == kDefaultChunkSize) {
        recordsPerChunk = DefaultRecordsFor(recordSize);
    }
    if (recordsPerChunk < 1) {
        ProgrammingError("record pool: a chunk holds 1 to 32767 records");
    }
    void* place = BlockMemory::Allocate(sizeof(RecordPool));
    auto* pool = new (place) RecordPool(recordSize, recordsPerChunk, stable);
    try {
        pool->current = pool->AddChunk(kDefaultChunkSize);
    } catch (...) {
        pool->~RecordPool();
        BlockMemory::Release(place);
        throw;
    }
    return pool;
}

RecordPool::RecordPool(size_t size, int16_t recordsPerChunk, bool isStable)
    : stable(isStable ? 1 : 0), freeChunk(nullptr), current(nullptr), chunks(kChunkListStep),
      recordSize(size), chunkRecords(recordsPerChunk) {}

RecordPool::~RecordPool() {
    for (PoolChunk* chunk : chunks) {
        BlockMemory::Release(chunk->storage);
        BlockMemory::Release(chunk);
    }
}

PoolChunk* RecordPool::AddChunk(int16_t records) {
    if (records == kDefaultChunkSize) {
        records = chunkRecords;
    }
    auto* chunk = static_cast<PoolChunk*>(BlockMemory::Allocate(sizeof(PoolChunk)));
    chunk->storage = nullptr;
    try {
        chunk->storage = static_cast<unsigned char*>(
            BlockMemory::Allocate(records * recordSize, PlacementOfNextChunk()));
        const LONG at = ChunksStartingAtOrBelow(chunk->storage);
        chunks.Resize(1, at);
        chunks[at] = chunk;
    } catch (...) {
        BlockMemory::Release(chunk->storage);
        BlockMemory::Release(chunk);
        throw;
    }
    chunk->recordSize = recordSize;
    chunk->capacity = records;
    chunk->top = 0;
    chunk->freeHead = kNone;
    chunk->freeCount = 0;
    chunk->directory = this;
    return chunk;
}

BlockMemory::Placement RecordPool::PlacementOfNextChunk() const {
    return BlockMemory::PlacementAfter(static_cast<size_t>(chunks.Count()) * chunkRecords *
                                       recordSize);
}

void RecordPool::RemoveChunk(PoolChunk* chunk) {
    const LONG at = ChunksStartingAtOrBelow(chunk->storage) - 1;
    if (at >= 0 && chunks[at] == chunk) {
        chunks.Resize(-1, at);
    }
    BlockMemory::Release(chunk->storage);
    BlockMemory::Release(chunk);
}

PoolChunk* RecordPool::FindChunk(const void* address) const {
    const LONG below = ChunksStartingAtOrBelow(address);
    return below == 0 ? nullptr : chunks[below - 1];
}

// Bisection: a pool of millions of records has thousands of chunks, and walking them (each a
// separate block) for every new chunk would make filling the pool quadratic.
LONG RecordPool::ChunksStartingAtOrBelow(const void* address) const {
    const auto* byte = static_cast<const unsigned char*>(address);
    LONG low = 0;
    LONG high = chunks.Count();
    while (low < high) {
        LONG middle = low + (high - low) / 2;
        if (chunks[middle]->storage <= byte) {
            low = middle + 1;
        } else {
            high = middle;
        }
    }
    return low;
}

PoolChunk* RecordPool::FirstChunkWithFreeRecords() const {
    for (PoolChunk* chunk : chunks) {
        if (chunk->freeHead != kNone) {
            return chunk;
        }
    }
    return nullptr;
}

void* RecordPool::Allocate() {
    if (current->IsFull() && freeChunk == nullptr) {
        current = AddChunk(kDefaultChunkSize);
    }
    if (freeChunk != nullptr) {
        return TakeFromFreeList();
    }
    return current->Record(current->top++);
}

void* RecordPool::TakeFromFreeList() {
    PoolChunk* chunk = freeChunk;
    unsigned char* record = chunk->Record(chunk->freeHead);
    const int16_t next = Index(Word(record, 3));
    SetWord(record, 0, kTakenMarker);
    SetWord(record, 1, 0);
    chunk->freeHead = next;
    if (next != kNone) {
        SetWord(chunk->Record(next), 2, Pattern(kNone));
    }
    --chunk->freeCount;
    if (next == kNone) {
        freeChunk = FirstChunkWithFreeRecords();
    }
    return record;
}

void* RecordPool::Free(RecordPool*& pool, void* record) {
    void* moved = nullptr;
    if (pool->IsStable()) {
        pool->FreeStable(record);
    } else {
        moved = pool->FreeCompacting(record);
    }
    if (pool->ReleaseIdleCurrent()) {
        pool->~RecordPool();
        BlockMemory::Release(pool);
        pool = nullptr;
    }
    return moved;
}

void RecordPool::FreeStable(void* record) {
    PoolChunk* chunk = FindChunk(record);
    if (chunk == nullptr || static_cast<unsigned char*>(record) >= chunk->Record(chunk->capacity)) {
        ProgrammingError("record pool: freeing a record that the pool did not hand out");
    }
    const int16_t index = chunk->IndexOf(record);
    SetWord(record, 2, Pattern(kNone));
    SetWord(record, 3, Pattern(chunk->freeHead));
    if (chunk->freeHead != kNone) {
        SetWord(chunk->Record(chunk->freeHead), 2, Pattern(index));
    }
    chunk->freeHead = index;
    ++chunk->freeCount;
    SetWord(record, 0, kFreeMarker);
    if (freeChunk == nullptr) {
        freeChunk = chunk;
    }
    if (chunk->IsIdle() && chunk != freeChunk && chunk != current) {
        RemoveChunk(chunk);
    }
}

void* RecordPool::FreeCompacting(void* record) {
    --current->top;
    unsigned char* top = current->Record(current->top);
    void* moved = nullptr;
    if (top != record) {
        std::memcpy(record, top, recordSize);
        moved = record;
    }
    SetWord(top, 0, kVacatedMarker);
    return moved;
}

bool RecordPool::ReleaseIdleCurrent() {
    if (!current->IsIdle()) {
        return false;
    }
    if (chunks.Count() == 1) {
        return true;
    }
    PoolChunk* idle = current;
    if (freeChunk == idle) {
        freeChunk = nullptr;
    }
    RemoveChunk(idle);
    if (freeChunk == nullptr) {
        freeChunk = FirstChunkWithFreeRecords();
    }
    current = freeChunk != nullptr ? freeChunk : chunks[0];
    return false;
}

uint16_t RecordPool::Word(const void* record, int word) {
    uint16_t value = 0;
    std::memcpy(&value, static_cast<const unsigned char*>(record) + word * sizeof(value),
                sizeof(value));
    return value;
}

void RecordPool::SetWord(void* record, int word, uint16_t value) {
    std::memcpy(static_cast<unsigned char*>(record) + word * sizeof(value), &value, sizeof(value));
}

} // namespace Ostrel
