#include "text/BlockMemory.h"
#include "text/GlobalPool.h"
#include "text/RecordPool.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace {

using Ostrel::BlockMemory;
using Ostrel::GlobalPool;
using Ostrel::PoolChunk;
using Ostrel::RecordPool;

bool Holds(const void* record, size_t size, unsigned char value) {
    const auto* bytes = static_cast<const unsigned char*>(record);
    for (size_t i = 0; i < size; ++i) {
        if (bytes[i] != value) {
            return false;
        }
    }
    return true;
}

TEST(RecordPool, CompactingPoolMovesTheTopmostRecordAndGoesAwayWithItsLastRecord) {
    GlobalPool site = {16, 2, false, nullptr};
    const auto before = BlockMemory::GetCounters();
    void* a = site.Allocate();
    void* b = site.Allocate();
    void* c = site.Allocate();
    ASSERT_EQ(site.pool->ChunkCount(), 2);
    std::memset(a, 0xA1, 16);
    std::memset(b, 0xB2, 16);
    std::memset(c, 0xC3, 16);

    EXPECT_EQ(site.Free(a), a) << "the top of the current chunk moved into a's place";
    EXPECT_TRUE(Holds(a, 16, 0xC3));
    EXPECT_EQ(site.pool->ChunkCount(), 1) << "the emptied current chunk is released";
    EXPECT_EQ(site.Free(b), nullptr) << "the topmost record moves nothing";
    EXPECT_EQ(RecordPool::Word(b, 0), RecordPool::kVacatedMarker);
    EXPECT_TRUE(Holds(a, 16, 0xC3));
    EXPECT_EQ(site.Allocate(), b) << "records stay packed at the bottom";
    site.Free(b);
    site.Free(a);
    EXPECT_EQ(site.pool, nullptr);
    const auto after = BlockMemory::GetCounters();
    EXPECT_EQ(after.allocations - before.allocations, after.releases - before.releases)
        << "every chunk, its storage and the directory are given back";
}

// Two models in one process: one fills a chunk, the other takes a record from the next chunk
// and gives it back, so that chunk is current and freeChunk at once when it empties. It must be
// released without either designation surviving; the asan build reports any later use of it.
TEST(RecordPool, StableChunkThatIsCurrentAndFreeChunkIsNeverUsedAfterRelease) {
    GlobalPool site = {32, 2, true, nullptr};
    void* first = site.Allocate();
    void* second = site.Allocate();
    std::memset(first, 0x11, 32);
    std::memset(second, 0x22, 32);
    site.Free(site.Allocate());
    ASSERT_NE(site.pool, nullptr);
    EXPECT_EQ(site.pool->ChunkCount(), 1);
    EXPECT_EQ(site.pool->FreeChunk(), nullptr);
    EXPECT_EQ(site.pool->Current(), site.pool->FindChunk(first));

    std::vector<void*> more;
    for (int i = 0; i < 5; ++i) {
        more.push_back(site.Allocate());
        std::memset(more.back(), 0x33, 32);
    }
    EXPECT_TRUE(Holds(first, 32, 0x11));
    EXPECT_TRUE(Holds(second, 32, 0x22));
    for (void* record : more) {
        site.Free(record);
    }
    site.Free(second);
    site.Free(first);
    EXPECT_EQ(site.pool, nullptr);
}

// Chunks released in the middle leave holes that later chunks may take: new chunks are put in
// their place by address, and bisection still finds every record in its own chunk.
TEST(RecordPool, ChunksStaySortedAndFoundWhenNewOnesFillHoles) {
    GlobalPool site = {8, 3, true, nullptr};
    std::vector<void*> live;
    std::vector<void*> released;
    for (int i = 0; i < 300; ++i) {
        void* record = site.Allocate();
        ((i / 3) % 2 == 0 ? live : released).push_back(record);
    }
    for (void* record : released) {
        site.Free(record);
    }
    for (int i = 0; i < 150; ++i) {
        live.push_back(site.Allocate());
    }
    RecordPool* pool = site.pool;
    for (LONG i = 1; i < pool->ChunkCount(); ++i) {
        ASSERT_LT(pool->Chunk(i - 1)->storage, pool->Chunk(i)->storage) << i;
    }
    for (void* record : live) {
        PoolChunk* chunk = pool->FindChunk(record);
        ASSERT_NE(chunk, nullptr);
        EXPECT_GE(static_cast<unsigned char*>(record), chunk->storage);
        EXPECT_LT(static_cast<unsigned char*>(record), chunk->Record(chunk->capacity));
    }
    EXPECT_EQ(pool->FindChunk(pool->Chunk(0)->storage - 1), nullptr);
    for (void* record : live) {
        site.Free(record);
    }
    EXPECT_EQ(site.pool->ChunkCount(), 1) << "the idle freeChunk stays for reuse";
    site.Free(site.Allocate());
    EXPECT_EQ(site.pool, nullptr);
}

TEST(RecordPoolDeathTest, RecordsAndChunksOutsideTheLimitsStop) {
    EXPECT_DEATH(RecordPool::CreatePool(4, 10, true), "at least 8 bytes");
    EXPECT_DEATH(RecordPool::CreatePool(8, 0, false), "1 to 32767 records");
}

} // namespace
