#include "ModelTestSupport.h"
#include "model/XMLModel.h"
#include "support/TreeComparison.h"
#include "text/RegionMemory.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace Ostrel {
namespace {

// A document element with `count` children.
std::string Siblings(int count, const char* child = "<e/>") {
    std::string document = "<e>";
    for (int i = 0; i < count; ++i) {
        document += child;
    }
    return document + "</e>";
}

TEST(XMLModel, ClearEmptiesTheTreeAndForgetsTheDocumentTypeButKeepsMessages) {
    XMLModel model;
    EXPECT_EQ(model.Root().Name(), "Root");

    EXPECT_FALSE(model.LoadString(Text("<!DOCTYPE a><a x='1'>text<!--c--><b/>")));
    const std::string message = PendingError(model);
    model.Clear();
    EXPECT_EQ(model.Root().Name(), "");
    EXPECT_EQ(model.Root().ChildCount(), 0);
    EXPECT_EQ(Saved(model), kDeclaration);
    EXPECT_EQ(PendingError(model), message);
}

TEST(XMLModel, ATreeIsDestroyedWholeWhenTheHeapRefusesOnTheWay) {
    // Destroying lists the nodes first; a list that cannot grow must neither end the process
    // (destructors cannot throw) nor leave records behind.
    const Text document(Siblings(40, "<e><f/><g>t</g></e>").c_str());
    Testing::HeapRefusalRounds rounds;
    while (rounds.Next()) {
        const uint64_t liveBefore = Testing::LiveBlocks();
        {
            XMLModel model;
            ASSERT_TRUE(model.LoadString(document));
            rounds.Arm();
        }
        rounds.Disarm();
        EXPECT_EQ(Testing::LiveBlocks(), liveBefore) << "round " << rounds.Refused() + 1;
    }
    EXPECT_GT(rounds.Refused(), 5u);
}

TEST(XMLModel, DeepDocumentsNeedNoRecursion) {
    // Far deeper than a recursive walk could go on the default stack.
    XMLModel model;
    XMLNode* node = &model.Root();
    for (int i = 0; i < 300000; ++i) {
        node = node->CreateChild(Text("d"));
    }
    model.Clear();
    EXPECT_EQ(model.Root().ChildCount(), 0);
}

// Child arrays (and the list of nodes to destroy) grow in proportion to their length beyond a
// thousand: growth by a constant step would move the array of a million children 100,000 times.
TEST(XMLModel, AMillionSiblingsMoveTheirArrayALogarithmicNumberOfTimes) {
    const Text document(Siblings(1000000).c_str());
    XMLModel model;
    const uint64_t before = BlockMemory::GetCounters().reallocations;
    ASSERT_TRUE(model.LoadString(document));
    EXPECT_EQ(model.Root().ChildAt(0)->ChildCount(), 1000000);
    EXPECT_LT(BlockMemory::GetCounters().reallocations - before, 500u);
    model.Clear();
    EXPECT_LT(BlockMemory::GetCounters().reallocations - before, 1000u);
}

// Each load lets go of the blocks that held the previous document's names and values.
TEST(XMLModel, ReloadsHoldNoMoreBlocksThanTheFirstLoad) {
    const Text document(Siblings(2000, "<e a='some value'>and some text</e>").c_str());
    XMLModel model;
    ASSERT_TRUE(model.LoadString(document));
    const uint64_t blocks = Testing::LiveBlocks();
    for (int i = 0; i < 3; ++i) {
        ASSERT_TRUE(model.LoadString(document));
        EXPECT_EQ(Testing::LiveBlocks(), blocks);
    }
}

// A large document's records, texts and arrays come from regions. Its tree is the one a small
// document's heap blocks would hold, it takes edits anywhere, and Clear gives every region and
// block back, load after load.
TEST(XMLModel, ALargeDocumentLivesInRegionsThatClearGivesBack) {
    const Text document(Siblings(30000, "<e a='1' b='two'><f>text</f><g/><!--c--></e>").c_str());
    uint64_t blocksAfterFirstRound = 0;
    {
        XMLModel model;
        for (int round = 0; round < 3; ++round) {
            ASSERT_TRUE(model.LoadString(document));
            EXPECT_GT(RegionMemory::LiveRegions(), 2u);
            XMLNode* last = model.Root().ChildAt(0)->ChildAt(29999);
            last->CreateChild(Text("h"))->SetText(Text("added"));
            EXPECT_TRUE(last->AddAttribute(Text("c"), Text("3")));
            EXPECT_TRUE(last->SetAttribute(Text("a"), Text("one")));
            const std::string saved = Saved(model);
            EXPECT_NE(saved.find("   <e a=\"one\" b=\"two\" c=\"3\">\n"
                                 "<!--c-->      <f>text</f>\n"
                                 "      <g/>\n"
                                 "      <h>added</h>\n"
                                 "   </e>\n</e>"),
                      std::string::npos);
            {
                XMLModel reloaded;
                ASSERT_TRUE(reloaded.LoadString(Text(saved.c_str())));
                EXPECT_EQ(TreeDifference(model, reloaded), "");
            }
            model.Clear();
            EXPECT_EQ(RegionMemory::LiveRegions(), 0u);
            if (round == 0) {
                blocksAfterFirstRound = Testing::LiveBlocks();
            }
            EXPECT_EQ(Testing::LiveBlocks(), blocksAfterFirstRound);
        }
    }
    EXPECT_EQ(RegionMemory::LiveRegions(), 0u);
}

// Two models share the node pool. Where the first one's nodes fill the pool's chunks, the
// second one's take a chunk of their own, which is both the pool's current chunk and the one
// with free records when that model clears: nodes made after it is released must come from live
// chunks (a crash, or a report in the asan build, otherwise). The first model's size runs over
// a range so that one round fills the chunks whatever records the pool still holds.
TEST(XMLModel, TwoModelsAtOnce) {
    for (int first = 1000; first > 950; --first) {
        XMLModel one;
        XMLModel two;
        ASSERT_TRUE(one.LoadString(Text(Siblings(first - 1).c_str())));
        ASSERT_TRUE(two.LoadString(Text(Siblings(9).c_str())));
        two.Clear();
        ASSERT_TRUE(two.LoadString(Text(Siblings(9).c_str())));
        one.Clear();
        ASSERT_TRUE(two.LoadString(Text(Siblings(2499).c_str())));
        ASSERT_TRUE(one.LoadString(Text(Siblings(10).c_str())));
        ASSERT_EQ(DocumentOrder(two.Root()), std::vector<std::string>(2500, "e"));
    }
}

} // namespace
} // namespace Ostrel
