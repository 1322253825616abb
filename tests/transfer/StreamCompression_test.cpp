#include "support/FileTestSupport.h"
#include "support/TestSupport.h"
#include "transfer/StreamCompression.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

namespace Ostrel {
namespace {

// The document model's block size.
const uint32_t kBlock = 1048576;

uint32_t WordAt(const std::string& bytes, size_t offset) {
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data() + offset);
    return uint32_t{p[0]} | uint32_t{p[1]} << 8 | uint32_t{p[2]} << 16 | uint32_t{p[3]} << 24;
}

// Text-like bytes that compress well, so that small blocks fit their 1.1 room.
std::string Document(size_t length) {
    std::string text;
    for (int i = 0; text.size() < length; ++i) {
        text += "<item n='" + std::to_string(i) + "'>value " + std::to_string(i * 7) + "</item>\n";
    }
    text.resize(length);
    return text;
}

// Writes `document` in pieces into `sink`; true when every Write and Finish succeeded.
bool Save(MemoryTransfer& sink, const std::string& document, uint32_t blockSize, size_t piece) {
    StreamCompression stream(&sink, blockSize);
    const bool saved = WriteInPieces(stream, document, piece) && stream.Finish();
    if (!saved) {
        EXPECT_FALSE(stream.Write("x", 1)) << "the first failure is final";
        EXPECT_FALSE(stream.Finish());
    }
    return saved;
}

std::string Save(const std::string& document, uint32_t blockSize = kBlock, size_t piece = 10000) {
    MemoryTransfer sink;
    EXPECT_TRUE(Save(sink, document, blockSize, piece));
    return sink.bytes;
}

bool Load(const std::string& container, std::string* document, uint32_t blockSize = kBlock,
          LONG piece = 10000) {
    MemoryTransfer source(container);
    StreamCompression stream(&source, blockSize);
    return ReadInPieces(stream, piece, document);
}

// Where the blocks of a container start.
std::vector<size_t> BlockStarts(const std::string& container) {
    std::vector<size_t> starts;
    for (size_t at = 50; at + 8 <= container.size(); at += 8 + WordAt(container, at + 4)) {
        starts.push_back(at);
    }
    return starts;
}

std::vector<uint32_t> BlockSizes(const std::string& container) {
    std::vector<uint32_t> sizes;
    for (size_t at : BlockStarts(container)) {
        sizes.push_back(WordAt(container, at));
    }
    return sizes;
}

// Blocks of exactly the block size but the last data block, then the closing empty block; the
// document comes back whole whatever the size of the reads.
TEST(StreamCompression, ExactBytesAndBlocksOfExactlyTheBlockSize) {
    EXPECT_EQ(BlockSizes(Save(Document(kBlock))), (std::vector<uint32_t>{kBlock, 0, 0}));
    EXPECT_EQ(BlockSizes(Save(Document(kBlock + 1), kBlock, 4096)),
              (std::vector<uint32_t>{kBlock, 1, 0}));
    EXPECT_EQ(BlockSizes(Save("")), (std::vector<uint32_t>{0, 0}));
    const std::string small = Document(2500);
    const std::string container = Save(small, 1000, 333);
    EXPECT_EQ(BlockSizes(container), (std::vector<uint32_t>{1000, 1000, 500, 0}));
    for (LONG piece : {1, 7, 999, 1000, 1001, 6000}) {
        std::string loaded;
        EXPECT_TRUE(Load(container, &loaded, 1000, piece));
        EXPECT_EQ(loaded, small) << "piece " << piece;
    }
}

// Each container/NAME.pxc with a NAME.xml loads as that document, whatever the size of the
// reads, and is what the writer makes of it when it has the writer's header; one without fails
// its first read for good, and nothing is read past the fault. A failed source read fails too.
TEST(StreamCompression, ContainersLoadAsTheirDocumentOrFailForGood) {
    const std::string header = Save("").substr(0, 50);
    const std::vector<std::string> cases = CasesIn(PRAVELL_TEST_DATA "/container", ".pxc");
    EXPECT_GE(cases.size(), 12u);
    for (const std::string& name : cases) {
        SCOPED_TRACE(name);
        MemoryTransfer source(ReadWholeFile(name + ".pxc"));
        if (std::filesystem::exists(name + ".xml")) {
            const std::string document = ReadWholeFile(name + ".xml");
            for (LONG piece : {1, 999, 10000}) {
                std::string loaded;
                EXPECT_TRUE(Load(source.bytes, &loaded, kBlock, piece));
                EXPECT_EQ(loaded, document) << "piece " << piece;
            }
            if (source.bytes.compare(0, 50, header) == 0) {
                EXPECT_EQ(Save(document), source.bytes);
            }
            continue;
        }
        StreamCompression stream(&source, kBlock);
        char buffer[4];
        uint32_t got = 99;
        EXPECT_FALSE(stream.Read(buffer, 4, &got));
        EXPECT_EQ(got, 0u);
        const int readsAtFault = source.reads;
        EXPECT_FALSE(stream.Read(buffer, 4, &got));
        EXPECT_EQ(source.reads, readsAtFault) << "nothing is read past the fault";
    }
    MemoryTransfer failing(Save("<a/>"));
    failing.failReads = true;
    StreamCompression stream(&failing, kBlock);
    char buffer[4];
    uint32_t got = 0;
    EXPECT_FALSE(stream.Read(buffer, 4, &got));
    failing.failReads = false;
    EXPECT_FALSE(stream.Read(buffer, 4, &got));
}

// A source whose reads fail after any byte of the container fails the load for good: only a
// source that served the closing block lets it end.
TEST(StreamCompression, ASourceFailingAfterAnyByteFailsTheLoad) {
    const std::string document = Document(300);
    const std::string container = Save(document, 128, 300);
    for (size_t served = 0; served <= container.size(); ++served) {
        SCOPED_TRACE(served);
        MemoryTransfer source(container);
        source.readLimit = served;
        StreamCompression stream(&source, 128);
        std::string loaded;
        const bool loads = ReadInPieces(stream, 100, &loaded);
        EXPECT_EQ(loads, served == container.size());
        if (!loads) {
            const int readsAtFault = source.reads;
            char buffer[4];
            uint32_t got = 0;
            EXPECT_FALSE(stream.Read(buffer, 4, &got));
            EXPECT_EQ(source.reads, readsAtFault) << "nothing is read past the fault";
        }
    }
}

// Cut at every offset, a container loads only where the cut falls between blocks, and then gives
// the blocks before it; a byte changed at any offset fails the load or changes nothing (the
// title is not compared, version 0 is valid, the last byte of a deflate stream may end in
// padding bits).
TEST(StreamCompression, DamageAtEveryOffsetFailsOrChangesNothing) {
    const std::string document = Document(300);
    const std::string container = Save(document, 128, 300);
    const std::vector<size_t> starts = BlockStarts(container);
    for (size_t offset = 0; offset < container.size(); ++offset) {
        SCOPED_TRACE(offset);
        std::string loaded;
        const auto start = std::find(starts.begin(), starts.end(), offset);
        EXPECT_EQ(Load(container.substr(0, offset), &loaded, 128, 100), start != starts.end());
        if (start != starts.end()) {
            EXPECT_EQ(loaded,
                      document.substr(0, 128 * static_cast<size_t>(start - starts.begin())));
        }
        for (int flip : {0x01, 0x80, 0xFF}) {
            std::string damaged = container;
            damaged[offset] = static_cast<char>(damaged[offset] ^ flip);
            const bool loads = Load(damaged, &loaded, 128, 100);
            EXPECT_TRUE(loads || offset < 20 || offset >= 50) << "the title is not compared";
            if (loads) {
                EXPECT_EQ(loaded, document) << "flip " << flip;
            }
        }
    }
}

// A refused target write anywhere fails the save: the Write or Finish that met it answers
// false, and so does every later one; only the closing block, written when the stream goes,
// cannot answer, and its refusal reaches the target (a file then refuses to commit).
TEST(StreamCompression, EveryRefusedTargetWriteFailsTheSave) {
    const std::string document = Document(2500);
    const std::string container = Save(document, 1000, 333);
    for (size_t limit = 0; limit < container.size(); ++limit) {
        MemoryTransfer sink;
        sink.writeLimit = limit;
        EXPECT_EQ(Save(sink, document, 1000, 333), limit >= BlockStarts(container).back()) << limit;
        EXPECT_EQ(sink.refusedWrites, 1) << limit;
    }
}

TEST(StreamCompression, WritersReadersAndUnusableStreamsRefuseTheOtherDirection) {
    MemoryTransfer sink;
    char buffer[4];
    uint32_t got = 0;
    {
        StreamCompression stream(&sink, kBlock);
        ASSERT_TRUE(stream.Write("abc", 3));
        EXPECT_FALSE(stream.Read(buffer, 4, &got));
        EXPECT_FALSE(stream.Write("abc", -1));
    }
    MemoryTransfer source(sink.bytes);
    StreamCompression reader(&source, kBlock);
    ASSERT_TRUE(reader.Read(buffer, 4, &got));
    EXPECT_EQ(std::string(buffer, got), "abc") << "the last block ends a save without Finish";
    EXPECT_FALSE(reader.Write("abc", 3));
    EXPECT_FALSE(reader.Finish());
    EXPECT_FALSE(reader.Unread(2));

    MemoryTransfer untouched;
    for (uint32_t blockSize : {0u, StreamCompression::kLargestBlockSize + 1}) {
        StreamCompression stream(&untouched, blockSize);
        EXPECT_FALSE(stream.Write("a", 1));
        EXPECT_FALSE(stream.Finish());
    }
    EXPECT_EQ(untouched.bytes, "");
}

} // namespace
} // namespace Ostrel
