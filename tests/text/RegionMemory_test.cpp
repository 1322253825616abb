#include "support/TextTestSupport.h"
#include "text/BlockMemory.h"
#include "text/GrowableArray.h"
#include "text/RegionMemory.h"
#include "text/Text.h"

#include <gtest/gtest.h>

#include <cstring>
#include <new>
#include <string>
#include <vector>

namespace {

using Ostrel::BlockMemory;
using Ostrel::GrowableArray;
using Ostrel::RegionMemory;
using Ostrel::Text;
using Placement = BlockMemory::Placement;

void Fill(void* block, size_t bytes, unsigned char value) {
    std::memset(block, value, bytes);
}

bool Holds(const void* block, size_t bytes, unsigned char value) {
    const auto* byte = static_cast<const unsigned char*>(block);
    for (size_t i = 0; i < bytes; ++i) {
        if (byte[i] != value) {
            return false;
        }
    }
    return true;
}

// Blocks are carved one after another, each keeps its bytes while its neighbours are written,
// released and moved, and the regions go back to the system with their last block.
TEST(RegionMemory, BlocksKeepTheirBytesAndRegionsGoWithTheirLastBlock) {
    ASSERT_EQ(RegionMemory::LiveRegions(), 0u);
    const uint64_t liveBefore = Ostrel::Testing::LiveBlocks();
    std::vector<void*> blocks;
    // Enough 100 KiB blocks for three regions.
    for (int i = 0; i < 60; ++i) {
        void* block = BlockMemory::Allocate(100000, Placement::Region);
        ASSERT_EQ(RegionMemory::SizeOf(block), 100000u);
        Fill(block, 100000, static_cast<unsigned char>(i));
        blocks.push_back(block);
    }
    EXPECT_EQ(RegionMemory::LiveRegions(), 3u);
    for (size_t i = 0; i < blocks.size(); i += 2) {
        BlockMemory::Release(blocks[i]);
        blocks[i] = nullptr;
    }
    // Half the blocks of every region are still in use: nothing went back.
    EXPECT_EQ(RegionMemory::LiveRegions(), 3u);
    // A block that grows moves to the heap with its bytes; one that shrinks keeps the prefix.
    blocks[1] = BlockMemory::Reallocate(blocks[1], 300000);
    EXPECT_EQ(RegionMemory::SizeOf(blocks[1]), 0u);
    EXPECT_TRUE(Holds(blocks[1], 100000, 1));
    blocks[3] = BlockMemory::Reallocate(blocks[3], 10);
    EXPECT_TRUE(Holds(blocks[3], 10, 3));
    for (size_t i = 5; i < blocks.size(); i += 2) {
        EXPECT_TRUE(Holds(blocks[i], 100000, static_cast<unsigned char>(i))) << "block " << i;
        BlockMemory::Release(blocks[i]);
    }
    BlockMemory::Release(blocks[1]);
    BlockMemory::Release(blocks[3]);
    EXPECT_EQ(RegionMemory::LiveRegions(), 0u);
    EXPECT_EQ(Ostrel::Testing::LiveBlocks(), liveBefore);
}

// What does not fit a region's rules comes from the heap, and a refused call is refused for
// either placement.
TEST(RegionMemory, LargeBlocksComeFromTheHeapAndRefusalsHoldForRegionsToo) {
    void* large = BlockMemory::Allocate(RegionMemory::kLargestBlock + 1, Placement::Region);
    EXPECT_EQ(RegionMemory::SizeOf(large), 0u);
    EXPECT_EQ(RegionMemory::LiveRegions(), 0u);
    BlockMemory::Release(large);

    void* empty = BlockMemory::Allocate(0, Placement::Region);
    EXPECT_EQ(RegionMemory::SizeOf(empty), RegionMemory::kAlignment);
    BlockMemory::FailAllocation(1);
    EXPECT_THROW(BlockMemory::Allocate(64, Placement::Region), std::bad_alloc);
    BlockMemory::Release(empty);
    EXPECT_EQ(RegionMemory::LiveRegions(), 0u);
    EXPECT_EQ(RegionMemory::SizeOf(&large), 0u);
}

// Arrays placed in a region grow, shrink and empty like heap arrays; texts inside them keep
// their values when they are moved to the heap.
TEST(RegionMemory, ArraysPlacedInRegionsBehaveAsHeapArrays) {
    GrowableArray<Text> texts(3);
    texts.SetSize(4, 4, Placement::Region);
    EXPECT_NE(RegionMemory::SizeOf(texts.begin()), 0u);
    for (LONG i = 0; i < 4; ++i) {
        texts[i] = Text(std::to_string(i).c_str());
    }
    texts.Append(Text("4"));
    EXPECT_EQ(RegionMemory::SizeOf(texts.begin()), 0u);
    EXPECT_EQ(Ostrel::Testing::Strings(texts), (std::vector<std::string>{"0", "1", "2", "3", "4"}));
    EXPECT_EQ(RegionMemory::LiveRegions(), 0u);

    GrowableArray<int*> pointers(10);
    int values[3] = {};
    for (int& value : values) {
        pointers.Append(&value);
    }
    pointers.SetSize(3, 3, Placement::Region);
    EXPECT_NE(RegionMemory::SizeOf(pointers.begin()), 0u);
    pointers.Append(&values[0]);
    EXPECT_EQ(RegionMemory::SizeOf(pointers.begin()), 0u);
    EXPECT_EQ(std::vector<int*>(pointers.begin(), pointers.end()),
              (std::vector<int*>{&values[0], &values[1], &values[2], &values[0]}));
    pointers.Clear();
    EXPECT_EQ(RegionMemory::LiveRegions(), 0u);

    Text reserved;
    reserved.Reserve(100, Placement::Region);
    EXPECT_EQ(RegionMemory::LiveRegions(), 1u);
    const Text shared = reserved.PlaceAt(0, "placed", 6);
    reserved = Text();
    EXPECT_EQ(shared, "placed");
    EXPECT_EQ(RegionMemory::LiveRegions(), 1u);
}

} // namespace
