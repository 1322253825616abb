#include "text/BlockMemory.h"
#include "text/ScratchBuffers.h"
#include "text/TextBuffer.h"
#include "text/TextPrinting.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

using Ostrel::BlockMemory;
using Ostrel::ScratchBuffers;
using Ostrel::Text;
using Ostrel::TextBuffer;

std::string Bytes(const TextBuffer& buffer) {
    return std::string(buffer.c_str(), static_cast<size_t>(buffer.Length()));
}

TEST(TextBuffer, GrowsByHalfAgainWithALogarithmicNumberOfReallocations) {
    TextBuffer buffer;
    EXPECT_EQ(buffer.Length(), 0);
    EXPECT_EQ(buffer.Capacity(), 0);
    buffer.Append("0123456789");
    EXPECT_EQ(buffer.Length(), 10);
    EXPECT_EQ(buffer.Capacity(), 15) << "(length + n) + (length + n) / 2";
    buffer.Append("abcde");
    EXPECT_EQ(buffer.Capacity(), 15);
    buffer.Append("f");
    EXPECT_EQ(buffer.Capacity(), 24);

    const auto before = BlockMemory::GetCounters();
    std::string expected = Bytes(buffer);
    for (int i = 0; i < 100000; ++i) {
        buffer.Append("x", 1);
        expected += 'x';
    }
    const auto after = BlockMemory::GetCounters();
    EXPECT_EQ(after.allocations, before.allocations);
    EXPECT_LE(after.reallocations - before.reallocations, 25u);
    EXPECT_EQ(Bytes(buffer), expected);
    EXPECT_EQ(buffer.Length(), static_cast<LONG>(expected.size()));
    EXPECT_EQ(static_cast<size_t>(Text(buffer).Length()), expected.size());
}

// Bytes assembled in place: room is made (copying a shared buffer first), only what was written
// is taken in, and texts that shared the buffer keep their value.
TEST(TextBuffer, AssemblingInPlaceTakesExactlyTheBytesWritten) {
    TextBuffer buffer;
    char* out = buffer.OpenTail(5);
    std::memcpy(out, "abc", 3);
    buffer.Extend(out + 3);
    EXPECT_EQ(Bytes(buffer), "abc");
    EXPECT_GE(buffer.Capacity(), 5);

    const Text shared = buffer;
    out = buffer.OpenTail(200);
    std::memset(out, 'z', 200);
    buffer.Extend(out + 200);
    EXPECT_EQ(shared, "abc") << "the buffer was copied before it was written";
    EXPECT_EQ(Bytes(buffer), "abc" + std::string(200, 'z'));
    EXPECT_GE(buffer.Capacity(), 203);

    buffer.Clear(true);
    out = buffer.OpenTail(0);
    buffer.Extend(out);
    EXPECT_EQ(Bytes(buffer), "");
    buffer.Append("tail");
    EXPECT_EQ(Bytes(buffer), "tail");
}

TEST(TextBuffer, AppendCountsRepeatsAndClears) {
    TextBuffer buffer;
    buffer.Append("abcdef", 3);
    buffer.Append("", 0);
    buffer.Append(nullptr);
    buffer.AppendRepeated(' ', 3);
    buffer.AppendRepeated('x', 0);
    buffer.AppendRepeated('x', -4);
    buffer.Append("end", -1);
    EXPECT_EQ(Bytes(buffer), "abc   end");
    EXPECT_EQ(buffer, "abc   end");
    buffer.Append(buffer.c_str(), 3);
    EXPECT_EQ(Bytes(buffer), "abc   endabc") << "appending its own bytes";

    const LONG capacity = buffer.Capacity();
    const char* at = buffer.c_str();
    const uint64_t calls = BlockMemory::GetCounters().allocations;
    buffer.Clear(true);
    EXPECT_EQ(buffer.Length(), 0);
    EXPECT_EQ(buffer.Capacity(), capacity);
    EXPECT_EQ(buffer.c_str(), at) << "the buffer is kept";
    EXPECT_EQ(BlockMemory::GetCounters().allocations, calls);
    buffer.Append("again");
    EXPECT_EQ(buffer, "again");

    Text held = buffer;
    buffer.Clear(true);
    EXPECT_EQ(held, "again") << "a shared buffer is not emptied under its other holders";
    EXPECT_EQ(buffer.Capacity(), capacity);
    EXPECT_NE(buffer.c_str(), held.c_str());

    buffer.Clear(false);
    EXPECT_EQ(buffer.Length(), 0);
    EXPECT_EQ(buffer.Capacity(), 0);
    EXPECT_EQ(buffer.c_str(), Text().c_str());
}

