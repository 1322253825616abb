#include "parser/TaggedAttributes.h"
#include "platform/com.h"
#include "text/ScratchBuffers.h"
#include "text/Text.h"
#include "text/TextTestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

namespace {

using Ostrel::ScratchBuffers;
using Ostrel::TaggedAttributes;
using Ostrel::Text;
using Ostrel::Testing::PlainText;

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

TEST(TaggedAttributes, ThresholdZeroSortsFromTheFirstPairAndRefusesEqualNames) {
    TaggedAttributes attributes(3, 3, 0);
    EXPECT_TRUE(Add(attributes, "b", "1"));
    EXPECT_TRUE(Add(attributes, "A", "2"));
    EXPECT_TRUE(Add(attributes, "c", "3"));
    EXPECT_EQ(Listing(attributes), "A=2,b=1,c=3");
    EXPECT_TRUE(attributes.IsSorted());

    EXPECT_FALSE(Add(attributes, "B", "4"));
    EXPECT_FALSE(Add(attributes, "a", "5"));
    EXPECT_EQ(Listing(attributes), "A=2,b=1,c=3") << "a refused pair changes nothing";

    Text value("untouched");
    EXPECT_TRUE(attributes.Find(Text("C"), value));
    EXPECT_EQ(value, "3");
    value = "untouched";
    EXPECT_FALSE(attributes.Find(Text("d"), value));
    EXPECT_EQ(value, "untouched");
    EXPECT_TRUE(attributes.Find(PlainText("a"), value)) << "a name in the narrow form";
    EXPECT_EQ(value, "2");
}

TEST(TaggedAttributes, IndexesOutsideTheCountChangeNothing) {
    TaggedAttributes attributes(3, 3, 0);
    Add(attributes, "x", "1");
    Text name("name");
    Text value("value");
    for (LONG index : {1, -1, INT32_MAX}) {
        EXPECT_FALSE(attributes.GetAt(index, name, value));
        EXPECT_FALSE(attributes.SetValueAt(index, Text("x")));
    }
    EXPECT_EQ(name, "name");
    EXPECT_EQ(value, "value");
    EXPECT_TRUE(attributes.GetAt(0, name, value));
    EXPECT_EQ(value, "1");
    EXPECT_TRUE(name.SharesHeaderWith(attributes.NameAt(0))) << "GetAt shares, it never copies";
    EXPECT_TRUE(attributes.SetValueAt(0, PlainText("narrow")));
    EXPECT_EQ(Listing(attributes), "x=narrow");
}

TEST(TaggedAttributes, DuplicatesStayInInsertionOrderUntilTheSortKeepsOne) {
    TaggedAttributes attributes(3, 3, 3);
    EXPECT_TRUE(Add(attributes, "z", "first"));
    EXPECT_TRUE(Add(attributes, "y", "2"));
    EXPECT_TRUE(Add(attributes, "Z", "second"));
    EXPECT_EQ(Listing(attributes), "z=first,y=2,Z=second");
    EXPECT_FALSE(attributes.IsSorted());

    Text value;
    EXPECT_TRUE(attributes.Find(Text("z"), value));
    EXPECT_EQ(value, "first") << "the linear lookup answers the first of equal names";
    LONG index = -7;
    EXPECT_TRUE(attributes.FindIndex(Text("Z"), &index));
    EXPECT_EQ(index, 0);

    EXPECT_TRUE(Add(attributes, "a", "1"));
    ASSERT_EQ(attributes.Count(), 3);
    EXPECT_EQ(attributes.NameAt(0), "a");
    EXPECT_EQ(attributes.NameAt(1), "y");
    EXPECT_EQ(attributes.NameAt(2).CompareNoCase("z"), 0);
    EXPECT_FALSE(Add(attributes, "z")) << "sorted now: the name is present";
}

TEST(TaggedAttributes, ElementAttributesKeepAdditionOrderUpToFiveThenSort) {
    TaggedAttributes attributes(5, 5, 5);
    Add(attributes, "c");
    Add(attributes, "a");
    Add(attributes, "b");
    EXPECT_EQ(Names(attributes), "c,a,b");
    Add(attributes, "d");
    Add(attributes, "e");
    EXPECT_EQ(Names(attributes), "c,a,b,d,e") << "five still keep their order";
    EXPECT_TRUE(Add(attributes, "f"));
    EXPECT_EQ(Names(attributes), "a,b,c,d,e,f");
    EXPECT_FALSE(Add(attributes, "C")) << "a seventh with an existing name";
    EXPECT_TRUE(Add(attributes, "bb"));
    EXPECT_EQ(Names(attributes), "a,b,bb,c,d,e,f");

    LONG index = -1;
    EXPECT_TRUE(attributes.FindIndex(Text("BB"), &index)) << "found by bisection";
    EXPECT_EQ(index, 2);
    EXPECT_FALSE(attributes.FindIndex(Text("ca"), &index));
    EXPECT_EQ(index, 2);
}

TEST(TaggedAttributes, ACollectionOnceSortedStaysSortedWhenDuplicatesTookItBelowTheThreshold) {
    TaggedAttributes attributes(5, 5, 5);
    for (const char* value : {"1", "2", "3", "4", "5"}) {
        Add(attributes, "x", value);
    }
    EXPECT_EQ(Names(attributes), "x,x,x,x,x");
    EXPECT_TRUE(Add(attributes, "m"));
    EXPECT_EQ(Names(attributes), "m,x");
    EXPECT_TRUE(Add(attributes, "b")) << "goes to its place, not to the end";
    EXPECT_EQ(Names(attributes), "b,m,x");
    EXPECT_FALSE(Add(attributes, "X")) << "a name once refused stays refused";
    EXPECT_FALSE(Add(attributes, "b"));
    EXPECT_EQ(Names(attributes), "b,m,x");

    TaggedAttributes copy(attributes);
    EXPECT_EQ(Names(copy), "b,m,x");
    EXPECT_FALSE(Add(copy, "M")) << "the copy behaves as its source";
    EXPECT_TRUE(Add(copy, "a"));
    EXPECT_EQ(Names(copy), "a,b,m,x");
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

// Pairs handed over are taken, not shared: the caller's texts are left empty, and a text that
// borrows a scratch buffer is followed to its new place.
TEST(TaggedAttributes, AddPairTakesTheTextsOver) {
    TaggedAttributes attributes(3, 3, 0);
    Text name("id");
    Text value("42");
    const char* characters = value.c_str();
    EXPECT_TRUE(attributes.AddPair(std::move(name), std::move(value)));
    EXPECT_TRUE(name.IsEmpty());
    EXPECT_TRUE(value.IsEmpty());
    EXPECT_EQ(attributes.ValueAt(0).c_str(), characters);
    EXPECT_EQ(attributes.ValueAt(0).ShareCount(), 1);

    Text borrowed = FromHost(u"host");
    EXPECT_TRUE(attributes.AddPair(Text("a"), std::move(borrowed)));
    EXPECT_FALSE(attributes.AddPair(Text("ID"), Text("refused")));
    EXPECT_EQ(Listing(attributes), "a=host,id=42");
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

TEST(TaggedAttributes, ConstructorsCopyThroughCopyTo) {
    TaggedAttributes unsorted(5, 5, 5);
    Add(unsorted, "b", "1");
    Add(unsorted, "a", "2");
    Add(unsorted, "B", "3");

    const Ostrel::ITaggedAttributes& asInterface = unsorted;
    TaggedAttributes fromReference(asInterface);
    EXPECT_EQ(Listing(fromReference), "a=2,b=1") << "threshold 0: sorted, one b kept";
    EXPECT_EQ(fromReference.SortThreshold(), 0);

    TaggedAttributes fromPointer(&asInterface);
    EXPECT_EQ(Listing(fromPointer), "a=2,b=1");
    EXPECT_EQ(TaggedAttributes(static_cast<const Ostrel::ITaggedAttributes*>(nullptr)).Count(), 0);

    TaggedAttributes copy(unsorted);
    EXPECT_EQ(Listing(copy), "b=1,a=2,B=3") << "the source's threshold keeps the order";
    EXPECT_EQ(copy.Pairs().GrowStep(), 3);
    EXPECT_TRUE(copy.NameAt(0).SharesHeaderWith(unsorted.NameAt(0))) << "copies share texts";
}

} // namespace
