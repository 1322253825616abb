#include "text/Text.h"
#include "text/TextBuffer.h"
#include "text/TextPrinting.h"
#include "text/TextTestSupport.h"

#include <gtest/gtest.h>

#include <cstring>
#include <optional>
#include <string>

namespace {

using Ostrel::IText;
using Ostrel::Text;
using Ostrel::TextBuffer;
using Ostrel::Testing::HeapCalls;
using Ostrel::Testing::PlainText;

// The capacity a text's block got, as a buffer built on it reports it.
LONG CapacityOf(const Text& text) {
    return TextBuffer(text).Capacity();
}

TEST(Text, EmptyTextsShareTheEmptyHeaderWhichNothingChanges) {
    Text none;
    Text null(static_cast<const char*>(nullptr));
    Text blank("");
    EXPECT_TRUE(none.IsEmpty());
    EXPECT_EQ(none.Length(), 0);
    EXPECT_EQ(none.c_str(), null.c_str());
    EXPECT_EQ(none.c_str(), blank.c_str());
    EXPECT_EQ(none.ShareCount(), 0) << "the empty header is not counted";

    Text grown;
    grown.Append("abc");
    EXPECT_EQ(grown, "abc");
    EXPECT_NE(grown.c_str(), none.c_str()) << "appending gives the text its own buffer";
    EXPECT_STREQ(none.c_str(), "");
    EXPECT_STREQ(Text().c_str(), "");
}

TEST(Text, CopiesShareAndKeepTheirValueWhenTheOriginalChanges) {
    Text original("value");
    const uint64_t before = HeapCalls();
    Text copy(original);
    Text assigned;
    assigned = original;
    Text moved(std::move(assigned));
    EXPECT_EQ(HeapCalls(), before) << "copying and assigning allocate nothing";
    EXPECT_EQ(copy.c_str(), original.c_str());
    EXPECT_EQ(moved.c_str(), original.c_str());
    EXPECT_EQ(original.ShareCount(), 3);

    original.Append("s");
    EXPECT_EQ(original, "values");
    EXPECT_EQ(copy, "value");
    EXPECT_EQ(moved, "value");
    original.SetInteger(12);
    copy = "other";
    EXPECT_EQ(moved, "value");
    EXPECT_EQ(moved.ShareCount(), 1);

    // Self-assignment and assignment of an equal data pointer change nothing.
    const char* at = moved.c_str();
    moved = moved;
    EXPECT_EQ(moved.c_str(), at);
    EXPECT_EQ(moved.ShareCount(), 1);
}

TEST(Text, PrivateBlocksFollowTheAllocationRule) {
    EXPECT_EQ(CapacityOf(Text("a")), 4);
    EXPECT_EQ(CapacityOf(Text("abcd")), 4);
    EXPECT_EQ(CapacityOf(Text("abcde")), 20);
    EXPECT_EQ(CapacityOf(Text(std::string(20, 'x').c_str())), 20);
    EXPECT_EQ(CapacityOf(Text(std::string(21, 'x').c_str())), 36);
    EXPECT_EQ(CapacityOf(Text(std::string(37, 'x').c_str())), 52);
    Text reserved;
    reserved.Reserve(100);
    EXPECT_TRUE(reserved.IsEmpty());
    EXPECT_EQ(CapacityOf(reserved), 100);

    // Appending within the room keeps the block.
    Text text("ab");
    const char* at = text.c_str();
    text.Append("cd");
    EXPECT_EQ(text.c_str(), at);
    text.Append("e");
    EXPECT_EQ(text, "abcde");
}

TEST(Text, TailSharesAndMidCopies) {
    Text text("abcdef");
    Text tail = text.Tail(2);
    EXPECT_EQ(tail, "cdef");
    EXPECT_EQ(tail.c_str(), text.c_str() + 2) << "Tail moves data instead of copying";
    EXPECT_EQ(text.Tail(6), "");
    tail.Append("g");
    EXPECT_EQ(tail, "cdefg");
    EXPECT_EQ(text, "abcdef");

    Text two("ab");
    EXPECT_EQ(two.Mid(0, 2), "ab") << "last is cut to the final character";
    EXPECT_EQ(two.Mid(0, 0), "a");
    EXPECT_EQ(two.Mid(1, 0), "");
    EXPECT_EQ(two.Mid(2, 5), "");
    EXPECT_EQ(text.Mid(1, 3), "bcd");
    EXPECT_NE(text.Mid(0, 5).c_str(), text.c_str());

    // A text that starts inside its block grows and copies correctly.
    Text alone = Text("0123456789").Tail(7);
    alone.Append("abcdefghijklmnopqrstuvwxyz");
    EXPECT_EQ(alone, "789abcdefghijklmnopqrstuvwxyz");
}

TEST(TextDeathTest, RangesOutsideTheTextStopWithAMessage) {
    Text text("abc");
    EXPECT_DEATH(text.Tail(4), "Tail offset");
    EXPECT_DEATH(text.Tail(-1), "Tail offset");
    EXPECT_DEATH(text.Mid(4, 10), "Mid range");
    EXPECT_DEATH(text.Mid(2, 0), "Mid range");
    EXPECT_DEATH(text.SetInteger(1, 37), "radix");
    EXPECT_DEATH(text.Reserve(-1), "Reserve");
}

TEST(Text, FindOperationsAnswerPositionsAndLeaveThemAloneWhenNotFound) {
    Text text("a.b.c");
    LONG position = -7;
    EXPECT_TRUE(text.FindLastChar('.', &position));
    EXPECT_EQ(position, 3);
    position = -7;
    EXPECT_FALSE(text.FindLastChar('x', &position));
    EXPECT_FALSE(text.FindLastChar('\0', &position));
    EXPECT_EQ(position, -7);

    EXPECT_TRUE(Text("aaa").FindLast("aa", &position));
    EXPECT_EQ(position, 1) << "overlapping occurrences count";
    EXPECT_TRUE(text.FindLast("", &position));
    EXPECT_EQ(position, 5);
    position = -7;
    EXPECT_FALSE(text.FindLast("a.b.c.", &position));
    EXPECT_FALSE(text.FindLast("x", &position));
    EXPECT_EQ(position, -7);

    EXPECT_TRUE(text.FindFirstOf("cb", &position));
    EXPECT_EQ(position, 2);
    position = -7;
    EXPECT_FALSE(text.FindFirstOf("xyz", &position));
    EXPECT_FALSE(text.FindFirstOf("", &position));
    EXPECT_EQ(position, -7);
}

TEST(Text, AppendAndConcatenation) {
    Text text;
    text.Append(nullptr);
    EXPECT_TRUE(text.IsEmpty());
    text.Append("ab");
    text.Append("");
    text.Append(text.c_str());
    EXPECT_EQ(text, "abab") << "appending its own characters";
    text.Append(text.c_str() + 3);
    EXPECT_EQ(text, "ababb");

    Text shared = text;
    shared.Append(text.c_str());
    EXPECT_EQ(shared, "ababbababb");
    EXPECT_EQ(text, "ababb");

    const Text joined = text + "-tail";
    EXPECT_EQ(joined, "ababb-tail");
    EXPECT_EQ(text, "ababb");
    EXPECT_EQ(Text() + "x", "x");
    EXPECT_EQ(text + nullptr, "ababb");
}

TEST(Text, ComparisonHelpers) {
    EXPECT_EQ(Text("abc").Compare("abc"), 0);
    EXPECT_LT(Text("abc").Compare("abd"), 0);
    EXPECT_GT(Text("\xC3\xA9").Compare("z"), 0) << "bytes compare unsigned";
    EXPECT_EQ(Text("").Compare(nullptr), 0);
    EXPECT_EQ(Text("MixedCase").CompareNoCase("mIXEDcASE"), 0);
    EXPECT_LT(Text("Apple").CompareNoCase("banana"), 0);
    EXPECT_NE(Text("[").CompareNoCase("{"), 0) << "only letters fold";
    EXPECT_TRUE(Text("a") < Text("b"));
    EXPECT_TRUE(Text("a") != Text("b"));
    EXPECT_TRUE(Text("a") == Text("a"));
}

TEST(Text, ITextSharesTextsAndCopiesOtherImplementations) {
    Text text("shared");
    LONG form = IText::kTextForm;
    EXPECT_EQ(text.GetText(&form), &text);
    EXPECT_EQ(form, IText::kTextForm);
    form = 0;
    EXPECT_EQ(text.GetText(&form), text.c_str());
    EXPECT_EQ(text.GetSize(), 24);

    const IText& asInterface = text;
    Text viaInterface(&asInterface);
    EXPECT_EQ(viaInterface.c_str(), text.c_str());

    PlainText plain("plain");
    Text copied(&plain);
    EXPECT_EQ(copied, "plain");
    Text target("old");
    EXPECT_EQ(&target.Assign(plain), &target);
    EXPECT_EQ(target, "plain");
    target.Assign(text);
    EXPECT_EQ(target.c_str(), text.c_str());
    EXPECT_TRUE(Text(static_cast<const IText*>(nullptr)).IsEmpty());
}

TEST(Text, PlaceAtCarvesNamesOutOfOneSharedBlock) {
    Text block;
    block.Reserve(30);
    Text first = block.PlaceAt(0, "alpha", 5);
    Text second = block.PlaceAt(6, "beta", 4);
    EXPECT_EQ(first, "alpha");
    EXPECT_EQ(second, "beta");
    EXPECT_TRUE(first.SharesHeaderWith(second));
    EXPECT_EQ(block.ShareCount(), 3);

    second.Append("!");
    EXPECT_EQ(second, "beta!");
    EXPECT_EQ(first, "alpha") << "writing to a name copies it";
    block = Text();
    EXPECT_EQ(first, "alpha") << "the block lives while a name does";

    Text small("ab");
    EXPECT_DEATH(small.PlaceAt(2, "abc", 3), "PlaceAt");
    EXPECT_DEATH(Text().PlaceAt(0, "", 0), "PlaceAt");
}

TEST(Text, BorrowedTextsAreRelievedAtTheTenthSharerAndWhenTheOwnerGoes) {
    char outside[] = "outside value";
    std::optional<Text> owner(std::in_place);
    owner->Adopt(outside, static_cast<LONG>(std::strlen(outside)));
    EXPECT_EQ(owner->c_str(), outside);

    Text copies[9];
    for (int i = 0; i < 8; ++i) {
        copies[i] = *owner;
        EXPECT_EQ(copies[i].c_str(), outside);
    }
    EXPECT_EQ(owner->ShareCount(), 9);
    copies[8] = *owner;
    EXPECT_EQ(owner->ShareCount(), 1) << "the ninth copy relieves the header";
    for (Text& copy : copies) {
        EXPECT_EQ(copy, "outside value");
        EXPECT_NE(copy.c_str(), outside);
        EXPECT_TRUE(copy.SharesHeaderWith(copies[0])) << "equal values share one copy";
    }
    EXPECT_EQ(copies[0].ShareCount(), 9);

    Text tail = owner->Tail(8);
    Text tailCopy = tail;
    Text other = *owner;
    owner.reset();
    EXPECT_EQ(tail, "value");
    EXPECT_EQ(tailCopy, "value");
    EXPECT_TRUE(tail.SharesHeaderWith(tailCopy));
    EXPECT_EQ(other, "outside value");
    std::memset(outside, '#', sizeof(outside) - 1);
    EXPECT_EQ(other, "outside value") << "nobody reads the outside buffer any more";
    EXPECT_EQ(copies[8], "outside value");
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
    EXPECT_TRUE(b.SharesHeaderWith(bCopy));
    EXPECT_TRUE(b.SharesHeaderWith(bTail));
    EXPECT_EQ(b.ShareCount(), 3);
    EXPECT_EQ(c.ShareCount(), 1);

    Text more = bCopy;
    EXPECT_EQ(b.ShareCount(), 4);
    b = Text();
    EXPECT_EQ(bCopy, "second");
    EXPECT_EQ(bTail, "ond");
    EXPECT_EQ(more, "second");
    EXPECT_EQ(c, "first");
}

} // namespace