TEST(TextBuffer, CopiesKeepTheirValueAndBytesWithNulsSurviveCopyOnWrite) {
    TextBuffer buffer;
    buffer.Append("a\0b", 3);
    EXPECT_EQ(buffer.Length(), 3);
    EXPECT_STREQ(buffer.c_str(), "a");

    Text copy = buffer;
    TextBuffer second = buffer;
    EXPECT_EQ(copy.c_str(), buffer.c_str());
    buffer.Append("c\0d", 3);
    EXPECT_EQ(Bytes(buffer), std::string("a\0bc\0d", 6)) << "copied by length, not by scan";
    EXPECT_EQ(std::string(copy.c_str()), "a");
    second.Append("!");
    EXPECT_EQ(Bytes(second), std::string("a\0b!", 4));

    TextBuffer assigned;
    assigned = Text("from text");
    EXPECT_EQ(assigned.Length(), 9);
    assigned.Assign(Text("through the interface"));
    EXPECT_EQ(assigned.Length(), 21);
    assigned.Append("!");
    EXPECT_EQ(assigned, "through the interface!");
}

TEST(TextBuffer, NeverWritesPastItsBlockWhateverItWasBuiltFrom) {
    // From the tail of a block that it then holds alone: the room is measured from the tail.
    TextBuffer tail(Text("0123456789012345678901234567890").Tail(20));
    EXPECT_EQ(tail.Length(), 11);
    EXPECT_EQ(tail.Capacity(), 16);
    tail.Append("abcdefghijklmnop");
    EXPECT_EQ(tail, "01234567890abcdefghijklmnop");

    // From a Format result and a scratch-backed argument: private copies at once, so relief of
    // the borrowed header cannot change the storage behind the cached capacity.
    const Text& formatted = Text::Format("%s", "ring");
    TextBuffer fromRing(formatted);
    EXPECT_NE(fromRing.c_str(), formatted.c_str());
    std::vector<Text> holders(12, formatted);
    fromRing.Append(std::string(900, 'r').c_str());
    EXPECT_EQ(fromRing.Length(), 904);

    BSTR wide = SysAllocStringLen(u"scratch", 7);
    {
        Text argument(wide);
        ASSERT_EQ(ScratchBuffers::FreeCount(), 2);
        TextBuffer fromScratch(argument);
        TextBuffer assigned;
        assigned = argument;
        fromScratch.Append("-more");
        assigned.Append("-other");
        EXPECT_EQ(fromScratch, "scratch-more");
        EXPECT_EQ(assigned, "scratch-other");
        EXPECT_EQ(argument, "scratch");
    }
    EXPECT_EQ(ScratchBuffers::FreeCount(), 3);
    SysFreeString(wide);
}

TEST(TextBuffer, MovesCarryTheCache) {
    TextBuffer source;
    source.Append("moved");
    TextBuffer target(std::move(source));
    EXPECT_EQ(target.Length(), 5);
    EXPECT_EQ(source.Length(), 0);
    EXPECT_EQ(source.Capacity(), 0);
    source.Append("fresh");
    EXPECT_EQ(source, "fresh");
    target = std::move(source);
    EXPECT_EQ(target, "fresh");
    EXPECT_EQ(target.Length(), 5);
    target.Append("er");
    EXPECT_EQ(target, "fresher");
}

} // namespace
