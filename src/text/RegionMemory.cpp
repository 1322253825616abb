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
    // Bytes carved so far, sizes included.
    size_t carved;
    // Blocks handed out and not yet given back.
    size_t blocks;
};

// By start address, so that the region of a block is found by bisection.
std::vector<Region> regions;

// The two newest regions are carved (indices into `regions`, newest first): a block that does
// not fit the tail of the older one opens a new region, and the smaller blocks that follow still
// fill that tail, so that pool chunks among small arrays leave little unused.
constexpr size_t kNoRegion = SIZE_MAX;
size_t carving[2] = {kNoRegion, kNoRegion};

size_t RoundUp(size_t bytes) {
    return (bytes + RegionMemory::kAlignment - 1) / RegionMemory::kAlignment *
           RegionMemory::kAlignment;
}

bool Before(const unsigned char* address, const Region& region) {
    return address < region.start;
}

// The index of the region holding the address, or kNoRegion.
size_t RegionOf(const void* address) {
    if (regions.empty()) {
        return kNoRegion;
    }
    const auto* byte = static_cast<const unsigned char*>(address);
    const auto after = std::upper_bound(regions.begin(), regions.end(), byte, Before);
    if (after == regions.begin() || byte >= (after - 1)->start + RegionMemory::kRegionBytes) {
        return kNoRegion;
    }
    return static_cast<size_t>(after - 1 - regions.begin());
}

// A fresh region from the system, entered in the table and made the newest carved one; the
// index of the region, or kNoRegion.
size_t OpenRegion() {
    void* start =
        VirtualAlloc(nullptr, RegionMemory::kRegionBytes, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
    if (start == nullptr) {
        return kNoRegion;
    }
    const Region region = {static_cast<unsigned char*>(start), 0, 0};
    const auto at = std::upper_bound(regions.begin(), regions.end(), region.start, Before);
    const auto index = static_cast<size_t>(at - regions.begin());
    try {
        regions.insert(at, region);
    } catch (...) {
        VirtualFree(start, 0, MEM_RELEASE);
        return kNoRegion;
    }
    for (size_t& carved : carving) {
        if (carved != kNoRegion && carved >= index) {
            ++carved;
        }
    }
    carving[1] = carving[0];
    carving[0] = index;
    ASAN_POISON_MEMORY_REGION(start, RegionMemory::kRegionBytes);
    return index;
}

void* Carve(Region& region, size_t size) {
    unsigned char* field = region.start + region.carved;
    region.carved += kSizeField + size;
    ++region.blocks;
    const uint64_t recorded = size;
    ASAN_UNPOISON_MEMORY_REGION(field, kSizeField);
    std::memcpy(field, &recorded, kSizeField);
    ASAN_POISON_MEMORY_REGION(field, kSizeField);
    ASAN_UNPOISON_MEMORY_REGION(field + kSizeField, size);
    return field + kSizeField;
}

} // namespace

void* RegionMemory::Take(size_t bytes) {
    if (bytes > kLargestBlock) {
        return nullptr;
    }
    const size_t size = RoundUp(bytes == 0 ? 1 : bytes);
    // The older region first: its tail is filled before the newer one is carved further.
    for (const size_t index : {carving[1], carving[0]}) {
        if (index != kNoRegion && regions[index].carved + kSizeField + size <= kRegionBytes) {
            return Carve(regions[index], size);
        }
    }
    const size_t index = OpenRegion();
    return index == kNoRegion ? nullptr : Carve(regions[index], size);
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
    for (size_t& carved : carving) {
        if (carved == index) {
            carved = kNoRegion;
        } else if (carved != kNoRegion && carved > index) {
            --carved;
        }
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
