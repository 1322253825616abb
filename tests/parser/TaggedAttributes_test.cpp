#include "parser/TaggedAttributes.h"
#include "platform/com.h"
#include "text/ScratchBuffers.h"
#include "text/Text.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

namespace {

using Ostrel::ScratchBuffers;
using Ostrel::TaggedAttributes;
using Ostrel::Text;

// "name=value,..." in storage order.
std::string Listing(const TaggedAttributes& attributes) {
    std::string listing;
    for (LONG i = 0; i < attributes.Count(); ++i) {
        listing += (i == 0 ? "" : ",");
        listing += attributes.NameAt(i).c_str();
        listing += "=";
        listing += attributes.ValueAt(i).c_str();
    }
    return listing;
}

std::string Names(const TaggedAttributes& attributes) {
    std::string names;
    for (const auto& pair : attributes.Pairs()) {
        names += (names.empty() ? "" : ",");
        names += pair.name.c_str();
    }
    return names;
}

bool Add(TaggedAttributes& attributes, const char* name, const char* value = "v") {
    return attributes.Add(Text(name), Text(value));
}

// A text as a host argument arrives: converted from an automation string, borrowing a scratch
// buffer while one is free.
Text FromHost(const std::u16string& wide) {
    BSTR host = SysAllocStringLen(wide.c_str(), static_cast<UINT>(wide.size()));
    Text text(host, true);
    SysFreeString(host);
    return text;
}

// Up to the threshold pairs keep their order, equal names included, and lookups answer the first
// of them; the pair past it sorts the collection, keeping one of each name. Once sorted, the
// collection stays sorted and refuses equal names even when duplicate removal took it back
// under the threshold, and so does a copy of it.
TEST(TaggedAttributes, PairsKeepTheirOrderUpToTheThresholdThenStaySorted) {
    TaggedAttributes attributes(5, 5, 5);
    for (const char* name : {"x", "c", "X", "a", "x"}) {
        EXPECT_TRUE(Add(attributes, name, name));
    }
    EXPECT_EQ(Names(attributes), "x,c,X,a,x");
    EXPECT_FALSE(attributes.IsSorted());
    Text value;
    EXPECT_TRUE(attributes.Find(Text("X"), value));
    EXPECT_EQ(value, "x") << "the linear lookup answers the first of equal names";

    EXPECT_TRUE(Add(attributes, "m"));
    EXPECT_EQ(Names(attributes), "a,c,m,x");
    EXPECT_TRUE(Add(attributes, "b")) << "goes to its place, not to the end";
    EXPECT_EQ(Names(attributes), "a,b,c,m,x");
    EXPECT_FALSE(Add(attributes, "C")) << "a name once present stays refused";
    LONG index = -1;
    EXPECT_TRUE(attributes.FindIndex(Text("M"), &index)) << "found by bisection";
    EXPECT_EQ(index, 3);
    EXPECT_FALSE(attributes.FindIndex(Text("ca"), &index));
    EXPECT_EQ(index, 3);

    TaggedAttributes copy(attributes);
    EXPECT_FALSE(Add(copy, "B")) << "the copy behaves as its source";
    EXPECT_TRUE(Add(copy, "bb"));
    EXPECT_EQ(Names(copy), "a,b,bb,c,m,x");
}

TEST(TaggedAttributes, NamesFoldOnlyAsciiLettersAndCompareBytesUnsigned) {
    TaggedAttributes attributes(3, 3, 0);
    const char* eAcute = "\xC3\xA9";
    const char* upperEAcute = "\xC3\x89";
    Add(attributes, eAcute, "high");
    Add(attributes, "z", "z");
    Add(attributes, "_", "underscore");
    Add(attributes, "B", "b");
    Add(attributes, upperEAcute, "upper");
    // Folding to lower case puts '_' (0x5F) before the letters; unsigned bytes put 0xC3 after 'z'.
    ASSERT_EQ(attributes.Count(), 5) << "non-ASCII letters are not folded";
    EXPECT_EQ(attributes.NameAt(0), "_");
    EXPECT_EQ(attributes.NameAt(1), "B");
    EXPECT_EQ(attributes.NameAt(2), "z");
    EXPECT_EQ(attributes.NameAt(3), upperEAcute);
    EXPECT_EQ(attributes.NameAt(4), eAcute);

    EXPECT_TRUE(Add(attributes, "Ab"));
    EXPECT_TRUE(Add(attributes, "aB\x7F"));
    EXPECT_EQ(attributes.NameAt(1), "Ab");
    EXPECT_EQ(attributes.NameAt(2), "aB\x7F");
    EXPECT_EQ(attributes.NameAt(3), "B");
    EXPECT_FALSE(Add(attributes, "AB"));
}

TEST(TaggedAttributes, NamesSharingOneArenaBlockAreStillDifferentNames) {
    Text block;
    block.Reserve(64);
    const Text id = block.PlaceAt(0, "id", 2);
    const Text name = block.PlaceAt(3, "name", 4);
    ASSERT_TRUE(id.SharesHeaderWith(name));

    TaggedAttributes attributes(5, 5, 0);
    EXPECT_TRUE(attributes.Add(name, Text("n")));
    EXPECT_TRUE(attributes.Add(id, Text("i")));
    EXPECT_EQ(Listing(attributes), "id=i,name=n");
    EXPECT_FALSE(attributes.Add(Text(id), Text("again"))) << "the same characters are equal";
    Text value;
    EXPECT_TRUE(attributes.Find(name, value));
    EXPECT_EQ(value, "n");
}

TEST(TaggedAttributes, QuicksortAgreesWithAReferenceSortOnAwkwardInputs) {
    std::mt19937 random(20240611);
    std::vector<std::vector<std::string>> inputs;
    std::vector<std::string> shuffled;
    std::vector<std::string> ascending;
    std::vector<std::string> allEqual(300, "Same");
    for (int i = 0; i < 600; ++i) {
        shuffled.push_back("n" + std::to_string(random() % 400));
        ascending.push_back("k" + std::to_string(1000 + i));
    }
    std::vector<std::string> descending(ascending.rbegin(), ascending.rend());
    inputs = {shuffled, ascending, descending, allEqual};

    for (const auto& input : inputs) {
        const auto threshold = static_cast<uint16_t>(input.size());
        TaggedAttributes attributes(7, 7, threshold);
        for (const auto& name : input) {
            ASSERT_TRUE(Add(attributes, name.c_str(), name.c_str()));
        }
        EXPECT_TRUE(Add(attributes, "~last", "~last"));

        std::vector<std::string> expected = input;
        expected.push_back("~last");
        std::sort(expected.begin(), expected.end());
        expected.erase(std::unique(expected.begin(), expected.end()), expected.end());
        ASSERT_EQ(attributes.Count(), static_cast<LONG>(expected.size()));
        for (LONG i = 0; i < attributes.Count(); ++i) {
            EXPECT_EQ(attributes.NameAt(i), expected[i].c_str());
            EXPECT_EQ(attributes.ValueAt(i), attributes.NameAt(i)) << "pairs stay together";
        }
    }
}

TEST(TaggedAttributes, BorrowedScratchTextsSurviveInsertsSortsAndTheirOwnersGoing) {
    ASSERT_EQ(ScratchBuffers::FreeCount(), ScratchBuffers::kCount);
    {
        TaggedAttributes attributes(1, 1, 4);
        {
            Text first = FromHost(u"delta");
            Text second = FromHost(u"charlie");
            Text third = FromHost(u"bravo-value");
            ASSERT_EQ(ScratchBuffers::FreeCount(), 0) << "all three borrow";
            Add(attributes, "zulu", "z");
            attributes.Add(first, third);
            attributes.Add(second, first);
            attributes.Add(third, second);
            // The fifth pair sorts the four, swapping borrowed texts, then inserts before them
            // all: every pair moves up, in a block grown by one slot.
            EXPECT_TRUE(Add(attributes, "alpha", "a"));
            EXPECT_EQ(Listing(attributes), "alpha=a,bravo-value=charlie,charlie=delta,"
                                           "delta=bravo-value,zulu=z");
            // Nine more sharers of one borrowed text relieve its header while the sharers
            // live inside the collection's block.
            for (int i = 0; i < 9; ++i) {
                attributes.Add(Text(("m" + std::to_string(i)).c_str()), third);
            }
        }
        EXPECT_EQ(ScratchBuffers::FreeCount(), ScratchBuffers::kCount)
            << "the owners gave their buffers back";
        // Reuse overwrites the scratch buffers; the collection must hold copies of its own.
        Text reuse1 = FromHost(u"XXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXX");
        Text reuse2 = FromHost(u"YYYYYYYYYYYYYYYYYYYYYYYYYYYYYYYY");
        Text reuse3 = FromHost(u"ZZZZZZZZZZZZZZZZZZZZZZZZZZZZZZZZ");
        EXPECT_EQ(attributes.NameAt(1), "bravo-value");
        EXPECT_EQ(attributes.ValueAt(1), "charlie");
        EXPECT_EQ(attributes.NameAt(2), "charlie");
        EXPECT_EQ(attributes.ValueAt(2), "delta");
        EXPECT_EQ(attributes.NameAt(3), "delta");
        EXPECT_EQ(attributes.ValueAt(3), "bravo-value");
        ASSERT_EQ(attributes.Count(), 14);
        for (LONG i = 4; i < 13; ++i) {
            EXPECT_EQ(attributes.NameAt(i), ("m" + std::to_string(i - 4)).c_str());
            EXPECT_EQ(attributes.ValueAt(i), "bravo-value");
        }
        EXPECT_EQ(attributes.NameAt(13), "zulu");
        attributes.Clear();
        EXPECT_EQ(reuse1, "XXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXX");
    }
    EXPECT_EQ(ScratchBuffers::FreeCount(), ScratchBuffers::kCount);
}

TEST(TaggedAttributes, AddAllAndCopyToStopAtTheFirstRejectedPair) {
    TaggedAttributes unsorted(5, 5, 5);
    Add(unsorted, "b", "1");
    Add(unsorted, "a", "2");
    Add(unsorted, "B", "3");
    Add(unsorted, "c", "4");

    TaggedAttributes target(3, 3, 0);
    EXPECT_FALSE(target.AddAll(unsorted));
    EXPECT_EQ(Listing(target), "a=2,b=1") << "pairs before the rejected one stay";

    TaggedAttributes other(3, 3, 0);
    Add(other, "a", "x");
    EXPECT_FALSE(unsorted.CopyTo(other));
    EXPECT_EQ(Listing(other), "a=x,b=1");

    TaggedAttributes empty(3, 3, 0);
    EXPECT_TRUE(target.AddAll(empty));
    EXPECT_TRUE(empty.CopyTo(target));
    EXPECT_EQ(Listing(target), "a=2,b=1");

    TaggedAttributes self(3, 3, 3);
    Add(self, "p", "1");
    Add(self, "q", "2");
    EXPECT_FALSE(self.CopyTo(self)) << "a copy into itself ends at its first sort";
    EXPECT_EQ(Names(self), "p,q");
}

} // namespace
