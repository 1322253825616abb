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

constexpr uint16_t kNonePattern = 0x8001;

void Fill(void* record, size_t size, unsigned char value) {
    std::memset(record, value, size);
}

bool Holds(const void* record, size_t size, unsigned char value) {
    const auto* bytes = static_cast<const unsigned char*>(record);
    for (size_t i = 0; i < size; ++i) {
        if (bytes[i] != value) {
            return false;
        }
    }
    return true;
}

TEST(RecordPool, CompactingPoolGrowsASecondChunkAndGoesAwayWithItsLastRecord) {
    GlobalPool site = {96, 200, false, nullptr};
    const auto before = BlockMemory::GetCounters();
    std::vector<void*> records;
    for (int i = 0; i < 201; ++i) {
        records.push_back(site.Allocate());
    }
    ASSERT_NE(site.pool, nullptr);
    EXPECT_EQ(site.pool->ChunkCount(), 2);
    EXPECT_EQ(site.pool->Current()->top, 1);
    EXPECT_FALSE(site.pool->IsStable());

    // Free from the top down: nothing moves.
    while (!records.empty()) {
        EXPECT_EQ(site.Free(records.back()), nullptr);
        records.pop_back();
    }
    EXPECT_EQ(site.pool, nullptr);
    const auto after = BlockMemory::GetCounters();
    EXPECT_EQ(after.allocations - before.allocations, after.releases - before.releases)
        << "every chunk, its storage and the directory are given back";

    // The next allocation makes the pool again.
    void* again = site.Allocate();
    EXPECT_NE(site.pool, nullptr);
    site.Free(again);
    EXPECT_EQ(site.pool, nullptr);
}

TEST(RecordPool, CompactingFreeMovesTheTopmostRecordIntoTheFreedPlace) {
    GlobalPool site = {16, 8, false, nullptr};
    void* a = site.Allocate();
    void* b = site.Allocate();
    void* c = site.Allocate();
    Fill(a, 16, 0xA1);
    Fill(b, 16, 0xB2);
    Fill(c, 16, 0xC3);

    EXPECT_EQ(site.Free(c), nullptr) << "the topmost record moves nothing";
    EXPECT_EQ(RecordPool::Word(c, 0), RecordPool::kVacatedMarker);
    EXPECT_TRUE(Holds(a, 16, 0xA1));

    EXPECT_EQ(site.Free(a), a) << "b moved into a's place";
    EXPECT_TRUE(Holds(a, 16, 0xB2));
    EXPECT_EQ(RecordPool::Word(b, 0), RecordPool::kVacatedMarker);
    EXPECT_EQ(site.pool->Current()->top, 1);

    EXPECT_EQ(site.Allocate(), b) << "records stay packed at the bottom";
    site.Free(b);
    site.Free(a);
    EXPECT_EQ(site.pool, nullptr);
}

TEST(RecordPool, CompactingFreeInAFullChunkTakesTheTopOfTheCurrentChunk) {
    GlobalPool site = {8, 2, false, nullptr};
    void* first = site.Allocate();
    void* second = site.Allocate();
    void* third = site.Allocate();
    ASSERT_EQ(site.pool->ChunkCount(), 2);
    Fill(first, 8, 1);
    Fill(second, 8, 2);
    Fill(third, 8, 3);

    EXPECT_EQ(site.Free(first), first);
    EXPECT_TRUE(Holds(first, 8, 3));
    EXPECT_EQ(site.pool->ChunkCount(), 1) << "the emptied current chunk is released";
    EXPECT_TRUE(Holds(second, 8, 2));

    site.Free(first);
    site.Free(second);
    EXPECT_EQ(site.pool, nullptr);
}

TEST(RecordPool, StableFreeListHandsBackTheLastFreedRecordWithMarkers) {
    GlobalPool site = {24, 4, true, nullptr};
    void* records[4];
    for (void*& record : records) {
        record = site.Allocate();
        Fill(record, 24, 0x5A);
    }
    PoolChunk* chunk = site.pool->Current();

    site.Free(records[1]);
    EXPECT_EQ(RecordPool::Word(records[1], 0), RecordPool::kFreeMarker);
    EXPECT_EQ(RecordPool::Word(records[1], 2), kNonePattern);
    EXPECT_EQ(RecordPool::Word(records[1], 3), kNonePattern);
    site.Free(records[3]);
    EXPECT_EQ(RecordPool::Word(records[3], 3), 1) << "next is the earlier head";
    EXPECT_EQ(RecordPool::Word(records[1], 2), 3) << "previous is the new head";
    EXPECT_EQ(chunk->freeHead, 3);
    EXPECT_EQ(chunk->freeCount, 2);
    EXPECT_EQ(site.pool->FreeChunk(), chunk);
    EXPECT_TRUE(Holds(records[0], 24, 0x5A)) << "records in use are not touched";
    EXPECT_TRUE(Holds(records[2], 24, 0x5A));

    EXPECT_EQ(site.Allocate(), records[3]) << "last freed, first reused";
    EXPECT_EQ(RecordPool::Word(records[3], 0), RecordPool::kTakenMarker);
    EXPECT_EQ(RecordPool::Word(records[3], 1), 0);
    EXPECT_EQ(RecordPool::Word(records[1], 2), kNonePattern) << "the new head has no previous";
    EXPECT_EQ(site.Allocate(), records[1]);
    EXPECT_EQ(site.pool->FreeChunk(), nullptr);
    EXPECT_TRUE(Holds(records[0], 24, 0x5A));
    EXPECT_TRUE(Holds(records[2], 24, 0x5A));

    for (void* record : records) {
        site.Free(record);
    }
    EXPECT_EQ(site.pool, nullptr);
}

