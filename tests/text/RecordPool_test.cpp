#include "text/GlobalPool.h"

#include <gtest/gtest.h>

#include <cstring>
#include <utility>
#include <vector>

namespace {

using Ostrel::GlobalPool;

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
        const auto* bytes = static_cast<const unsigned char*>(record);
        for (size_t i = 0; i < site.recordSize; ++i) {
            ASSERT_EQ(bytes[i], byte);
        }
    }
    for (const auto& record : live) {
        site.Free(record.first);
    }
    site.Free(site.Allocate());
    EXPECT_EQ(site.pool, nullptr) << "the pool goes with its last record";
}

} // namespace
