#include "host/AutomationText.h"
#include "parser/TaggedAttributes.h"
#include "text/ScratchBuffers.h"
#include "text/Text.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>

namespace Ostrel {
namespace {

// "name=value,..." in storage order.
std::string Listing(const TaggedAttributes& attributes) {
    std::string listing;
    for (LONG i = 0; i < attributes.Count(); ++i) {
        listing += std::string(i == 0 ? "" : ",") + attributes.NameAt(i).c_str() + "=" +
                   attributes.ValueAt(i).c_str();
    }
    return listing;
}

bool Add(TaggedAttributes& attributes, const std::string& name, const char* value) {
    return attributes.Add(Text(name.c_str()), Text(value));
}

// A text as a host argument arrives: converted from an automation string, borrowing a scratch
// buffer while one is free.
Text FromHost(const char* ascii) {
    return Text(Bstr(ascii), true);
}

// adding.txt: "THRESHOLD | NAMES ADDED | PAIRS HELD | sorted or unsorted | LOOKUPS"; a copy of
// the collection holds the same pairs in the same state.
TEST(TaggedAttributes, PairsAreAddedAndFoundAsTheTableSays) {
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
            EXPECT_EQ(Add(attributes, word.substr(refused), word.c_str() + refused), !refused);
        }
        std::string held;
        while (fields >> word && word != "|") {
            held += (held.empty() ? "" : ",") + word + "=" + word;
        }
        EXPECT_EQ(Listing(attributes), held);
        fields >> word;
        EXPECT_EQ(attributes.IsSorted(), word == "sorted");
        for (fields >> word; fields >> word;) {
            const size_t at = word.find('@');
            LONG index = -1;
            const bool found = attributes.FindIndex(Text(word.substr(0, at).c_str()), &index);
            EXPECT_EQ(found ? std::to_string(index) : "-", word.substr(at + 1)) << word;
        }
        const TaggedAttributes copy(attributes);
        EXPECT_EQ(Listing(copy), held);
        EXPECT_EQ(copy.IsSorted(), attributes.IsSorted());
    }
    EXPECT_GE(cases, 9);
}

// The sort moves texts that borrow scratch buffers by their own move operations, never
// bytewise: the collection ends up with copies of its own that outlive their owners.
TEST(TaggedAttributes, BorrowedScratchTextsSurviveInsertsSortsAndTheirOwnersGoing) {
    ASSERT_EQ(ScratchBuffers::FreeCount(), ScratchBuffers::kCount);
    TaggedAttributes attributes(1, 1, 4);
    {
        Text first = FromHost("delta");
        Text second = FromHost("charlie");
        Text third = FromHost("bravo-value");
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
    const Text reuse[] = {FromHost("XXXXXXXXXXXXXXXXXXXXXXXX"), FromHost("YYYYYYYYYYYYYYYYYYYY"),
                          FromHost("ZZZZZZZZZZZZZZZZZZZZZZZZ")};
    std::string expected = "alpha=a,bravo-value=charlie,charlie=delta,delta=bravo-value";
    for (int i = 0; i < 9; ++i) {
        expected += ",m" + std::to_string(i) + "=bravo-value";
    }
    EXPECT_EQ(Listing(attributes), expected + ",zulu=z");
    attributes.Clear();
    EXPECT_EQ(reuse[0], "XXXXXXXXXXXXXXXXXXXXXXXX");
}

} // namespace
} // namespace Ostrel