TEST(RecordPool, StableChunkWithAllRecordsFreeSurvivesOnlyAsCurrentOrFreeChunk) {
    GlobalPool site = {8, 2, true, nullptr};
    void* a0 = site.Allocate();
    void* a1 = site.Allocate();
    void* b0 = site.Allocate();
    void* b1 = site.Allocate();
    void* c0 = site.Allocate();
    ASSERT_EQ(site.pool->ChunkCount(), 3);
    PoolChunk* a = site.pool->FindChunk(a0);
    PoolChunk* b = site.pool->FindChunk(b0);

    site.Free(a0);
    site.Free(a1);
    EXPECT_EQ(site.pool->FreeChunk(), a);
    EXPECT_EQ(site.pool->ChunkCount(), 3) << "an idle chunk that is freeChunk stays";

    site.Free(b0);
    site.Free(b1);
    EXPECT_EQ(site.pool->ChunkCount(), 2) << "an idle chunk that is neither goes";
    EXPECT_EQ(site.pool->FindChunk(b0) == b, false);

    site.Free(c0);
    EXPECT_EQ(site.pool->ChunkCount(), 1) << "the idle current chunk goes";
    EXPECT_EQ(site.pool->Current(), a);
    EXPECT_EQ(site.pool->FreeChunk(), a);

    void* again = site.Allocate();
    EXPECT_TRUE(again == a0 || again == a1);
    site.Free(again);
    EXPECT_EQ(site.pool, nullptr);
}

// Two models in one process: one fills a chunk, the other takes a record from the next chunk
// and gives it back, so that chunk is current and freeChunk at once when it empties. It must be
// released without either designation surviving; the asan build reports any later use of it.
TEST(RecordPool, StableChunkThatIsCurrentAndFreeChunkIsNeverUsedAfterRelease) {
    GlobalPool site = {32, 2, true, nullptr};
    void* first = site.Allocate();
    void* second = site.Allocate();
    Fill(first, 32, 0x11);
    Fill(second, 32, 0x22);
    void* other = site.Allocate();
    ASSERT_EQ(site.pool->ChunkCount(), 2);
    ASSERT_EQ(site.pool->Current(), site.pool->FindChunk(other));

    site.Free(other);
    ASSERT_NE(site.pool, nullptr);
    EXPECT_EQ(site.pool->ChunkCount(), 1);
    EXPECT_EQ(site.pool->FreeChunk(), nullptr);
    EXPECT_EQ(site.pool->Current(), site.pool->FindChunk(first));

    std::vector<void*> more;
    for (int i = 0; i < 5; ++i) {
        more.push_back(site.Allocate());
        Fill(more.back(), 32, 0x33);
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

TEST(RecordPool, FindChunkBisectsTheChunksByAddress) {
    GlobalPool site = {8, 3, true, nullptr};
    std::vector<void*> records;
    for (int i = 0; i < 30; ++i) {
        records.push_back(site.Allocate());
    }
    RecordPool* pool = site.pool;
    ASSERT_EQ(pool->ChunkCount(), 10);
    for (LONG i = 1; i < pool->ChunkCount(); ++i) {
        EXPECT_LT(pool->Chunk(i - 1)->storage, pool->Chunk(i)->storage);
    }
    for (void* record : records) {
        PoolChunk* chunk = pool->FindChunk(record);
        ASSERT_NE(chunk, nullptr);
        EXPECT_GE(static_cast<unsigned char*>(record), chunk->storage);
        EXPECT_LT(static_cast<unsigned char*>(record), chunk->Record(chunk->capacity));
        EXPECT_EQ(chunk->directory, pool);
    }
    EXPECT_EQ(pool->FindChunk(pool->Chunk(0)->storage - 1), nullptr);
    for (void* record : records) {
        site.Free(record);
    }
    ASSERT_EQ(site.pool->ChunkCount(), 1) << "the idle freeChunk stays for reuse";
    site.Free(site.Allocate());
    EXPECT_EQ(site.pool, nullptr);
}

// Chunks released in the middle leave holes that later chunks may take: new chunks are put in
// their place by address, and every record is still found in its own chunk.
TEST(RecordPool, ChunksStaySortedWhenNewOnesFillHoles) {
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
    for (void* record : live) {
        site.Free(record);
    }
    ASSERT_NE(site.pool, nullptr);
    EXPECT_EQ(site.pool->ChunkCount(), 1);
    site.Free(site.Allocate());
    EXPECT_EQ(site.pool, nullptr);
}

TEST(RecordPool, DefaultChunkSizeAndLimits) {
    RecordPool* pool = RecordPool::CreatePool(64, RecordPool::kDefaultChunkSize, true);
    EXPECT_EQ(pool->Current()->capacity, 1024);
    void* record = pool->Allocate();
    RecordPool::Free(pool, record);
    EXPECT_EQ(pool, nullptr);

    EXPECT_DEATH(RecordPool::CreatePool(4, 10, true), "at least 8 bytes");
    EXPECT_DEATH(RecordPool::CreatePool(8, 0, false), "1 to 32767 records");
}

} // namespace
