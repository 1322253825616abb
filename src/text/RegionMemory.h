// Blocks carved one after another out of large regions of pages taken from the system, for the
// structures that a large document builds by the thousand and keeps as long as it lives: node
// record chunks, arena blocks, the arrays of loaded elements. Packed one after another, they hold
// no heap headers and no idle room, a Clear gives their pages back to the system at once, and a
// region (2 MiB, aligned) can be backed by one huge page where the system's setting does that.
//
// A block is never reused once given back: a region counts the blocks it holds and goes back to
// the system with its last one. Blocks larger than a sixteenth of a region are not placed, and
// the two newest regions are carved at once (the older one first), so that the tail a large
// block leaves behind is filled by the small ones after it.
//
// Each block is preceded by its size (8 bytes), so a region block can be moved like a heap block
// without its owner's help. Under AddressSanitizer the sizes and every byte not handed out are
// poisoned, so that running over a block's end or using it after it was given back is reported
// as for heap blocks.
//
// Process-wide and unguarded, like the rest of the text state.
#pragma once

#include <cstddef>

namespace Ostrel {

class RegionMemory {
public:
    static constexpr size_t kRegionBytes = size_t{2} << 20;
    static constexpr size_t kLargestBlock = kRegionBytes / 16;
    static constexpr size_t kAlignment = 8;

    // A block of `bytes` (rounded up to 8), or null when it is larger than kLargestBlock or no
    // region can be had; the caller then takes the block from the heap.
    static void* Take(size_t bytes);
    // True when the block lies in a region: it is given back, and the region with its last
    // block. False, and nothing done, for any other address.
    static bool GiveBack(void* block);
    // The bytes a region block was taken for (rounded up to 8), or 0 when the address lies in
    // no region.
    static size_t SizeOf(const void* block);
    // Regions held from the system.
    static size_t LiveRegions();
};

} // namespace Ostrel
