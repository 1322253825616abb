#include "support/TextTestSupport.h"
#include "text/Text.h"
#include "text/TextBuffer.h"

#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <optional>
#include <string>
#include <vector>

namespace {

using Ostrel::IText;
using Ostrel::Text;
using Ostrel::TextBuffer;
using Ostrel::Testing::HeapCalls;
using Ostrel::Testing::PlainText;

TEST(Text, CopiesShareWithoutAllocatingAndKeepTheirValueWhenTheOriginalChanges) {
    Text none;
    EXPECT_EQ(none.c_str(), Text("").c_str()) << "one empty header";
    Text grown;
    grown.Append("abc");
    EXPECT_STREQ(none.c_str(), "") << "appending never writes to the empty header";

    Text original("value");
    const uint64_t before = HeapCalls();
    Text copy(original);
    Text assigned;
    assigned = original;
    Text moved(std::move(assigned));
    EXPECT_EQ(HeapCalls(), before);
    EXPECT_EQ(copy.c_str(), original.c_str());
    EXPECT_EQ(original.ShareCount(), 3);

    original.Append("s");
    original.SetInteger(12);
    copy = "other";
    EXPECT_EQ(moved, "value");
    EXPECT_EQ(moved.ShareCount(), 1);
    const char* at = moved.c_str();
    moved = moved;
    EXPECT_EQ(moved.c_str(), at);
    EXPECT_EQ(moved.ShareCount(), 1);
}

TEST(Text, TailSharesMidCopiesAndAppendsHandleTheirOwnCharacters) {
    Text text("abcdef");
    Text tail = text.Tail(2);
    EXPECT_EQ(tail.c_str(), text.c_str() + 2);
    tail.Append("g");
    EXPECT_EQ(tail, "cdefg");
    EXPECT_EQ(text, "abcdef");
    EXPECT_EQ(Text("ab").Mid(0, 2), "ab") << "last is cut to the final character";
    EXPECT_EQ(Text("ab").Mid(2, 5), "");
    Text alone = Text("0123456789").Tail(7);
    alone.Append("abcdefghijklmnopqrstuvwxyz");
    EXPECT_EQ(alone, "789abcdefghijklmnopqrstuvwxyz");

    Text self("ab");
    self.Append(self.c_str());
    self.Append(self.c_str() + 3);
    EXPECT_EQ(self, "ababb");
    Text shared = self;
    shared.Append(self.c_str());
    EXPECT_EQ(shared, "ababbababb");
    EXPECT_EQ(self, "ababb");
}

TEST(TextDeathTest, ContractViolationsStopWithAMessage) {
    Text text("abc");
    EXPECT_DEATH(text.Tail(4), "Tail offset");
    EXPECT_DEATH(text.Mid(4, 10), "Mid range");
    EXPECT_DEATH(text.SetInteger(1, 37), "radix");
    EXPECT_DEATH(text.Reserve(-1), "Reserve");
    EXPECT_DEATH(Text("ab").PlaceAt(2, "abc", 3), "PlaceAt");
}

TEST(Text, ITextSharesTextsAndCopiesOtherImplementations) {
    Text text("shared");
    LONG form = IText::kTextForm;
    EXPECT_EQ(text.GetText(&form), &text);
    const IText& asInterface = text;
    EXPECT_EQ(Text(&asInterface).c_str(), text.c_str());
    PlainText plain("plain");
    EXPECT_EQ(Text(&plain), "plain");
    Text target("old");
    target.Assign(plain);
    EXPECT_EQ(target, "plain");
}

TEST(Text, PlacedNamesShareOneBlockThatLivesWhileANameDoes) {
    Text block;
    block.Reserve(30);
    Text first = block.PlaceAt(0, "alpha", 5);
    Text second = block.PlaceAt(6, "beta", 4);
    EXPECT_TRUE(first.SharesHeaderWith(second));
    second.Append("!");
    block = Text();
    EXPECT_EQ(second, "beta!");
    EXPECT_EQ(first, "alpha");
}

TEST(Text, BorrowedTextsAreRelievedAtTheTenthSharerAndWhenTheOwnerGoes) {
    char outside[] = "outside value";
    std::optional<Text> owner(std::in_place);
    owner->Adopt(outside, static_cast<LONG>(std::strlen(outside)));
    Text copies[9];
    for (int i = 0; i < 8; ++i) {
        copies[i] = *owner;
        EXPECT_EQ(copies[i].c_str(), outside);
    }
    copies[8] = *owner;
    EXPECT_EQ(owner->ShareCount(), 1) << "the ninth copy relieves the header";
    for (Text& copy : copies) {
        EXPECT_EQ(copy, "outside value");
        EXPECT_NE(copy.c_str(), outside);
        EXPECT_TRUE(copy.SharesHeaderWith(copies[0]));
    }
    Text tail = owner->Tail(8);
    Text other = *owner;
    owner.reset();
    std::memset(outside, '#', sizeof(outside) - 1);
    EXPECT_EQ(tail, "value");
    EXPECT_EQ(other, "outside value") << "nobody reads the outside buffer any more";
}

TEST(Text, SharersAreRepairedWhenThePoolMovesTheirHeader) {
    char first[] = "first";
    char second[] = "second";
    Text a;
    a.Adopt(first, 5);
    Text b;
    b.Adopt(second, 6);
    Text bCopy = b;
    Text bTail = b.Tail(3);

    a = Text(); // b's header, the topmost record, moves into a's place.
    Text c;
    c.Adopt(first, 5); // takes the record that b's header left.
    EXPECT_FALSE(b.SharesHeaderWith(c));
    EXPECT_TRUE(b.SharesHeaderWith(bTail));
    EXPECT_EQ(b.ShareCount(), 3);
    b = Text();
    EXPECT_EQ(bCopy, "second");
    EXPECT_EQ(bTail, "ond");
    EXPECT_EQ(c, "first");
}

TEST(TextFormat, ResultsReuseTheRingAndAHeldResultIsNeverOverwritten) {
    for (int i = 0; i < 5; ++i) {
        Text::Format("warm %d", i);
    }
    const uint64_t before = HeapCalls();
    for (int i = 0; i < 20; ++i) {
        EXPECT_EQ(Text::Format("%05d", i), std::to_string(100000 + i).substr(1).c_str());
    }
    EXPECT_EQ(HeapCalls(), before);

    const Text held = Text::Format("first %d", 1);
    std::vector<Text> kept;
    for (int i = 0; i < 12; ++i) {
        kept.push_back(Text::Format("kept %d", i));
    }
    for (int i = 0; i < 12; ++i) {
        EXPECT_EQ(kept[i], ("kept " + std::to_string(i)).c_str());
    }
    EXPECT_EQ(held, "first 1");
    const Text& fresh = Text::Format("fresh");
    kept.clear();
    for (int i = 0; i < 4; ++i) {
        Text::Format("filler %d", i);
    }
    EXPECT_EQ(fresh, "fresh") << "an unheld result lasts five further calls";
}

TEST(TextFormat, LongResultsAreCompleteAfterRetries) {
    const std::string long1(3000, 'x');
    const std::string long2(5000, 'y');
    EXPECT_EQ(std::string(Text::Format("[%s|%s|%d]", long1.c_str(), long2.c_str(), 42).c_str()),
              "[" + long1 + "|" + long2 + "|42]")
        << "each retry formats from its own copy of the arguments";
    EXPECT_EQ(Text::Format("%1025d", 7).Length(), 1025);
}

TEST(TextNumbers, RealsInTheGeneralFormatAndIntegersInEveryRadix) {
    const double inf = std::numeric_limits<double>::infinity();
    const struct {
        double value;
        int digits;
        const char* expected;
    } reals[] = {{1.0, 16, "1."},
                 {1.5e20, 16, "1.5e+20"},
                 {0.05, 16, "5.e-02"},
                 {123456789012345678.0, 16, "1.234567890123457e+17"},
                 {1234567890123456.0, 16, "1234567890123456."},
                 {9999999999999999.0, 16, "1.e+16"},
                 {123456.0, 4, "1.235e+05"},
                 {0.5, 0, "0.5"},
                 {-0.0, 16, "-0."},
                 {std::nan(""), 16, "NaN"},
                 {inf, 16, "INF"},
                 {-inf, 16, "-INF"}};
    Text text;
    for (const auto& real : reals) {
        text.SetReal(real.value, real.digits);
        EXPECT_EQ(text, real.expected);
    }
    std::srand(7);
    for (int i = 0; i < 2000; ++i) {
        const double value =
            std::ldexp(std::rand() / static_cast<double>(RAND_MAX) - 0.5, std::rand() % 200 - 100);
        text.SetReal(value, 17);
        EXPECT_EQ(std::strtod(text.c_str(), nullptr), value) << text.c_str();
    }

    const struct {
        LONG value;
        int radix;
        std::string expected;
    } integers[] = {
        {INT32_MIN, 10, "-2147483648"}, {-1, 2, std::string(32, '1')}, {-2, 16, "fffffffe"},
        {INT32_MAX, 36, "zik0zj"},      {-1, 36, "1z141z3"},           {-8, 8, "37777777770"}};
    for (const auto& integer : integers) {
        text.SetInteger(integer.value, integer.radix);
        EXPECT_EQ(text, integer.expected.c_str());
    }
}

TEST(TextNumbers, NumbersReuseAnOwnBufferAndNeverWriteIntoASharedOne) {
    Text text;
    text.SetInteger(-123456789, 2);
    const char* at = text.c_str();
    const uint64_t before = HeapCalls();
    text.SetInteger(7);
    EXPECT_EQ(HeapCalls(), before);
    EXPECT_EQ(text.c_str(), at);
    Text copy = text;
    text.SetReal(0.125);
    EXPECT_EQ(copy, "7");
    Text tail = Text("0123456789").Tail(4);
    tail.SetInteger(-1, 2);
    EXPECT_EQ(std::string(tail.c_str()), std::string(32, '1'));
}

} // namespace
