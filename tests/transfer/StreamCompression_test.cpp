#include "support/FileTestSupport.h"
#include "support/TestSupport.h"
#include "transfer/StreamCompression.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace Ostrel {
namespace {

const std::string kCases = PRAVELL_TEST_DATA "/container/";
// The document model's block size.
const uint32_t kBlock = 1048576;

// Writes `document` in pieces of 333 bytes into `sink`; true when every Write and Finish
// succeeded, and after a failure both keep failing.
bool Save(MemoryTransfer& sink, const std::string& document, uint32_t blockSize) {
    StreamCompression stream(&sink, blockSize);
    const bool saved = WriteInPieces(stream, document, 333) && stream.Finish();
    if (!saved) {
        EXPECT_FALSE(stream.Write("x", 1)) << "the first failure is final";
        EXPECT_FALSE(stream.Finish());
    }
    return saved;
}

// Reads the container in pieces from a source that fails once it served `served` bytes. A load
// that fails stays failed without reading the source again, even once the source would serve.
bool Load(const std::string& container, std::string* document, uint32_t blockSize, LONG piece,
          size_t served = SIZE_MAX) {
    MemoryTransfer source(container);
    source.readLimit = served;
    StreamCompression stream(&source, blockSize);
    if (ReadInPieces(stream, piece, document)) {
        return true;
    }
    const int readsAtFault = source.reads;
    source.readLimit = SIZE_MAX;
    char byte = 0;
    uint32_t got = 99;
    EXPECT_FALSE(stream.Read(&byte, 1, &got));
    EXPECT_EQ(got, 0u);
    EXPECT_EQ(source.reads, readsAtFault) << "nothing is read past the fault";
    return false;
}

// Where the blocks of a container start.
std::vector<size_t> BlockStarts(const std::string& container) {
    const auto wordAt = [&](size_t at) {
        const auto* p = reinterpret_cast<const unsigned char*>(container.data() + at);
        return uint32_t{p[0]} | uint32_t{p[1]} << 8 | uint32_t{p[2]} << 16 | uint32_t{p[3]} << 24;
    };
    std::vector<size_t> starts;
    for (size_t at = 50; at + 8 <= container.size(); at += 8 + wordAt(at + 4)) {
        starts.push_back(at);
    }
    return starts;
}

// Each container/NAME.pxc with a NAME.xml loads as that document, whatever the size of the
// reads, and is byte for byte what the writer makes of it (blocks of exactly the block size but
// the last data block, then the closing empty block) when it has the writer's header; one
// without fails for good.
TEST(StreamCompression, ContainersLoadAsTheirDocumentOrFailForGood) {
    MemoryTransfer empty;
    ASSERT_TRUE(Save(empty, "", kBlock));
    const std::vector<std::string> cases = CasesIn(kCases, ".pxc");
    EXPECT_GE(cases.size(), 14u);
    for (const std::string& name : cases) {
        SCOPED_TRACE(name);
        const std::string container = ReadWholeFile(name + ".pxc");
        // The block size a case was written with: NAME.block when there is one, else the model's.
        uint32_t blockSize = 0;
        if (!(std::ifstream(name + ".block") >> blockSize)) {
            blockSize = kBlock;
        }
        std::string loaded;
        if (!std::filesystem::exists(name + ".xml")) {
            EXPECT_FALSE(Load(container, &loaded, blockSize, 10000));
            continue;
        }
        const std::string document = ReadWholeFile(name + ".xml");
        for (LONG piece : {1, 999, 1000, 1001, 10000}) {
            EXPECT_TRUE(Load(container, &loaded, blockSize, piece));
            EXPECT_EQ(loaded, document) << "piece " << piece;
        }
        MemoryTransfer saved;
        if (container.compare(0, 50, empty.bytes, 0, 50) == 0 && Save(saved, document, blockSize)) {
            EXPECT_EQ(saved.bytes, container);
        }
    }
}

// At every offset of a container: cut there, it loads only where the cut falls between blocks,
// and then as the blocks before it; read from a source that fails there, it fails for good;
// with a byte changed there, it fails or loads unchanged (the title is not compared, version 0
// is valid, the last byte of a deflate stream may end in padding bits). A save whose target
// refuses the write that would pass there fails: the Write or Finish that met the refusal
// answers false, and so does every later one; only the closing block, written when the stream
// goes, cannot answer, and its refusal reaches the target (a file then refuses to commit).
TEST(StreamCompression, AFaultAtEveryOffsetFailsForGoodOrChangesNothing) {
    const std::string document = ReadWholeFile(kCases + "three-blocks.xml");
    const std::string container = ReadWholeFile(kCases + "three-blocks.pxc");
    const std::vector<size_t> starts = BlockStarts(container);
    for (size_t offset = 0; offset < container.size(); ++offset) {
        SCOPED_TRACE(offset);
        std::string loaded;
        const auto start = std::find(starts.begin(), starts.end(), offset);
        EXPECT_EQ(Load(container.substr(0, offset), &loaded, 1000, 100), start != starts.end());
        if (start != starts.end()) {
            EXPECT_EQ(loaded,
                      document.substr(0, 1000 * static_cast<size_t>(start - starts.begin())));
        }
        EXPECT_FALSE(Load(container, &loaded, 1000, 100, offset));
        for (int flip : {0x01, 0x80, 0xFF}) {
            std::string damaged = container;
            damaged[offset] = static_cast<char>(damaged[offset] ^ flip);
            const bool loads = Load(damaged, &loaded, 1000, 100);
            EXPECT_TRUE(loads || offset < 20 || offset >= 50) << "the title is not compared";
            if (loads) {
                EXPECT_EQ(loaded, document) << "flip " << flip;
            }
        }
        MemoryTransfer sink;
        sink.writeLimit = offset;
        EXPECT_EQ(Save(sink, document, 1000), offset >= starts.back());
        EXPECT_EQ(sink.refusedWrites, 1);
    }
}

} // namespace
} // namespace Ostrel
