// What a compressed save holds while its stream lives, read from the C library's own count of
// the heap in use (with the blocks it maps for large requests), which only the Linux build has.
#include "support/FileTestSupport.h"
#include "transfer/StreamCompression.h"

#include <gtest/gtest.h>
#include <malloc.h>

#include <string>

namespace Ostrel {
namespace {

size_t HeapInUse() {
    const struct mallinfo2 info = mallinfo2();
    return info.uordblks + info.hblkhd;
}

// A small document's stream holds room for what its one block can compress to, not for a whole
// block: a host that saves small documents over and over would otherwise have the heap hand out
// a megabyte for each save, and keep it.
TEST(StreamCompressionMemory, ASmallDocumentTakesRoomForItsOwnBlockOnly) {
    const std::string document(1000, 'x');
    MemoryTransfer sink;
    sink.bytes.reserve(4096);
    const size_t before = HeapInUse();
    StreamCompression stream(&sink, 1048576);
    ASSERT_TRUE(stream.Write(document.data(), static_cast<LONG>(document.size())));
    ASSERT_TRUE(stream.Finish());
    EXPECT_LE(HeapInUse(), before + 64 * 1024);
}

} // namespace
} // namespace Ostrel
