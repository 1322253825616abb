// The document tree, loading and saving it. The documents of tests/data/documents load and
// save as their files say; the other tests reach what a document cannot: sources, targets,
// files and heaps that fail, unnamed elements, and the sizes and shapes of large documents.
#include "model/XMLModel.h"
#include "parser/Tokenizer.h"
#include "support/FileTestSupport.h"
#include "support/TestSupport.h"
#include "support/TextTestSupport.h"
#include "support/TreeComparison.h"
#include "text/RegionMemory.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <string>
#include <vector>

namespace Ostrel {
namespace {

// The model saved to a string (a failed save is a test failure).
std::string Saved(XMLModel& model) {
    Text out;
    EXPECT_TRUE(model.SaveString(out));
    return out.c_str();
}

std::string PendingError(XMLModel& model) {
    Text message;
    model.Errors().GetError(message);
    return message.c_str();
}

// The names of the root's descendants in document order.
std::vector<std::string> DocumentOrder(const XMLNode& root) {
    std::vector<std::string> names;
    for (LONG i = 0; i < root.ChildCount(); ++i) {
        names.push_back(root.ChildAt(i)->Name().c_str());
        const std::vector<std::string> below = DocumentOrder(*root.ChildAt(i));
        names.insert(names.end(), below.begin(), below.end());
    }
    return names;
}

// The documents of tests/data/documents: NAME.xml loads from a string and fails with exactly the
// message in NAME.error or saves as exactly NAME.saved (given both, NAME.saved holds what was
// built up to the failure). The saved text, a text file (its line ends stored as CR LF) and a
// container load back to the same document by the round-trip rule, and Clear leaves an empty
// document and the pending message.
TEST(Documents, LoadAndSaveAsTheFilesSayAndComeBackTheSame) {
    const std::vector<std::string> documents = CasesIn(PRAVELL_TEST_DATA "/documents", ".xml");
    ScratchDirectory scratch;
    const Text file((scratch.Path() + "/saved").c_str());
    for (const std::string& document : documents) {
        SCOPED_TRACE(document);
        const std::string error =
            std::ifstream(document + ".error") ? ReadWholeFile(document + ".error") : "";
        XMLModel model;
        // A failed load first, whose document type and unfinished text must not reach the next.
        EXPECT_FALSE(model.LoadString(Text("<!DOCTYPE previous><previous>left over")));
        model.Errors().ClearError();
        EXPECT_EQ(model.LoadString(Text(ReadWholeFile(document + ".xml").c_str())), error.empty());
        EXPECT_EQ(PendingError(model), error);
        if (!std::ifstream(document + ".saved")) {
            continue;
        }
        const std::string saved = Saved(model);
        EXPECT_EQ(saved, ReadWholeFile(document + ".saved"));
        EXPECT_EQ(model.Root().GetText(), "") << "text left over from the load before";
        XMLModel reloaded;
        ASSERT_TRUE(reloaded.LoadString(Text(saved.c_str())));
        EXPECT_EQ(TreeDifference(model, reloaded), "");
        ASSERT_TRUE(model.SaveFile(file) && reloaded.LoadFile(file));
        EXPECT_EQ(ReadWholeFile(file.c_str()), OnDisk(saved));
        EXPECT_EQ(TreeDifference(model, reloaded), "");
        ASSERT_TRUE(model.SaveCompressed(file) && reloaded.LoadCompressed(file));
        EXPECT_EQ(TreeDifference(model, reloaded), "");
        model.Clear();
        EXPECT_EQ(Saved(model), "<?xml version='1.0' encoding='UTF-8' ?>\n");
        EXPECT_EQ(PendingError(model), error);
    }
    EXPECT_GT(documents.size(), 20u);
}

// A document element with `count` children.
Text Siblings(int count, const std::string& child = "<e/>") {
    std::string document = "<e>";
    for (int i = 0; i < count; ++i) {
        document += child;
    }
    return Text((document + "</e>").c_str());
}

// A document far deeper than a recursive walk could go on the default stack is destroyed
// without one. Child arrays (and the list of nodes to destroy) grow in proportion to their length
// beyond a thousand: growth by a constant step would move the array of a million children
// 100,000 times.
TEST(XMLModel, DeepAndWideDocumentsNeedNoRecursionAndFewMoves) {
    XMLModel model;
    XMLNode* node = &model.Root();
    for (int i = 0; i < 300000; ++i) {
        node = node->CreateChild(Text("d"));
    }
    model.Clear();
    const uint64_t before = BlockMemory::GetCounters().reallocations;
    ASSERT_TRUE(model.LoadString(Siblings(1000000)));
    EXPECT_EQ(model.Root().ChildAt(0)->ChildCount(), 1000000);
    EXPECT_LT(BlockMemory::GetCounters().reallocations - before, 500u);
    model.Clear();
    EXPECT_LT(BlockMemory::GetCounters().reallocations - before, 1000u);
}

// A large document's records, texts and arrays come from regions. Its tree is the one a small
// document's heap blocks would hold and takes edits anywhere; each reload lets go of what the
// document before held, blocks and regions alike, and Clear gives every region back.
TEST(XMLModel, ALargeDocumentLivesInRegionsThatReloadsAndClearGiveBack) {
    const Text document = Siblings(30000, "<e a='1' b='two'><f>text</f><g/><!--c--></e>");
    XMLModel model;
    uint64_t blocks = 0;
    size_t regions = 0;
    for (int round = 0; round < 3; ++round) {
        ASSERT_TRUE(model.LoadString(document));
        if (round == 0) {
            blocks = Testing::LiveBlocks();
            regions = RegionMemory::LiveRegions();
        }
        EXPECT_EQ(Testing::LiveBlocks(), blocks);
        EXPECT_EQ(RegionMemory::LiveRegions(), regions);
        XMLNode* last = model.Root().ChildAt(0)->ChildAt(29999);
        last->CreateChild(Text("h"))->SetText(Text("added"));
        EXPECT_TRUE(last->AddAttribute(Text("c"), Text("3")));
        EXPECT_TRUE(last->SetAttribute(Text("a"), Text("one")));
        const std::string saved = Saved(model);
        EXPECT_NE(saved.find("   <e a=\"one\" b=\"two\" c=\"3\">\n<!--c-->      <f>text</f>\n"
                             "      <g/>\n      <h>added</h>\n   </e>\n</e>"),
                  std::string::npos);
        XMLModel reloaded;
        ASSERT_TRUE(reloaded.LoadString(Text(saved.c_str())));
        EXPECT_EQ(TreeDifference(model, reloaded), "");
    }
    EXPECT_GT(regions, 2u);
    model.Clear();
    EXPECT_EQ(RegionMemory::LiveRegions(), 0u);
}

// Blanks in front of the document put its first `seen` bytes into the first piece, which is the
// only one the source delivers before its read fails: the load fails with the streaming message,
// reads nothing more and keeps the elements begun before the failure.
TEST(XMLModelLoad, ASourceThatFailsAfterAnyByteLeavesWhatWasBuilt) {
    const std::string document = "<doc a='1' b=\"two\"><item>x&amp;y</item><!--c--><list><i n='1'/>"
                                 "<i n='2'>t\xC3\xA9xt</i></list><![CDATA[<raw>]]>tail</doc>";
    XMLModel complete;
    ASSERT_TRUE(complete.LoadString(Text(document.c_str())));
    const std::vector<std::string> allNames = DocumentOrder(complete.Root());
    for (size_t seen = 0; seen <= document.size(); ++seen) {
        SCOPED_TRACE(seen);
        const size_t piece = Tokenizer::kPieceSize;
        MemoryTransfer source(std::string(piece - seen, ' ') + document + ' ');
        source.readLimit = piece;
        XMLModel model;
        model.Root().CreateChild(Text("previous"));
        EXPECT_FALSE(model.LoadTransfer(source));
        EXPECT_EQ(source.reads, 2);
        EXPECT_EQ(PendingError(model), "XML Parse failed: there was an error streaming in data");
        const std::vector<std::string> names = DocumentOrder(model.Root());
        ASSERT_LE(names.size(), allNames.size());
        EXPECT_TRUE(std::equal(names.begin(), names.end(), allNames.begin()));
        EXPECT_TRUE(seen < document.size() || names == allNames);
    }
}

// Each heap call of a load and of the tree's destruction refused in turn (the tokenizer's own are
// not counted): the load fails with the tokenizer's out-of-memory message, or succeeds whole
// where the refused block was not needed; destroying the tree, which lists its nodes first, ends
// neither the process (destructors cannot throw) nor with records left behind. Nothing unwinds
// through the tokenizer, and the asan build finds no leak.
TEST(XMLModelLoad, EveryRefusedHeapCallFailsTheLoadWithItsMessageAndLeaksNothing) {
    std::string document = "<!DOCTYPE d><d a='1' b='two'>t<!--c--><e/>text<f g='h'>x&amp;y</f>";
    for (int i = 0; i < 40; ++i) {
        document += "<e><f/><g>t</g></e>";
    }
    const Text closed((document + "</d>").c_str());
    XMLModel whole;
    ASSERT_TRUE(whole.LoadString(closed));
    // Failure messages come from the process's ring of formatted texts, which keeps its blocks:
    // fill it first so that the rounds below return every block they take.
    for (int i = 0; i < 8; ++i) {
        XMLModel().LoadString(Text(document.c_str()));
    }
    Testing::HeapRefusalRounds rounds;
    while (rounds.Next()) {
        SCOPED_TRACE(rounds.Refused() + 1);
        const uint64_t liveBefore = Testing::LiveBlocks();
        {
            XMLModel model;
            rounds.Arm();
            if (model.LoadString(closed)) {
                EXPECT_EQ(TreeDifference(whole, model), "");
            } else {
                EXPECT_EQ(
                    PendingError(model).rfind("XML Parse failed: out of memory (Line: 1, ", 0), 0u)
                    << PendingError(model);
            }
        }
        rounds.Disarm();
        // Pool records and name blocks are not the sanitizer's to see: count them back.
        EXPECT_EQ(Testing::LiveBlocks(), liveBefore);
    }
    EXPECT_GT(rounds.Refused(), 20u);
}

// A file that does not open fails a load before the tree is touched, and a save to no name fails
// as a file that cannot be created. A refused write fails the save at once and leaves the model
// as it was. An element without a name cannot be written, since nothing would read "</>" back: a
// string save leaves its target as it was, a file or container save the old file and nothing
// beside it. Neither records a message.
TEST(XMLModel, AFailedLoadOrSaveChangesNothing) {
    XMLModel model;
    ASSERT_TRUE(model.LoadString(Text("<doc id='1 &amp; \"2\"'>intro<!-- note --><line n='0'>"
                                      "a&lt;b</line><line n='1'>text</line><line n='2'/></doc>")));
    const std::string whole = Saved(model);
    ScratchDirectory directory;
    const std::string path = directory.Path() + "/doc";
    EXPECT_FALSE(model.LoadFile(Text(path.c_str())));
    EXPECT_FALSE(model.SaveFile(Text("")));
    EXPECT_EQ(PendingError(model), "Failed to open file: " + path + "Failed to create file: ");
    model.Errors().ClearError();
    for (size_t limit = 0; limit <= whole.size(); ++limit) {
        SCOPED_TRACE(limit);
        MemoryTransfer target;
        target.writeLimit = limit;
        const bool saved = model.SaveTransfer(target, XMLWriter::Encoding::Utf8);
        EXPECT_EQ(saved, limit == whole.size());
        EXPECT_EQ(target.bytes, whole.substr(0, target.bytes.size()));
        EXPECT_EQ(target.refusedWrites, saved ? 0 : 1);
        EXPECT_EQ(Saved(model), whole);
    }
    model.Root().ChildAt(0)->ChildAt(1)->CreateChild(Text(""));
    Text out("kept");
    EXPECT_FALSE(model.SaveString(out));
    EXPECT_EQ(out, "kept");
    for (const bool compressed : {false, true}) {
        WriteWholeFile(path, "old");
        EXPECT_FALSE(compressed ? model.SaveCompressed(Text(path.c_str()))
                                : model.SaveFile(Text(path.c_str())));
        EXPECT_EQ(ReadWholeFile(path), "old");
        EXPECT_EQ(ListDirectory(directory.Path()), std::vector<std::string>{"doc"});
    }
    EXPECT_FALSE(model.Errors().HasError());
}

} // namespace
} // namespace Ostrel
