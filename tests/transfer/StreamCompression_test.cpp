#include "support/FileTestSupport.h"
#include "transfer/StreamCompression.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <string>
#include <vector>

namespace Ostrel {
namespace {

// The document model's block size.
const uint32_t kBlock = 1048576;

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

TEST(StreamCompression, ExactBytesAndBlocksOfExactlyTheBlockSize) {
    EXPECT_EQ(Header().size(), 50u);
    EXPECT_EQ(Save("<a>xyz</a>"), Header() + BlockBytes("<a>xyz</a>") + BlockBytes(""));
    EXPECT_EQ(BlockSizes(Save(Document(kBlock))), (std::vector<uint32_t>{kBlock, 0, 0}));
    EXPECT_EQ(BlockSizes(Save(Document(kBlock + 1), kBlock, 4096)),
              (std::vector<uint32_t>{kBlock, 1, 0}));
    EXPECT_EQ(BlockSizes(Save("")), (std::vector<uint32_t>{0, 0}));
    EXPECT_EQ(BlockSizes(Save(Document(2500), 1000, 333)),
              (std::vector<uint32_t>{1000, 1000, 500, 0}));
}

TEST(StreamCompression, DocumentsComeBackWholeWhateverTheReadSize) {
    const std::string small = Document(5003);
    for (LONG piece : {1, 7, 999, 1000, 1001, 6000}) {
        std::string loaded;
        EXPECT_TRUE(Load(Save(small, 1000, 77), &loaded, 1000, piece));
        EXPECT_EQ(loaded, small) << "piece " << piece;
    }
}

TEST(StreamCompression, DamagedHeadersLengthsAndSourcesFailForGood) {
    const std::string blocks = BlockBytes("<a/>") + BlockBytes("");
    const std::string longTitle = Header(1, std::string(100000, 't'));
    std::string document;
    for (const std::string& header : {Header(1, "Some other title"), Header(0), longTitle}) {
        EXPECT_TRUE(Load(header + blocks, &document));
        EXPECT_EQ(document, "<a/>");
    }
    const std::string text = Document(3000);
    EXPECT_TRUE(Load(longTitle + BlockBytes(text.substr(0, 2000)) + BlockBytes(text.substr(2000)),
                     &document, 2000, 999));
    EXPECT_EQ(document, text) << "a title of any length is skipped";

    const std::string packed = ZlibStream("<a>text</a>");
    const uint32_t bound = compressBound(11);
    // The end of the source inside the title; U above the block size or short of what the block
    // decodes to; P above zlib's bound.
    const std::string refused[] = {
        longTitle.substr(0, 60000), Header() + Word(kBlock + 1) + Word(10) + std::string(10, 'x'),
        Header() + Word(10) + Word(packed.size()) + packed,
        Header() + Word(11) + Word(bound + 1) + std::string(bound + 1, 'x')};
    for (const std::string& container : refused) {
        MemoryTransfer source(container);
        StreamCompression stream(&source, kBlock);
        char buffer[4];
        uint32_t got = 99;
        EXPECT_FALSE(stream.Read(buffer, 4, &got)) << container.size();
        EXPECT_EQ(got, 0u);
        const int readsAtFault = source.reads;
        EXPECT_FALSE(stream.Read(buffer, 4, &got));
        EXPECT_EQ(source.reads, readsAtFault) << "nothing is read past the fault";
    }

    MemoryTransfer source(Save("<a/>"));
    source.failReads = true;
    StreamCompression stream(&source, kBlock);
    char buffer[16];
    uint32_t got = 0;
    EXPECT_FALSE(stream.Read(buffer, 16, &got));
    source.failReads = false;
    EXPECT_FALSE(stream.Read(buffer, 16, &got));
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
    EXPECT_EQ(sink.bytes, Header() + BlockBytes("abc"));
    MemoryTransfer source(sink.bytes);
    StreamCompression reader(&source, kBlock);
    ASSERT_TRUE(reader.Read(buffer, 4, &got));
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
