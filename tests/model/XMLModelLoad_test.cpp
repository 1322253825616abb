#include "ModelTestSupport.h"
#include "model/XMLModel.h"
#include "parser/Tokenizer.h"
#include "support/FileTestSupport.h"
#include "support/TestSupport.h"
#include "transfer/DataFile.h"
#include "transfer/OpenFileTable.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

namespace Ostrel {
namespace {

// Serves its first `limit` bytes in whole reads; every read after them fails, or answers that
// it delivered more than it was asked for.
class BrokenSource : public MemoryTransfer {
public:
    BrokenSource(std::string bytes, size_t limit, bool overclaims)
        : MemoryTransfer(std::move(bytes)), limit(limit), overclaims(overclaims) {}

    bool Read(void* buffer, LONG maxLength, uint32_t* bytesRead) override {
        if (readPosition < limit) {
            return MemoryTransfer::Read(buffer, maxLength, bytesRead);
        }
        ++reads;
        *bytesRead = overclaims ? static_cast<uint32_t>(maxLength) + 1 : 0;
        return overclaims;
    }

    size_t limit;
    bool overclaims;
};

TEST(XMLModelLoad, ASourceThatFailsOrOverclaimsAfterAnyByteLeavesWhatWasBuilt) {
    const std::string document = "<doc a='1' b=\"two\"><item>x&amp;y</item><!--c--><list><i n='1'/>"
                                 "<i n='2'>t\xC3\xA9xt</i></list><![CDATA[<raw>]]>tail</doc>";
    XMLModel complete;
    ASSERT_TRUE(complete.LoadString(Text(document.c_str())));
    const std::vector<std::string> allNames = DocumentOrder(complete.Root());

    // Blanks in front of the document put its first `seen` bytes into the first piece, which
    // is the only one the source delivers.
    for (size_t seen = 0; seen <= document.size(); ++seen) {
        for (const bool overclaims : {false, true}) {
            SCOPED_TRACE(std::to_string(seen) + (overclaims ? " overclaiming" : " failing"));
            const size_t piece = Tokenizer::kPieceSize;
            BrokenSource source(std::string(piece - seen, ' ') + document, piece, overclaims);
            XMLModel model;
            model.Root().CreateChild(Text("previous"));
            EXPECT_FALSE(model.LoadTransfer(source));
            EXPECT_EQ(source.reads, 2) << "nothing is read after the broken read";
            EXPECT_EQ(PendingError(model),
                      "XML Parse failed: there was an error streaming in data");

            const std::vector<std::string> names = DocumentOrder(model.Root());
            ASSERT_LE(names.size(), allNames.size());
            EXPECT_TRUE(std::equal(names.begin(), names.end(), allNames.begin()));
            if (seen == document.size()) {
                EXPECT_EQ(names, allNames) << "every element started before the broken read";
            }
        }
    }
}

// Each heap call of the tree and its texts refused in turn (the tokenizer's own are not counted):
// the load fails with the tokenizer's out-of-memory message, or succeeds whole where the refused
// block was not needed. Nothing unwinds through the tokenizer, and the asan build finds no leak.
TEST(XMLModelLoad, EveryRefusedHeapCallFailsTheLoadWithItsMessage) {
    const Text document("<!DOCTYPE d><d a='1' b='two'>t<!--c--><e/>text<f g='h'>x&amp;y</f></d>");
    XMLModel whole;
    ASSERT_TRUE(whole.LoadString(document));
    // Failure messages come from the process's ring of formatted texts, which keeps its blocks:
    // fill it first so that the rounds below return every block they take.
    for (int i = 0; i < 8; ++i) {
        XMLModel failing;
        failing.LoadString(Text("<d a='1' b='two'>t<!--c--><e/>text<f g='h'>x&amp;y</f></"));
    }
    Testing::HeapRefusalRounds rounds;
    while (rounds.Next()) {
        const uint64_t liveBefore = Testing::LiveBlocks();
        {
            XMLModel model;
            rounds.Arm();
            const bool loaded = model.LoadString(document);
            rounds.Disarm();
            if (loaded) {
                EXPECT_EQ(Saved(model), Saved(whole));
            } else {
                EXPECT_EQ(
                    PendingError(model).rfind("XML Parse failed: out of memory (Line: 1, ", 0), 0u)
                    << PendingError(model);
            }
        }
        // Pool records and name blocks are not the sanitizer's to see: count them back.
        EXPECT_EQ(Testing::LiveBlocks(), liveBefore) << "round " << rounds.Refused() + 1;
    }
    EXPECT_GT(rounds.Refused(), 10u);
}

// With every entry of the open-file table taken, a load fails as a file that does not open and
// keeps the document, and a save fails as a file that cannot be created and keeps the old file.
TEST(XMLModelLoad, TheFiftyFirstFileFailsToOpenAndChangesNothing) {
    ScratchDirectory directory;
    const std::string path = directory.Path() + "/doc.xml";
    WriteWholeFile(path, "<other/>");
    XMLModel model;
    ASSERT_TRUE(model.LoadString(Text("<doc><a/></doc>")));
    // The entries are taken by another file: one held open would keep a Windows save from
    // replacing it.
    const std::string held = directory.Path() + "/held.xml";
    WriteWholeFile(held, "<held/>");
    std::vector<std::unique_ptr<DataFile>> open;
    for (LONG i = 0; i < OpenFileTable::kEntries; ++i) {
        open.push_back(std::make_unique<DataFile>(held.c_str()));
        ASSERT_TRUE(open.back()->Open(false));
    }
    EXPECT_FALSE(model.LoadFile(Text(path.c_str())));
    EXPECT_EQ(PendingError(model), "Failed to open file: " + path);
    EXPECT_EQ(DocumentOrder(model.Root()), (std::vector<std::string>{"doc", "a"}));
    XMLModel saving;
    ASSERT_TRUE(saving.LoadString(Text("<doc/>")));
    EXPECT_FALSE(saving.SaveFile(Text(path.c_str())));
    EXPECT_EQ(PendingError(saving), "Failed to create file: " + path);
    EXPECT_EQ(ReadWholeFile(path), "<other/>");
    open.pop_back();
    EXPECT_TRUE(saving.SaveFile(Text(path.c_str())));
}

// The reader sets no limit on a container's title: one of 100,000 bytes is skipped like the usual.
TEST(XMLModelLoad, AContainerTitleOfAnyLengthIsSkipped) {
    ScratchDirectory directory;
    const Text path((directory.Path() + "/doc.pxc").c_str());
    XMLModel model;
    ASSERT_TRUE(model.LoadString(Text("<doc><a>text</a><b/></doc>")));
    ASSERT_TRUE(model.SaveCompressed(path));
    // Three magic words and the version come before the title's length; the usual title ends
    // at byte 50.
    const std::string container = ReadWholeFile(path.c_str());
    const uint32_t length = 100000;
    WriteWholeFile(path.c_str(), container.substr(0, 16) +
                                     std::string(reinterpret_cast<const char*>(&length), 4) +
                                     std::string(length, 't') + container.substr(50));
    XMLModel reloaded;
    ASSERT_TRUE(reloaded.LoadCompressed(path));
    EXPECT_EQ(Saved(reloaded), Saved(model));
}

} // namespace
} // namespace Ostrel
