// The one road by which the text subsystem (text buffers, record pools, growable arrays) takes
// blocks from the heap. The counters let tests state how many heap calls an operation costs
// without interposing malloc.
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

    // Both throw std::bad_alloc when the heap refuses; a size of 0 still gives a distinct block.
    static void* Allocate(size_t bytes);
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
