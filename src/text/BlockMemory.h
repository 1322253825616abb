// The one road by which the text subsystem (text buffers, record pools, growable arrays) takes
// blocks of memory. The counters let tests state how many heap calls an operation costs without
// interposing malloc.
//
// A block is placed on the heap or, for a large structure's long-lived parts, carved from the
// regions of RegionMemory (falling back to the heap when it does not fit one). Either kind is
// reallocated and released here alike: a region block that is reallocated moves to the heap.
#pragma once

#include <cstddef>
#include <cstdint>

namespace Ostrel {

class BlockMemory {
public:
    struct Counters {
        uint64_t allocations;
        uint64_t reallocations;
        uint64_t releases;
        // Calls refused by FailAllocation.
        uint64_t refusals;
    };

    enum class Placement { Heap, Region };
    // A structure takes region blocks only once it holds this much, so that a small document
    // never opens a 2 MiB region it would barely fill.
    static constexpr size_t kBytesBeforeRegions = size_t{2} << 20;

    // Where the next block of a structure that already holds `held` bytes goes.
    static Placement PlacementAfter(size_t held) {
        return held >= kBytesBeforeRegions ? Placement::Region : Placement::Heap;
    }

    // Both throw std::bad_alloc when the heap refuses; a size of 0 still gives a distinct block.
    static void* Allocate(size_t bytes, Placement placement = Placement::Heap);
    // A null block is allocated; the contents carry over up to the smaller size.
    static void* Reallocate(void* block, size_t bytes);
    // Null is ignored.
    static void Release(void* block);

    // Process-wide, unguarded like the rest of the text state.
    static const Counters& GetCounters();
    // For tests of what running out of memory does: the nth Allocate or Reallocate from now on
    // throws std::bad_alloc, once; 0 calls a pending refusal off. Process-wide and unguarded too.
    static void FailAllocation(uint64_t nth);
};

} // namespace Ostrel
