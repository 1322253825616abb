#include "parser/TaggedAttributes.h"
#include "platform/com.h"
#include "support/TestSupport.h"
#include "text/ScratchBuffers.h"
#include "text/Text.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

namespace Ostrel {
namespace {

// "name=value,..." in storage order, or only the names when `values` is false.
std::string Listing(const TaggedAttributes& attributes, bool values = true) {
    std::string listing;
    for (LONG i = 0; i < attributes.Count(); ++i) {
        listing += std::string(i == 0 ? "" : ",") + attributes.NameAt(i).c_str();
        listing += values ? std::string("=") + attributes.ValueAt(i).c_str() : "";
    }
    return listing;
}

bool Add(TaggedAttributes& attributes, const std::string& name, const char* value = "v") {
    return attributes.Add(Text(name.c_str()), Text(value));
}

// A text as a host argument arrives: converted from an automation string, borrowing a scratch
// buffer while one is free.
Text FromHost(const OleString& wide) {
    BSTR host = SysAllocStringLen(wide.c_str(), static_cast<UINT>(wide.size()));
    Text text(host, true);
    SysFreeString(host);
    return text;
}

// adding.txt: "THRESHOLD | NAMES ADDED | NAMES HELD | sorted or unsorted"; a copy of the
// collection holds the same names in the same state.
TEST(TaggedAttributes, PairsAreAddedAsTheTableSays) {
    std::ifstream table(PRAVELL_TEST_DATA "/attributes/adding.txt");
    int cases = 0;
    for (std::string line; std::getline(table, line);) {
        if (line.empty() || line[0] == '#') {
            continue;
        }
        SCOPED_TRACE(line);
        ++cases;
        std::istringstream fields(line);
        int threshold = 0;
        std::string word;
        fields >> threshold >> word;
        TaggedAttributes attributes(5, 5, static_cast<uint16_t>(threshold));
        while (fields >> word && word != "|") {
            const bool refused = word[0] == '!';
            EXPECT_EQ(Add(attributes, word.substr(refused), word.c_str()), !refused) << word;
        }
        std::string held;
        while (fields >> word && word != "|") {
            held += (held.empty() ? "" : ",") + word;
        }
        fields >> word;
        EXPECT_EQ(Listing(attributes, false), held);
        EXPECT_EQ(attributes.IsSorted(), word == "sorted");
        const TaggedAttributes copy(attributes);
        EXPECT_EQ(Listing(copy), Listing(attributes));
        EXPECT_EQ(copy.IsSorted(), attributes.IsSorted());
    }
    EXPECT_GE(cases, 5);
}

// Unsorted, a lookup scans and answers the first of equal names; sorted, it bisects. Names are
// compared by their characters, also where two share one block.
TEST(TaggedAttributes, LookupsFindTheFirstOfANameByItsCharacters) {
    TaggedAttributes unsorted(5, 5, 5);
    for (const char* name : {"x", "c", "X"}) {
        Add(unsorted, name, name);
    }
    Text value;
    EXPECT_TRUE(unsorted.Find(Text("X"), value));
    EXPECT_EQ(value, "x");

    Text block;
    block.Reserve(64);
    const Text id = block.PlaceAt(0, "id", 2);
    const Text name = block.PlaceAt(3, "name", 4);
    ASSERT_TRUE(id.SharesHeaderWith(name));
    TaggedAttributes sorted(5, 5, 0);
    EXPECT_TRUE(sorted.Add(name, Text("n")));
    EXPECT_TRUE(sorted.Add(id, Text("i")));
    EXPECT_FALSE(sorted.Add(Text(id), Text("again")));
    LONG index = -1;
    EXPECT_TRUE(sorted.FindIndex(Text("NAME"), &index));
    EXPECT_EQ(index, 1);
    EXPECT_FALSE(sorted.FindIndex(Text("ia"), &index));
    EXPECT_EQ(index, 1) << "left alone when absent";
    EXPECT_TRUE(sorted.Find(id, value));
    EXPECT_EQ(value, "i");
}

TEST(TaggedAttributes, QuicksortAgreesWithAReferenceSortOnAwkwardInputs) {
    std::mt19937 random(20240611);
    std::vector<std::vector<std::string>> inputs(4);
    for (int i = 0; i < 600; ++i) {
        inputs[0].push_back("n" + std::to_string(random() % 400));
        inputs[1].push_back("k" + std::to_string(1000 + i));
        inputs[2].push_back("k" + std::to_string(1599 - i));
        inputs[3].push_back("Same");
    }
    for (const auto& input : inputs) {
        TaggedAttributes attributes(7, 7, static_cast<uint16_t>(input.size()));
        for (const auto& name : input) {
            ASSERT_TRUE(Add(attributes, name, name.c_str()));
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

// The sort moves texts that borrow scratch buffers by their own move operations, never
// bytewise: the collection ends up with copies of its own that outlive their owners.
TEST(TaggedAttributes, BorrowedScratchTextsSurviveInsertsSortsAndTheirOwnersGoing) {
    ASSERT_EQ(ScratchBuffers::FreeCount(), ScratchBuffers::kCount);
    TaggedAttributes attributes(1, 1, 4);
    {
        Text first = FromHost(OLESTR("delta"));
        Text second = FromHost(OLESTR("charlie"));
        Text third = FromHost(OLESTR("bravo-value"));
        ASSERT_EQ(ScratchBuffers::FreeCount(), 0) << "all three borrow";
        Add(attributes, "zulu", "z");
        attributes.Add(first, third);
        attributes.Add(second, first);
        attributes.Add(third, second);
        // The fifth pair sorts the four, then inserts before them all: every pair moves up.
        EXPECT_TRUE(Add(attributes, "alpha", "a"));
        // Nine more sharers of one borrowed text relieve its header while the sharers live
        // inside the collection's block.
        for (int i = 0; i < 9; ++i) {
            attributes.Add(Text(("m" + std::to_string(i)).c_str()), third);
        }
    }
    EXPECT_EQ(ScratchBuffers::FreeCount(), ScratchBuffers::kCount);
    // Reuse overwrites the scratch buffers.
    const Text reuse[] = {FromHost(OLESTR("XXXXXXXXXXXXXXXXXXXXXXXX")),
                          FromHost(OLESTR("YYYYYYYYYYYYYYYYYYYY")),
                          FromHost(OLESTR("ZZZZZZZZZZZZZZZZZZZZZZZZ"))};
    std::string expected = "alpha=a,bravo-value=charlie,charlie=delta,delta=bravo-value";
    for (int i = 0; i < 9; ++i) {
        expected += ",m" + std::to_string(i) + "=bravo-value";
    }
    EXPECT_EQ(Listing(attributes), expected + ",zulu=z");
    attributes.Clear();
    EXPECT_EQ(reuse[0], "XXXXXXXXXXXXXXXXXXXXXXXX");
}

TEST(TaggedAttributes, AddAllAndCopyToStopAtTheFirstRejectedPair) {
    TaggedAttributes unsorted(5, 5, 5);
    for (const char* name : {"b", "a", "B", "c"}) {
        Add(unsorted, name, name);
    }
    for (bool copy : {false, true}) {
        TaggedAttributes target(3, 3, 0);
        EXPECT_FALSE(copy ? unsorted.CopyTo(target) : target.AddAll(unsorted));
        EXPECT_EQ(Listing(target), "a=a,b=b") << "pairs before the rejected one stay";
    }
    TaggedAttributes self(3, 3, 3);
    Add(self, "p", "1");
    Add(self, "q", "2");
    EXPECT_FALSE(self.CopyTo(self)) << "a copy into itself ends at its first sort";
    EXPECT_EQ(Listing(self), "p=1,q=2");
}

} // namespace
} // namespace Ostrel
