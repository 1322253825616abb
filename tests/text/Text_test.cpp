#include "support/TextTestSupport.h"
#include "text/GrowableArray.h"
#include "text/ScratchBuffers.h"
#include "text/Text.h"
#include "text/TextBuffer.h"
#include "text/Utf8Form.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <memory>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

namespace Ostrel::Testing {
namespace {

std::string Bytes(const TextBuffer& buffer) {
    return std::string(buffer.c_str(), static_cast<size_t>(buffer.Length()));
}

// Copies, assignments, moves and tails use the same characters and cost no heap call; every
// kind of write copies first and leaves the other sharers alone.
TEST(Text, CopiesShareWithoutAllocatingAndWritesCopyFirst) {
    Text original("value");
    const uint64_t before = HeapCalls();
    Text copy(original);
    Text assigned;
    assigned = original;
    Text moved(std::move(assigned));
    const Text tail = original.Tail(2);
    EXPECT_EQ(HeapCalls(), before);
    EXPECT_EQ(copy.c_str(), original.c_str());
    EXPECT_EQ(moved.c_str(), original.c_str());
    EXPECT_EQ(tail.c_str(), original.c_str() + 2);
    original.Append("s");
    copy.SetInteger(12);
    moved.Append(moved.c_str() + 1);
    assigned.Append("new");
    EXPECT_EQ(original, "values");
    EXPECT_EQ(copy, "12");
    EXPECT_EQ(moved, "valuealue");
    EXPECT_EQ(tail, "lue");
    EXPECT_EQ(assigned, "new");
    EXPECT_STREQ(Text().c_str(), "") << "appending never writes to the shared empty text";
}

TEST(TextDeathTest, ContractViolationsStopWithAMessage) {
    const Text text("abc");
    EXPECT_DEATH(text.Tail(4), "Tail offset");
    EXPECT_DEATH(text.Mid(4, 10), "Mid range");
    EXPECT_DEATH(Text().SetInteger(1, 37), "radix");
    GrowableArray<int> array;
    array.Append(1);
    EXPECT_DEATH(array[1] = 0, "index out of range");
    EXPECT_DEATH(array.Resize(1, 2), "position out of range");
}

// A borrowed buffer is shared by up to nine copies; the tenth sharer, and the owner's going, give
// the copies buffers of their own. The header lists the addresses of its sharers, so an array
// moves texts by their own move operations: moved bitwise, the list would point at their old
// places and relief would write there instead of into the texts. Growing an array past the
// largest count throws and keeps it.
TEST(Text, BorrowedTextsAreRelievedAtTheTenthSharerAndWhenTheOwnerGoes) {
    char outside[] = "outside value";
    GrowableArray<Text> texts(2);
    texts.Resize(1);
    texts[0].Adopt(outside, static_cast<LONG>(std::strlen(outside)));
    // Each sharer is appended, then every text of the array moves up and back down.
    for (int i = 1; i < 10; ++i) {
        texts.Append(texts[0]);
        texts.Resize(1, 0);
        texts.Resize(-1, 0);
        EXPECT_EQ(texts[i].c_str() == outside, i < 9) << "sharer " << i + 1;
    }
    EXPECT_EQ(texts[0].c_str(), outside) << "the owner keeps its buffer";
    for (int i = 1; i < 10; ++i) {
        EXPECT_EQ(texts[i], "outside value");
        EXPECT_NE(texts[i].c_str(), outside);
    }
    texts.Append(texts[0].Tail(8));
    texts.Resize(1, 0);
    texts.Resize(-1, 0);
    texts.Resize(-1, 0);
    std::memset(outside, '#', sizeof(outside) - 1);
    EXPECT_EQ(texts[9], "value") << "nobody reads the outside buffer any more";
    EXPECT_THROW(texts.Resize(INT32_MAX), std::length_error);
    EXPECT_EQ(texts.Count(), 10);
}

// Borrowed headers live in a compacting pool: when one moves, its sharers follow it.
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

// Every result keeps its value for five further calls, also while the results before it are
// held; each retry in a larger buffer formats from its own copy of the arguments.
TEST(TextFormat, AResultLastsFiveCallsAndOneHeldIsNeverOverwritten) {
    std::vector<Text> kept;
    for (int i = 0; i < 12; ++i) {
        kept.push_back(Text::Format("kept %d", i));
    }
    for (int i = 0; i < 12; ++i) {
        EXPECT_EQ(kept[i], ("kept " + std::to_string(i)).c_str());
    }
    const Text& fresh = Text::Format("fresh");
    kept.clear();
    for (int i = 0; i < 4; ++i) {
        Text::Format("filler %d", i);
    }
    EXPECT_EQ(fresh, "fresh");
    const std::string x(3000, 'x');
    EXPECT_EQ(std::string(Text::Format("[%s|%s|%d]", x.c_str(), x.c_str(), 42).c_str()),
              "[" + x + "|" + x + "|42]");
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

// utf8.txt: one case a line, BYTES valid|invalid [WESTERN]. Validity is checked after every ASCII
// run of 0 to 16 bytes, since ASCII is scanned eight bytes at a time; the conversion where the
// ANSI page is the Western one (Windows in English, Wine).
TEST(Utf8Form, HeldBytesAsTheTableSays) {
    std::ifstream table(PRAVELL_TEST_DATA "/text/utf8.txt");
    ASSERT_TRUE(table.is_open());
    for (std::string row; std::getline(table, row);) {
        std::istringstream words(row);
        std::string bytes[2], word; // held, and as UTF-8 read in the Western page
        bool valid = false;
        for (int part = 0; words >> word && word[0] != '#';) {
            if (word == "valid" || word == "invalid") {
                valid = word == "valid";
                part = 1;
            } else {
                bytes[part] += static_cast<char>(std::stoi(word, nullptr, 16));
            }
        }
        for (size_t ascii = 0; !bytes[0].empty() && ascii <= 16; ++ascii) {
            const std::string text = std::string(ascii, 'a') + bytes[0];
            EXPECT_EQ(IsUtf8(text.data(), text.size()), valid) << row << " after " << ascii;
        }
        if (GetACP() == 1252 && !bytes[1].empty()) {
            const Text utf8 = Utf8FromAnsi(bytes[0].data(), static_cast<LONG>(bytes[0].size()));
            EXPECT_EQ(std::string(utf8.c_str()), bytes[1]) << row;
        }
    }
}

// Runs of one character of each UTF-8 length class around the scratch limit, and runs mixing
// them: the text holds every converted byte, in a scratch buffer exactly when they fit one, and
// the automation string made back from it holds every character. Three conversions alive at
// once hold the three scratch buffers; a fourth and an assigned one take heap blocks, and a
// buffer given back serves the next.
TEST(TextConversion, EveryLengthClassRoundTripsAndLiveConversionsNeverShareAScratchBuffer) {
    std::vector<std::pair<OleString, std::string>> runs;
    for (const auto& [wide, narrow] : AnsiSamples()) {
        for (size_t times : {1, 124, 125, 126, 165, 166, 167, 248, 249, 250, 498, 499, 500, 1000}) {
            runs.emplace_back();
            for (size_t i = 0; i < times; ++i) {
                runs.back().first += wide;
                runs.back().second += narrow;
            }
        }
    }
    std::pair<OleString, std::string> mixed;
    for (size_t i = 0; i < 240; ++i) {
        mixed.first += AnsiSamples()[i % AnsiSamples().size()].first;
        mixed.second += AnsiSamples()[i % AnsiSamples().size()].second;
        runs.push_back(mixed);
    }
    for (const auto& [wide, narrow] : runs) {
        SCOPED_TRACE(testing::Message() << wide.size() << " units");
        const LONG freeBefore = ScratchBuffers::FreeCount();
        const Text text(MakeBstr(wide).get());
        EXPECT_EQ(std::string(text.c_str()), narrow);
        EXPECT_EQ(ScratchBuffers::FreeCount(), freeBefore - (narrow.size() < 500 ? 1 : 0));
        EXPECT_EQ(BstrText(BstrPtr(text.ToBSTR()).get()), wide);
    }
    EXPECT_TRUE(Text(static_cast<BSTR>(nullptr)).IsEmpty());
    EXPECT_NE(BstrPtr(Text().ToBSTR()), nullptr) << "a zero-length string, not null";
    const OleString values[] = {OLESTR("one \u00e9"), OLESTR("two \u20ac"), OLESTR("three"),
                                OLESTR("four \U0001F600"), OLESTR("five")};
    std::vector<std::unique_ptr<Text>> texts;
    for (const OleString& value : values) {
        texts.push_back(std::make_unique<Text>(MakeBstr(value).get()));
        if (texts.size() == 4) {
            EXPECT_EQ(ScratchBuffers::FreeCount(), 0);
            texts[0].reset();
        }
    }
    Text assigned;
    assigned = MakeBstr(OLESTR("assigned")).get();
    EXPECT_EQ(ScratchBuffers::FreeCount(), 0) << "an assigned conversion takes no scratch buffer";
    EXPECT_EQ(assigned, "assigned");
    for (size_t i = 1; i < texts.size(); ++i) {
        // The bytes are the ANSI code page's: UTF-8 on Linux, a single-byte page on Windows.
        EXPECT_EQ(*texts[i], ToAnsi(values[i]).c_str());
    }
    // As UTF-8: the ANSI form when that is UTF-8 (the characters of UTF-8 bytes on a single-byte
    // page), else the string's own UTF-8, re-measured (three bytes for a unit held in one).
    const std::pair<OleString, std::string> strings[] = {
        {OLESTR("<a>\u20ac\u20ac\u00e9</a>"), "<a>\xE2\x82\xAC\xE2\x82\xAC\xC3\xA9</a>"},
        {OleString(1, 0xD800) + OLESTR("\u00e9"), "\xEF\xBF\xBD\xC3\xA9"}};
    for (const auto& [wide, utf8] : strings) {
        EXPECT_EQ(std::string(Utf8FromAutomationString(MakeBstr(wide).get(), true).c_str()), utf8);
    }
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

// A shared buffer is copied before a write (an append, or a Clear that keeps the room) by its
// cached length, so bytes after a NUL survive and the other sharers keep theirs; appended bytes
// may come from the buffer itself. Built from a tail, a buffer has less room than its block.
// Built from a Format result, it takes a private copy at once: the relief of the ring's header
// (here at the tenth sharer) would give it a small block of its own behind the ring's cached
// room, and the asan build would see the append overrun it.
TEST(TextBuffer, WritesCopyASharedBufferFirstAndNeverPassTheBlock) {
    TextBuffer buffer;
    buffer.Append("a\0b", 3);
    TextBuffer second = buffer;
    buffer.Append(buffer.c_str(), 3);
    second.Append("!");
    EXPECT_EQ(Bytes(buffer), std::string("a\0ba\0b", 6));
    EXPECT_EQ(Bytes(second), std::string("a\0b!", 4));
    const Text kept = second;
    second.Clear(true);
    second.Append("again");
    EXPECT_EQ(second, "again");
    EXPECT_EQ(std::string(kept.c_str() + 2, 2), "b!");
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
} // namespace Ostrel::Testing
