#include "support/TextTestSupport.h"
#include "text/TextBuffer.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

using Ostrel::Text;
using Ostrel::TextBuffer;
using Ostrel::Testing::HeapCalls;

std::string Bytes(const TextBuffer& buffer) {
    return std::string(buffer.c_str(), static_cast<size_t>(buffer.Length()));
}

TEST(TextBuffer, AppendingByteByByteReallocatesALogarithmicNumberOfTimes) {
    TextBuffer buffer;
    std::string expected;
    const uint64_t before = HeapCalls();
    for (int i = 0; i < 100000; ++i) {
        const char byte = static_cast<char>('a' + i % 26);
        buffer.Append(&byte, 1);
        expected += byte;
    }
    EXPECT_LE(HeapCalls() - before, 30u) << "growth by half again";
    EXPECT_EQ(Bytes(buffer), expected);
}

// Shared buffers are copied before a write by the cached length, so bytes after a NUL survive;
// appended bytes may come from the buffer itself.
TEST(TextBuffer, WritesCopyASharedBufferFirstWithEveryByte) {
    TextBuffer buffer;
    buffer.Append("a\0b", 3);
    const Text copy = buffer;
    TextBuffer second = buffer;
    buffer.Append(buffer.c_str(), 3);
    second.Append("!");
    EXPECT_EQ(Bytes(buffer), std::string("a\0ba\0b", 6));
    EXPECT_EQ(Bytes(second), std::string("a\0b!", 4));
    EXPECT_EQ(std::string(copy.c_str(), 4), std::string("a\0b", 4));

    const Text held = second;
    char* out = second.OpenTail(200);
    std::memset(out, 'z', 150);
    second.Extend(out + 150);
    EXPECT_EQ(Bytes(second), std::string("a\0b!", 4) + std::string(150, 'z'));
    const Text kept = second;
    second.Clear(true);
    second.Append("again");
    EXPECT_EQ(second, "again");
    EXPECT_EQ(std::string(held.c_str() + 2, 2), "b!");
    EXPECT_EQ(std::string(kept.c_str() + 4), std::string(150, 'z'));
}

// Built from a tail, a buffer has less room than its block. Built from a Format result, it takes
// a private copy at once: the relief of the ring's header (here at the tenth sharer) would give
// it a small block of its own behind the ring's cached room, and the asan build would see the
// append overrun it.
TEST(TextBuffer, NeverWritesPastItsBlockWhateverItWasBuiltFrom) {
    TextBuffer tail(Text("0123456789012345678901234567890").Tail(20));
    tail.Append("abcdefghijklmnop");
    EXPECT_EQ(tail, "01234567890abcdefghijklmnop");
    const Text& formatted = Text::Format("%s", "ring");
    TextBuffer fromRing(formatted);
    const std::vector<Text> holders(9, formatted.Tail(1));
    fromRing.Append(std::string(900, 'r').c_str());
    EXPECT_EQ(Bytes(fromRing), "ring" + std::string(900, 'r'));
}

} // namespace
