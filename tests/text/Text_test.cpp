#include "support/TextTestSupport.h"
#include "text/Text.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

namespace {

using Ostrel::IText;
using Ostrel::Text;
using Ostrel::Testing::HeapCalls;
using Ostrel::Testing::PlainText;

// Copies, assignments, moves, tails and shares through IText use the same characters and cost
// no heap call; every kind of write copies first and leaves the other sharers alone.
TEST(Text, CopiesShareWithoutAllocatingAndWritesCopyFirst) {
    Text original("value");
    const uint64_t before = HeapCalls();
    Text copy(original);
    Text assigned;
    assigned = original;
    Text moved(std::move(assigned));
    const Text tail = original.Tail(2);
    Text viaInterface(static_cast<const IText*>(&original));
    EXPECT_EQ(HeapCalls(), before);
    for (const Text* sharer : {&copy, &moved, &viaInterface}) {
        EXPECT_EQ(sharer->c_str(), original.c_str());
    }
    EXPECT_EQ(tail.c_str(), original.c_str() + 2);

    original.Append("s");
    copy.SetInteger(12);
    moved.Append(moved.c_str() + 1);
    moved = moved;
    assigned.Append("new");
    EXPECT_EQ(original, "values");
    EXPECT_EQ(copy, "12");
    EXPECT_EQ(moved, "valuealue");
    EXPECT_EQ(tail, "lue");
    EXPECT_EQ(viaInterface, "value");
    EXPECT_EQ(assigned, "new");
    EXPECT_STREQ(Text().c_str(), "") << "appending never writes to the shared empty text";

    const PlainText plain("plain");
    copy.Assign(plain);
    EXPECT_EQ(copy, "plain");
}

TEST(TextDeathTest, ContractViolationsStopWithAMessage) {
    const Text text("abc");
    EXPECT_DEATH(text.Tail(4), "Tail offset");
    EXPECT_DEATH(text.Mid(4, 10), "Mid range");
    EXPECT_DEATH(Text().SetInteger(1, 37), "radix");
}

TEST(Text, BorrowedTextsAreRelievedAtTheTenthSharerAndWhenTheOwnerGoes) {
    char outside[] = "outside value";
    std::optional<Text> owner(std::in_place);
    owner->Adopt(outside, static_cast<LONG>(std::strlen(outside)));
    Text copies[9];
    for (int i = 0; i < 8; ++i) {
        copies[i] = *owner;
        EXPECT_EQ(copies[i].c_str(), outside) << "sharer " << i + 2;
    }
    copies[8] = *owner;
    EXPECT_EQ(owner->c_str(), outside);
    for (const Text& copy : copies) {
        EXPECT_NE(copy.c_str(), outside);
        EXPECT_EQ(copy, "outside value");
    }
    const Text tail = owner->Tail(8);
    owner.reset();
    std::memset(outside, '#', sizeof(outside) - 1);
    EXPECT_EQ(tail, "value") << "nobody reads the outside buffer any more";
}

TEST(Text, SharersAreRepairedWhenThePoolMovesTheirHeader) {
    char first[] = "first";
    char second[] = "second";
    Text a;
    a.Adopt(first, 5);
    Text b;
    b.Adopt(second, 6);
    const Text bCopy = b;
    const Text bTail = b.Tail(3);
    a = Text(); // b's header, the topmost record, moves into a's place.
    Text c;
    c.Adopt(first, 5); // takes the record that b's header left.
    EXPECT_FALSE(b.SharesHeaderWith(c));
    EXPECT_TRUE(bCopy.SharesHeaderWith(b));
    b = Text();
    EXPECT_EQ(bCopy, "second");
    EXPECT_EQ(bTail, "ond");
    EXPECT_EQ(c, "first");
}

TEST(TextFormat, AResultLastsFiveCallsAndOneHeldIsNeverOverwritten) {
    const Text held = Text::Format("held %d", 1);
    std::vector<Text> kept;
    for (int i = 0; i < 12; ++i) {
        kept.push_back(Text::Format("kept %d", i));
    }
    for (int i = 0; i < 12; ++i) {
        EXPECT_EQ(kept[i], ("kept " + std::to_string(i)).c_str());
    }
    EXPECT_EQ(held, "held 1");
    const Text& fresh = Text::Format("fresh");
    kept.clear();
    for (int i = 0; i < 4; ++i) {
        Text::Format("filler %d", i);
    }
    EXPECT_EQ(fresh, "fresh");

    // Each retry in a larger buffer formats from its own copy of the arguments.
    const std::string x(3000, 'x');
    const std::string y(5000, 'y');
    EXPECT_EQ(std::string(Text::Format("[%s|%s|%d]", x.c_str(), y.c_str(), 42).c_str()),
              "[" + x + "|" + y + "|42]");
}

// numbers.txt: one case a line, "real VALUE DIGITS EXPECTED" or "integer VALUE RADIX EXPECTED".
TEST(TextNumbers, RealsAndIntegersAsTheTableSays) {
    std::ifstream table(PRAVELL_TEST_DATA "/text/numbers.txt");
    std::string kind, value, expected;
    int argument = 0, cases = 0;
    Text text;
    for (; table >> kind >> value >> argument >> expected; ++cases) {
        if (kind == "real") {
            text.SetReal(std::strtod(value.c_str(), nullptr), argument);
        } else {
            text.SetInteger(static_cast<LONG>(std::stol(value)), argument);
        }
        EXPECT_EQ(text, expected.c_str()) << kind << " " << value << " " << argument;
    }
    EXPECT_GT(cases, 30);
}

} // namespace
