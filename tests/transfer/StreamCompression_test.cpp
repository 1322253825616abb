#include "MemoryTransfer.h"
#include "text/BlockMemory.h"
#include "transfer/StreamCompression.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <string>
#include <vector>

namespace Ostrel {
namespace {

const uint32_t kBlock = StreamCompression::kModelBlockSize;

std::string Word(uint32_t value) {
    return std::string{static_cast<char>(value), static_cast<char>(value >> 8),
                       static_cast<char>(value >> 16), static_cast<char>(value >> 24)};
}

uint32_t WordAt(const std::string& bytes, size_t offset) {
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data() + offset);
    return uint32_t{p[0]} | uint32_t{p[1]} << 8 | uint32_t{p[2]} << 16 | uint32_t{p[3]} << 24;
}

std::string Header(uint32_t version = 1,
                   const std::string& title = "Corvantis Compressed XML File") {
    std::string title0 = title + '\0';
    return Word(213) + Word(170) + Word(150) + Word(version) +
           Word(static_cast<uint32_t>(title0.size())) + title0;
}

std::string ZlibStream(const std::string& plain) {
    uLongf length = compressBound(plain.size());
    std::string packed(length, '\0');
    compress(reinterpret_cast<Bytef*>(&packed[0]), &length,
             reinterpret_cast<const Bytef*>(plain.data()), plain.size());
    packed.resize(length);
    return packed;
}

std::string BlockBytes(const std::string& plain) {
    const std::string packed = ZlibStream(plain);
    return Word(static_cast<uint32_t>(plain.size())) + Word(static_cast<uint32_t>(packed.size())) +
           packed;
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

std::string Save(const std::string& document, uint32_t blockSize = kBlock, size_t piece = 10000) {
    MemoryTransfer sink;
    {
        StreamCompression stream(&sink, blockSize);
        for (size_t at = 0; at < document.size(); at += piece) {
            const std::string part = document.substr(at, piece);
            EXPECT_TRUE(stream.Write(part.data(), static_cast<LONG>(part.size())));
        }
        EXPECT_TRUE(stream.Finish());
    }
    return sink.bytes;
}

// Reads until a short read; false when a Read answered false.
bool Load(const std::string& container, std::string* document, uint32_t blockSize = kBlock,
          LONG piece = 10000) {
    MemoryTransfer source(container);
    StreamCompression stream(&source, blockSize);
    std::string buffer(static_cast<size_t>(piece), '\0');
    document->clear();
    for (;;) {
        uint32_t got = 0;
        if (!stream.Read(&buffer[0], piece, &got)) {
            return false;
        }
        EXPECT_LE(got, static_cast<uint32_t>(piece));
        document->append(buffer, 0, got);
        if (got < static_cast<uint32_t>(piece)) {
            return true;
        }
    }
}

std::vector<uint32_t> BlockSizes(const std::string& container) {
    std::vector<uint32_t> sizes;
    size_t at = 50;
    while (at + 8 <= container.size()) {
        sizes.push_back(WordAt(container, at));
        at += 8 + WordAt(container, at + 4);
    }
    EXPECT_EQ(at, container.size());
    return sizes;
}

TEST(StreamCompression, TenByteSaveGivesHeaderDataBlockAndClosingBlock) {
    const std::string container = Save("<a>xyz</a>");
    EXPECT_EQ(container, Header() + BlockBytes("<a>xyz</a>") + BlockBytes(""));
    EXPECT_EQ(Header().size(), 50u);

    std::string document;
    EXPECT_TRUE(Load(container, &document));
    EXPECT_EQ(document, "<a>xyz</a>");
}

TEST(StreamCompression, BlocksHoldExactlyTheBlockSizeExceptTheRemainder) {
    const std::vector<uint32_t> exact = BlockSizes(Save(Document(kBlock)));
    EXPECT_EQ(exact, (std::vector<uint32_t>{kBlock, 0, 0}));
    const std::vector<uint32_t> oneMore = BlockSizes(Save(Document(kBlock + 1), kBlock, 4096));
    EXPECT_EQ(oneMore, (std::vector<uint32_t>{kBlock, 1, 0}));
    const std::vector<uint32_t> whole = BlockSizes(Save(Document(kBlock + 1), kBlock, kBlock + 1));
    EXPECT_EQ(whole, (std::vector<uint32_t>{kBlock, 1, 0}));
    EXPECT_EQ(BlockSizes(Save("")), (std::vector<uint32_t>{0, 0}));

    const std::string small = Save(Document(2500), 1000, 333);
    EXPECT_EQ(BlockSizes(small), (std::vector<uint32_t>{1000, 1000, 500, 0}));
}

TEST(StreamCompression, DocumentsComeBackWholeWhateverTheReadSize) {
    const std::string document = Document(kBlock + 12345);
    const std::string container = Save(document);
    for (LONG piece : {1 << 20, 10000, 4096}) {
        std::string loaded;
        EXPECT_TRUE(Load(container, &loaded, kBlock, piece));
        EXPECT_TRUE(loaded == document) << "piece " << piece;
    }
    const std::string smallDocument = Document(5003);
    const std::string smallBlocks = Save(smallDocument, 1000, 77);
    for (LONG piece : {1, 7, 999, 1000, 1001, 6000}) {
        std::string loaded;
        EXPECT_TRUE(Load(smallBlocks, &loaded, 1000, piece));
        EXPECT_EQ(loaded, smallDocument) << "piece " << piece;
    }
}

TEST(StreamCompression, ReaderGetsTheRestThenZeroBytes) {
    MemoryTransfer source(Save("0123456789"));
    StreamCompression stream(&source, kBlock);
    char buffer[8];
    uint32_t got = 0;
    ASSERT_TRUE(stream.Read(buffer, 6, &got));
    EXPECT_EQ(std::string(buffer, got), "012345");
    ASSERT_TRUE(stream.Read(buffer, 8, &got));
    EXPECT_EQ(std::string(buffer, got), "6789");
    ASSERT_TRUE(stream.Read(buffer, 8, &got));
    EXPECT_EQ(got, 0u);
    ASSERT_TRUE(stream.Read(buffer, 8, &got));
    EXPECT_EQ(got, 0u);
    EXPECT_FALSE(stream.Unread(2));
}

TEST(StreamCompression, HeaderChecks) {
    const std::string blocks = BlockBytes("<a/>") + BlockBytes("");
    std::string document;
    EXPECT_TRUE(Load(Header(1, "Some other title, any length") + blocks, &document));
    EXPECT_EQ(document, "<a/>");
    EXPECT_TRUE(Load(Header(0) + blocks, &document));
    EXPECT_EQ(document, "<a/>");
    EXPECT_TRUE(Load(Header(1, std::string(4095, 't')) + blocks, &document));
    EXPECT_EQ(document, "<a/>");

    EXPECT_FALSE(Load(Header(2) + blocks, &document));
    EXPECT_FALSE(Load(Header(0xFFFFFFFF) + blocks, &document));
    EXPECT_FALSE(Load(Header(1, std::string(4096, 't')) + blocks, &document));
    for (size_t magicByte = 0; magicByte < 12; magicByte += 4) {
        std::string wrong = Header() + blocks;
        wrong[magicByte] = static_cast<char>(wrong[magicByte] + 1);
        EXPECT_FALSE(Load(wrong, &document)) << magicByte;
    }
    EXPECT_FALSE(Load("", &document));
    EXPECT_FALSE(Load("<?xml version='1.0'?><a/>", &document));
}

TEST(StreamCompression, ImplausibleLengthsAndBadBlocksFail) {
    const std::string good = BlockBytes("<a>text</a>");
    std::string document;
    const std::string packed = ZlibStream("<a>text</a>");
    // U says more or less than the block decodes to.
    EXPECT_FALSE(Load(Header() + Word(12) + Word(packed.size()) + packed, &document));
    EXPECT_FALSE(Load(Header() + Word(10) + Word(packed.size()) + packed, &document));
    // U above the block size, P above zlib's bound, both huge.
    EXPECT_FALSE(Load(Header() + Word(kBlock + 1) + Word(10) + std::string(10, 'x'), &document));
    EXPECT_FALSE(Load(Header() + Word(11) + Word(compressBound(11) + 1) +
                          std::string(compressBound(11) + 1, 'x'),
                      &document));
    EXPECT_FALSE(Load(Header() + Word(0xFFFFFFFF) + Word(0xFFFFFFFF), &document));
    // A stream of the right length that is not a zlib stream.
    EXPECT_FALSE(Load(Header() + Word(11) + Word(packed.size()) + std::string(packed.size(), 'x'),
                      &document));
    // Every later Read keeps failing.
    MemoryTransfer source(Header() + Word(kBlock + 1) + Word(1));
    StreamCompression stream(&source, kBlock);
    char buffer[4];
    uint32_t got = 99;
    EXPECT_FALSE(stream.Read(buffer, 4, &got));
    EXPECT_EQ(got, 0u);
    const size_t readsAtFault = source.reads;
    EXPECT_FALSE(stream.Read(buffer, 4, &got));
    EXPECT_EQ(source.reads, readsAtFault);
}

TEST(StreamCompression, TruncationAtEveryOffsetFailsUnlessAtABlockBoundary) {
    const std::string document = Document(2500);
    const std::string container = Save(document, 1000, 2500);
    std::vector<size_t> boundaries;
    for (size_t at = 50; at < container.size(); at += 8 + WordAt(container, at + 4)) {
        boundaries.push_back(at);
    }
    for (size_t length = 0; length < container.size(); ++length) {
        std::string loaded;
        const bool ok = Load(container.substr(0, length), &loaded, 1000, 700);
        size_t blocksWhole = 0;
        while (blocksWhole < boundaries.size() && boundaries[blocksWhole] < length) {
            ++blocksWhole;
        }
        const bool atBoundary =
            blocksWhole < boundaries.size() && boundaries[blocksWhole] == length;
        EXPECT_EQ(ok, atBoundary) << "length " << length;
        if (ok) {
            EXPECT_EQ(loaded, document.substr(0, 1000 * blocksWhole)) << length;
        }
    }
}

TEST(StreamCompression, CorruptionAtEveryOffsetFailsOrChangesNothing) {
    const std::string document = Document(300);
    const std::string container = Save(document, 128, 300);
    for (size_t offset = 0; offset < container.size(); ++offset) {
        for (int flip : {0x01, 0x80, 0xFF}) {
            std::string damaged = container;
            damaged[offset] = static_cast<char>(damaged[offset] ^ flip);
            std::string loaded;
            const bool ok = Load(damaged, &loaded, 128, 100);
            // A damage fails the read or changes nothing (the title is not compared, version 0 is
            // valid, the last byte of a deflate stream may end in padding bits).
            if (offset >= 20 && offset < 50) {
                EXPECT_TRUE(ok) << "offset " << offset;
            }
            if (ok) {
                EXPECT_EQ(loaded, document) << "offset " << offset << " flip " << flip;
            }
        }
    }
}

TEST(StreamCompression, FailingSourceFailsTheRead) {
    MemoryTransfer source(Save("<a/>"));
    source.failReads = true;
    StreamCompression stream(&source, kBlock);
    char buffer[16];
    uint32_t got = 0;
    EXPECT_FALSE(stream.Read(buffer, 16, &got));
    source.failReads = false;
    EXPECT_FALSE(stream.Read(buffer, 16, &got));
}

TEST(StreamCompression, RefusedTargetWriteFailsTheSaveForEveryLimit) {
    const std::string document = Document(2500);
    const std::string full = Save(document, 1000, 2500);
    for (size_t limit = 0; limit < full.size(); ++limit) {
        MemoryTransfer sink;
        sink.writeLimit = limit;
        bool saved = true;
        {
            StreamCompression stream(&sink, 1000);
            for (size_t at = 0; at < document.size() && saved; at += 600) {
                const std::string part = document.substr(at, 600);
                saved = stream.Write(part.data(), static_cast<LONG>(part.size()));
            }
            saved = saved && stream.Finish();
            if (!saved) {
                EXPECT_FALSE(stream.Write("x", 1));
                EXPECT_FALSE(stream.Finish());
            }
        }
        // Either a Write or Finish said so, or only the closing block was refused: the target
        // knows in both cases.
        EXPECT_GT(sink.refusedWrites, 0) << limit;
        EXPECT_LT(sink.bytes.size(), full.size());
        if (saved) {
            EXPECT_GE(limit, full.size() - BlockBytes("").size()) << limit;
        }
    }
}

TEST(StreamCompression, WriterAndReaderDoNotMix) {
    MemoryTransfer sink;
    {
        StreamCompression stream(&sink, kBlock);
        ASSERT_TRUE(stream.Write("abc", 3));
        char buffer[4];
        uint32_t got = 0;
        EXPECT_FALSE(stream.Read(buffer, 4, &got));
        EXPECT_FALSE(stream.Write("abc", -1));
    }
    EXPECT_EQ(sink.bytes, Header() + BlockBytes("abc"));

    MemoryTransfer source(sink.bytes);
    StreamCompression reader(&source, kBlock);
    char buffer[4];
    uint32_t got = 0;
    ASSERT_TRUE(reader.Read(buffer, 4, &got));
    EXPECT_EQ(got, 3u);
    EXPECT_FALSE(reader.Write("abc", 3));
    EXPECT_FALSE(reader.Finish());
}

TEST(StreamCompression, UnusableStreamsFailEverything) {
    MemoryTransfer sink;
    char buffer[4];
    uint32_t got = 0;
    StreamCompression noTarget(nullptr, kBlock);
    EXPECT_FALSE(noTarget.Write("a", 1));
    EXPECT_FALSE(noTarget.Read(buffer, 4, &got));
    for (uint32_t blockSize : {0u, StreamCompression::kLargestBlockSize + 1}) {
        StreamCompression stream(&sink, blockSize);
        EXPECT_FALSE(stream.Write("a", 1));
        EXPECT_FALSE(stream.Finish());
    }
    EXPECT_EQ(sink.bytes, "");
}

TEST(StreamCompression, ReadingTakesNoHeapBlocksPerRead) {
    const std::string document = Document(3 * kBlock / 2);
    MemoryTransfer source(Save(document));
    StreamCompression stream(&source, kBlock);
    std::string buffer(10000, '\0');
    std::string loaded;
    const BlockMemory::Counters before = BlockMemory::GetCounters();
    uint32_t got = 0;
    do {
        ASSERT_TRUE(stream.Read(&buffer[0], 10000, &got));
        loaded.append(buffer, 0, got);
    } while (got == 10000);
    const BlockMemory::Counters after = BlockMemory::GetCounters();
    EXPECT_TRUE(loaded == document);
    // Growing the two block buffers, not one call per read.
    EXPECT_LE(after.allocations + after.reallocations - before.allocations - before.reallocations,
              4u);
}

} // namespace
} // namespace Ostrel
