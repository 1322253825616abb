// The memory beneath texts and arrays: record pools and the regions that blocks are carved from.
#include "support/TextTestSupport.h"
#include "text/BlockMemory.h"
#include "text/GlobalPool.h"
#include "text/RegionMemory.h"

#include <gtest/gtest.h>

#include <cstring>
#include <new>
#include <string>
#include <utility>
#include <vector>

namespace Ostrel::Testing {
namespace {

using Placement = BlockMemory::Placement;

bool Holds(const void* block, size_t bytes, int value) {
    return std::string(static_cast<const char*>(block), bytes) ==
           std::string(bytes, static_cast<char>(value));
}

// Records in use with the byte each was filled with.
using Records = std::vector<std::pair<void*, int>>;

void Take(GlobalPool& site, Records& records, int count) {
    for (int i = 0; i < count; ++i) {
        records.emplace_back(site.Allocate(), static_cast<int>(records.size() % 251));
        std::memset(records.back().first, records.back().second, site.recordSize);
    }
}

// Two users of one stable pool, as two models in one process: a chunk that is both current and
// the free-list chunk empties and is released, free lists run empty (their ends are the "none"
// index), released chunks leave holes that new chunks take. Every record keeps its bytes, and
// the asan build reports a use of a released chunk or a write through "none".
TEST(RecordPool, StableRecordsKeepTheirBytesWhileChunksComeAndGo) {
    GlobalPool site = {16, 2, true, nullptr};
    Records live;
    Take(site, live, 2);
    site.Free(site.Allocate());
    Records more;
    Take(site, more, 300);
    for (size_t i = 0; i < more.size(); ++i) {
        if ((i / 3) % 2 == 0) {
            live.push_back(more[i]);
        } else {
            site.Free(more[i].first);
        }
    }
    Take(site, live, 150);
    for (const auto& [record, byte] : live) {
        ASSERT_TRUE(Holds(record, site.recordSize, byte));
    }
    for (const auto& record : live) {
        site.Free(record.first);
    }
    site.Free(site.Allocate());
    EXPECT_EQ(site.pool, nullptr) << "the pool goes with its last record";
}

// Blocks are carved one after another, each keeps its bytes while its neighbours are written,
// released and moved, and the regions go back to the system with their last block. What does
// not fit a region's rules comes from the heap, and a refusal holds for regions too.
TEST(RegionMemory, BlocksKeepTheirBytesAndRegionsGoWithTheirLastBlock) {
    ASSERT_EQ(RegionMemory::LiveRegions(), 0u);
    const uint64_t liveBefore = LiveBlocks();
    std::vector<void*> blocks;
    // Enough 100 KiB blocks for three regions.
    for (int i = 0; i < 60; ++i) {
        blocks.push_back(BlockMemory::Allocate(100000, Placement::Region));
        ASSERT_EQ(RegionMemory::SizeOf(blocks.back()), 100000u);
        std::memset(blocks.back(), i, 100000);
    }
    EXPECT_EQ(RegionMemory::LiveRegions(), 3u);
    for (size_t i = 0; i < blocks.size(); i += 2) {
        BlockMemory::Release(blocks[i]);
    }
    EXPECT_EQ(RegionMemory::LiveRegions(), 3u) << "half the blocks of every region are in use";
    // A block that grows moves to the heap with its bytes; one that shrinks keeps the prefix.
    blocks[1] = BlockMemory::Reallocate(blocks[1], 300000);
    EXPECT_EQ(RegionMemory::SizeOf(blocks[1]), 0u);
    EXPECT_TRUE(Holds(blocks[1], 100000, 1));
    blocks[3] = BlockMemory::Reallocate(blocks[3], 10);
    EXPECT_TRUE(Holds(blocks[3], 10, 3));
    for (size_t i = 5; i < blocks.size(); i += 2) {
        EXPECT_TRUE(Holds(blocks[i], 100000, static_cast<int>(i))) << "block " << i;
        BlockMemory::Release(blocks[i]);
    }
    void* large = BlockMemory::Allocate(RegionMemory::kLargestBlock + 1, Placement::Region);
    EXPECT_EQ(RegionMemory::SizeOf(large), 0u);
    BlockMemory::FailAllocation(1);
    EXPECT_THROW(BlockMemory::Allocate(64, Placement::Region), std::bad_alloc);
    for (void* block : {blocks[1], blocks[3], large}) {
        BlockMemory::Release(block);
    }
    EXPECT_EQ(RegionMemory::LiveRegions(), 0u);
    EXPECT_EQ(LiveBlocks(), liveBefore);
}

} // namespace
} // namespace Ostrel::Testing
