// Fixed-size records from large chunks, so that objects made and destroyed in large numbers (text
// headers, tree nodes) cost no heap call each.
//
// Stable mode keeps a free list per chunk and never moves a record. Compacting mode fills a
// freed place at once with the topmost record of the current chunk, so records in use stay packed
// at the bottom of the chunks; Free tells the caller which record moved so that it can repair
// every pointer to it. Every chunk other than `current` is full in compacting mode.
//
// The first four 16-bit words of a record that is not in use carry the markers below; records in
// use belong entirely to their owner. A pool is reached through one pointer that its user owns
// (see GlobalPool), and it frees itself, setting that pointer to null, with its last chunk.
//
// Unlike a plain reading of the chunk release rules, a chunk that is both `current` and
// `freeChunk` is never left designated after it is freed, and no marker is ever written through
// the "none" index: two models in one process reach both situations.
#pragma once

#include "text/BlockMemory.h"
#include "text/GrowableArray.h"

#include <cstddef>
#include <cstdint>

namespace Ostrel {

class RecordPool;

struct PoolChunk {
    unsigned char* storage;
    uint64_t recordSize;
    int16_t capacity;
    // Records at and above `top` have never been handed out.
    int16_t top;
    int16_t freeHead;
    int16_t freeCount;
    RecordPool* directory;

    unsigned char* Record(int16_t index) const { return storage + index * recordSize; }
    int16_t IndexOf(const void* record) const {
        return static_cast<int16_t>((static_cast<const unsigned char*>(record) - storage) /
                                    static_cast<ptrdiff_t>(recordSize));
    }
    bool IsFull() const { return top == capacity; }
    bool IsIdle() const { return top == freeCount; }
};

class RecordPool {
public:
    // Indices are 16-bit; this pattern (0x8001) is reserved for "none".
    static constexpr int16_t kNone = -32767;
    // The same pattern as a chunk size: the pool's default chunk size. Given to CreatePool, it
    // selects chunks of about 64 KiB.
    static constexpr int16_t kDefaultChunkSize = -32767;
    static constexpr int16_t kLargestChunk = 32767;
    static constexpr size_t kSmallestRecord = 8;

    // Word 0 of a record that is not in use.
    static constexpr uint16_t kFreeMarker = 0xDDDD;
    static constexpr uint16_t kTakenMarker = 0xCDCD;
    static constexpr uint16_t kVacatedMarker = 0xFDFD;

    // The directory and its first chunk, which becomes `current`. A record size below 8 bytes or
    // a chunk size outside 1..32767 (other than the default) is a programming error.
    static RecordPool* CreatePool(size_t recordSize, int16_t recordsPerChunk, bool stable);

    // A record whose contents are undefined apart from the markers. Throws std::bad_alloc when
    // a new chunk cannot be had; the pool is unchanged then.
    void* Allocate();

    // Gives the record back. In compacting mode, answers the freed place when the pool's topmost
    // record was moved into it (the caller repairs pointers to that record), else null. When
    // nothing in the pool is in use any more, the pool is freed and `pool` becomes null.
    static void* Free(RecordPool*& pool, void* record);

    // The last chunk whose storage starts at or below the address, or null.
    PoolChunk* FindChunk(const void* address) const;

    bool IsStable() const { return stable != 0; }

private:
    RecordPool(size_t size, int16_t recordsPerChunk, bool isStable);
    ~RecordPool();

    PoolChunk* AddChunk(int16_t records);
    // The heap for the first chunks, regions once the pool is large.
    BlockMemory::Placement PlacementOfNextChunk() const;
    void RemoveChunk(PoolChunk* chunk);
    // The number of chunks whose storage starts at or below the address: the position of the
    // chunk holding it, plus one, or where a chunk starting there belongs.
    LONG ChunksStartingAtOrBelow(const void* address) const;
    PoolChunk* FirstChunkWithFreeRecords() const;
    void* TakeFromFreeList();
    void FreeStable(void* record);
    void* FreeCompacting(void* record);
    // Frees `current` when nothing in it is in use; answers whether the whole pool went with it.
    bool ReleaseIdleCurrent();

    static uint16_t Word(const void* record, int word);
    static void SetWord(void* record, int word, uint16_t value);

    int32_t stable;
    PoolChunk* freeChunk;
    PoolChunk* current;
    GrowableArray<PoolChunk*> chunks;
    size_t recordSize;
    int16_t chunkRecords;
};

} // namespace Ostrel
