#include "text/BlockMemory.h"

#include "text/RegionMemory.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <new>

namespace Ostrel {

namespace {

BlockMemory::Counters counters = {0, 0, 0, 0};
uint64_t callsUntilRefusal = 0;

void RefuseWhenDue() {
    if (callsUntilRefusal != 0 && --callsUntilRefusal == 0) {
        ++counters.refusals;
        throw std::bad_alloc();
    }
}

} // namespace

void* BlockMemory::Allocate(size_t bytes, Placement placement) {
    RefuseWhenDue();
    void* block = placement == Placement::Region ? RegionMemory::Take(bytes) : nullptr;
    if (block == nullptr) {
        block = std::malloc(bytes == 0 ? 1 : bytes);
    }
    if (block == nullptr) {
        throw std::bad_alloc();
    }
    ++counters.allocations;
    return block;
}

void* BlockMemory::Reallocate(void* block, size_t bytes) {
    if (block == nullptr) {
        return Allocate(bytes);
    }
    RefuseWhenDue();
    // A region block cannot grow in place: it moves to the heap.
    const size_t placed = RegionMemory::SizeOf(block);
    const size_t size = bytes == 0 ? 1 : bytes;
    void* moved = placed != 0 ? std::malloc(size) : std::realloc(block, size);
    if (moved == nullptr) {
        throw std::bad_alloc();
    }
    if (placed != 0) {
        std::memcpy(moved, block, std::min(placed, size));
        RegionMemory::GiveBack(block);
    }
    ++counters.reallocations;
    return moved;
}

void BlockMemory::Release(void* block) {
    if (block == nullptr) {
        return;
    }
    ++counters.releases;
    if (!RegionMemory::GiveBack(block)) {
        std::free(block);
    }
}

const BlockMemory::Counters& BlockMemory::GetCounters() {
    return counters;
}

void BlockMemory::FailAllocation(uint64_t nth) {
    callsUntilRefusal = nth;
}

} // namespace Ostrel
