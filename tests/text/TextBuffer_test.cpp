#include "support/TextTestSupport.h"
#include "text/ScratchBuffers.h"
#include "text/TextBuffer.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

using Ostrel::ScratchBuffers;
using Ostrel::Text;
using Ostrel::TextBuffer;
using Ostrel::Testing::BstrPtr;
using Ostrel::Testing::HeapCalls;
using Ostrel::Testing::MakeBstr;

std::string Bytes(const TextBuffer& buffer) {
    return std::string(buffer.c_str(), static_cast<size_t>(buffer.Length()));
}

TEST(TextBuffer, GrowsByHalfAgainWithALogarithmicNumberOfReallocations) {
    TextBuffer buffer;
    buffer.Append("0123456789");
    EXPECT_EQ(buffer.Capacity(), 15) << "(length + n) + (length + n) / 2";
    const uint64_t before = HeapCalls();
    std::string expected = Bytes(buffer);
    for (int i = 0; i < 100000; ++i) {
        buffer.Append("x", 1);
        expected += 'x';
    }
    EXPECT_LE(HeapCalls() - before, 25u);
    EXPECT_EQ(Bytes(buffer), expected);
    EXPECT_EQ(static_cast<size_t>(Text(buffer).Length()), expected.size());
}

TEST(TextBuffer, AppendsAndInPlaceWritesTakeExactlyTheirBytes) {
    TextBuffer buffer;
    buffer.Append("abcdef", 3);
    buffer.Append(nullptr);
    buffer.AppendRepeated(' ', 3);
    buffer.AppendRepeated('x', -4);
    buffer.Append("end", -1);
    buffer.Append(buffer.c_str(), 3);
    EXPECT_EQ(Bytes(buffer), "abc   endabc");

    const Text shared = buffer;
    char* out = buffer.OpenTail(200);
    std::memset(out, 'z', 150);
    buffer.Extend(out + 150);
    EXPECT_EQ(shared, "abc   endabc") << "the buffer was copied before it was written";
    EXPECT_EQ(Bytes(buffer), "abc   endabc" + std::string(150, 'z'));

    const LONG capacity = buffer.Capacity();
    const char* at = buffer.c_str();
    buffer.Clear(true);
    EXPECT_EQ(buffer.c_str(), at) << "the buffer is kept";
    buffer.Append("again");
    Text held = buffer;
    buffer.Clear(true);
    EXPECT_EQ(held, "again") << "a shared buffer is not emptied under its other holders";
    EXPECT_EQ(buffer.Capacity(), capacity);
    buffer.Clear(false);
    EXPECT_EQ(buffer.c_str(), Text().c_str());
}

TEST(TextBuffer, CopiesKeepTheirValueAndBytesAfterANulSurviveCopyOnWrite) {
    TextBuffer buffer;
    buffer.Append("a\0b", 3);
    Text copy = buffer;
    TextBuffer second = buffer;
    buffer.Append("c\0d", 3);
    EXPECT_EQ(Bytes(buffer), std::string("a\0bc\0d", 6)) << "copied by length, not by scan";
    EXPECT_EQ(std::string(copy.c_str()), "a");
    second.Append("!");
    EXPECT_EQ(Bytes(second), std::string("a\0b!", 4));
}

TEST(TextBuffer, NeverWritesPastItsBlockWhateverItWasBuiltFrom) {
    TextBuffer tail(Text("0123456789012345678901234567890").Tail(20));
    EXPECT_EQ(tail.Capacity(), 16) << "the room is measured from the tail";
    tail.Append("abcdefghijklmnop");
    EXPECT_EQ(tail, "01234567890abcdefghijklmnop");

    // A Format result and a scratch-backed argument are copied at once, so relief of the
    // borrowed header cannot change the storage behind the cached capacity.
    const Text& formatted = Text::Format("%s", "ring");
    TextBuffer fromRing(formatted);
    std::vector<Text> holders(12, formatted);
    fromRing.Append(std::string(900, 'r').c_str());
    EXPECT_EQ(fromRing.Length(), 904);
    BstrPtr wide = MakeBstr(u"scratch");
    {
        Text argument(wide.get());
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
}

} // namespace
