#include "text/BlockMemory.h"

#include <cstdlib>
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

void* BlockMemory::Allocate(size_t bytes) {
    RefuseWhenDue();
    void* block = std::malloc(bytes == 0 ? 1 : bytes);
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
    void* moved = std::realloc(block, bytes == 0 ? 1 : bytes);
    if (moved == nullptr) {
        throw std::bad_alloc();
    }
    ++counters.reallocations;
    return moved;
}

void BlockMemory::Release(void* block) {
    if (block == nullptr) {
        return;
    }
    ++counters.releases;
    std::free(block);
}

const BlockMemory::Counters& BlockMemory::GetCounters() {
    return counters;
}

void BlockMemory::FailAllocation(uint64_t nth) {
    callsUntilRefusal = nth;
}

} // namespace Ostrel
