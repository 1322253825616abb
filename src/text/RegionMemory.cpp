#include "text/RegionMemory.h"

#include "platform/com.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

#if __has_include(<sanitizer/asan_interface.h>)
#include <sanitizer/asan_interface.h>
#endif
#ifndef ASAN_POISON_MEMORY_REGION
#define ASAN_POISON_MEMORY_REGION(address, size) ((void)(address), (void)(size))
#define ASAN_UNPOISON_MEMORY_REGION(address, size) ((void)(address), (void)(size))
#endif

namespace Ostrel {

namespace {

constexpr size_t kSizeField = sizeof(uint64_t);
static_assert(kSizeField == RegionMemory::kAlignment, "a block starts right after its size");

struct Region {
    unsigned char* start;
    // Blocks handed out and not yet given back.
    size_t blocks;
};

// By start address, so that the region of a block is found by bisection.
std::vector<Region> regions;
// The region being carved (an index into `regions`, or none), and how far it is carved.
constexpr size_t kNoRegion = SIZE_MAX;
size_t carving = kNoRegion;
size_t carved = 0;

size_t RoundUp(size_t bytes) {
    return (bytes + RegionMemory::kAlignment - 1) / RegionMemory::kAlignment *
           RegionMemory::kAlignment;
}

// The index of the region holding the address, or kNoRegion.
size_t RegionOf(const void* address) {
    if (regions.empty()) {
        return kNoRegion;
    }
    const auto* byte = static_cast<const unsigned char*>(address);
    const auto after = std::upper_bound(
        regions.begin(), regions.end(), byte,
        [](const unsigned char* value, const Region& region) { return value < region.start; });
    if (after == regions.begin()) {
        return kNoRegion;
    }
    const Region& region = *(after - 1);
    if (byte >= region.start + RegionMemory::kRegionBytes) {
        return kNoRegion;
    }
    return static_cast<size_t>(after - 1 - regions.begin());
}

// A fresh region from the system, entered in the table and made the one being carved.
bool OpenRegion() {
    void* start =
        VirtualAlloc(nullptr, RegionMemory::kRegionBytes, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
    if (start == nullptr) {
        return false;
    }
    const Region region = {static_cast<unsigned char*>(start), 0};
    const auto at = std::upper_bound(
        regions.begin(), regions.end(), region.start,
        [](const unsigned char* value, const Region& other) { return value < other.start; });
    const auto index = static_cast<size_t>(at - regions.begin());
    try {
        regions.insert(at, region);
    } catch (...) {
        VirtualFree(start, 0, MEM_RELEASE);
        return false;
    }
    // The region carved until now is never carved again; it goes with its last block.
    carving = index;
    ASAN_POISON_MEMORY_REGION(start, RegionMemory::kRegionBytes);
    carved = 0;
    return true;
}

} // namespace

void* RegionMemory::Take(size_t bytes) {
    if (bytes > kLargestBlock) {
        return nullptr;
    }
    const size_t size = RoundUp(bytes == 0 ? 1 : bytes);
    if (carving == kNoRegion || carved + kSizeField + size > kRegionBytes) {
        if (!OpenRegion()) {
            return nullptr;
        }
    }
    Region& region = regions[carving];
    unsigned char* field = region.start + carved;
    carved += kSizeField + size;
    ++region.blocks;
    const uint64_t recorded = size;
    ASAN_UNPOISON_MEMORY_REGION(field, kSizeField);
    std::memcpy(field, &recorded, kSizeField);
    ASAN_POISON_MEMORY_REGION(field, kSizeField);
    ASAN_UNPOISON_MEMORY_REGION(field + kSizeField, size);
    return field + kSizeField;
}

bool RegionMemory::GiveBack(void* block) {
    const size_t index = RegionOf(block);
    if (index == kNoRegion) {
        return false;
    }
    ASAN_POISON_MEMORY_REGION(block, SizeOf(block));
    Region& region = regions[index];
    if (--region.blocks != 0) {
        return true;
    }
    ASAN_UNPOISON_MEMORY_REGION(region.start, kRegionBytes);
    VirtualFree(region.start, 0, MEM_RELEASE);
    regions.erase(regions.begin() + static_cast<ptrdiff_t>(index));
    if (carving == index) {
        carving = kNoRegion;
    } else if (carving != kNoRegion && carving > index) {
        --carving;
    }
    return true;
}

size_t RegionMemory::SizeOf(const void* block) {
    if (RegionOf(block) == kNoRegion) {
        return 0;
    }
    const unsigned char* field = static_cast<const unsigned char*>(block) - kSizeField;
    uint64_t size = 0;
    ASAN_UNPOISON_MEMORY_REGION(field, kSizeField);
    std::memcpy(&size, field, kSizeField);
    ASAN_POISON_MEMORY_REGION(field, kSizeField);
    return static_cast<size_t>(size);
}

size_t RegionMemory::LiveRegions() {
    return regions.size();
}

} // namespace Ostrel
