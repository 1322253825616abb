#include "support/TextTestSupport.h"
#include "text/ScratchBuffers.h"
#include "text/Text.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

namespace {

using Ostrel::ScratchBuffers;
using Ostrel::Text;
using Ostrel::Testing::BstrPtr;
using Ostrel::Testing::HeapCalls;
using Ostrel::Testing::MakeBstr;

// One character of every UTF-8 length class, as UTF-16 and as the bytes it must become.
struct Sample {
    std::u16string wide;
    std::string narrow;
};
const Sample kSamples[] = {{u"a", "a"},
                           {u"\u00e9", "\xC3\xA9"},
                           {u"\u20ac", "\xE2\x82\xAC"},
                           {u"\U0001F600", "\xF0\x9F\x98\x80"}};

void ExpectRoundTrip(const Sample& sample) {
    SCOPED_TRACE(testing::Message() << sample.wide.size() << " units");
    BstrPtr wide = MakeBstr(sample.wide);
    const LONG freeBefore = ScratchBuffers::FreeCount();
    {
        Text text(wide.get());
        EXPECT_EQ(std::string(text.c_str()), sample.narrow) << "nothing truncated";
        EXPECT_EQ(text.Length(), static_cast<LONG>(sample.narrow.size()));
        const bool fits = sample.wide.size() < 500 && sample.narrow.size() < 500;
        EXPECT_EQ(ScratchBuffers::FreeCount(), freeBefore - (fits ? 1 : 0))
            << "a scratch buffer only when the converted bytes and terminator fit";
        BstrPtr back(text.ToBSTR());
        ASSERT_EQ(SysStringLen(back.get()), sample.wide.size()) << "sized in characters";
        EXPECT_EQ(std::u16string(back.get(), sample.wide.size()), sample.wide);
        EXPECT_EQ(back.get()[sample.wide.size()], 0);
    }
    EXPECT_EQ(ScratchBuffers::FreeCount(), freeBefore);
}

TEST(TextConversion, EveryLengthClassRoundTripsAroundTheScratchLimit) {
    Sample mixed;
    for (const Sample& sample : kSamples) {
        for (size_t times : {1, 124, 125, 126, 165, 166, 167, 248, 249, 250, 498, 499, 500, 1000}) {
            Sample repeated;
            for (size_t i = 0; i < times; ++i) {
                repeated.wide += sample.wide;
                repeated.narrow += sample.narrow;
            }
            ExpectRoundTrip(repeated);
        }
    }
    for (int i = 0; i < 240; ++i) {
        mixed.wide += kSamples[i % 4].wide;
        mixed.narrow += kSamples[i % 4].narrow;
        ExpectRoundTrip(mixed);
    }
}

TEST(TextConversion, NullEmptyAndIllFormedStrings) {
    EXPECT_TRUE(Text(static_cast<BSTR>(nullptr)).IsEmpty());
    BstrPtr zero(Text().ToBSTR());
    ASSERT_NE(zero, nullptr) << "the empty text gives a zero-length string, not null";
    EXPECT_EQ(SysStringLen(zero.get()), 0u);
    EXPECT_EQ(std::string(Text(MakeBstr(u"x\xD800y").get()).c_str()), "x\xEF\xBF\xBDy");
    EXPECT_EQ(Text(MakeBstr(std::u16string(u"ab\0cd", 5)).get()), "ab");
    Text assigned("old");
    assigned = MakeBstr(u"assigned").get();
    EXPECT_EQ(assigned.ShareCount(), 1) << "assignment keeps a private copy, not a scratch one";
    EXPECT_EQ(ScratchBuffers::FreeCount(), 3);
}

TEST(TextConversion, ScratchBuffersAreNeverReusedWhileBorrowed) {
    ASSERT_EQ(ScratchBuffers::FreeCount(), 3);
    BstrPtr one = MakeBstr(u"one \u00e9");
    BstrPtr two = MakeBstr(u"two \u20ac");
    BstrPtr three = MakeBstr(u"three");
    auto first = std::make_unique<Text>(one.get());
    auto second = std::make_unique<Text>(two.get());
    Text third(three.get());
    EXPECT_EQ(ScratchBuffers::FreeCount(), 0);

    const uint64_t before = HeapCalls();
    Text fourth(MakeBstr(u"four \U0001F600").get());
    EXPECT_EQ(HeapCalls(), before + 1) << "a private buffer";
    EXPECT_EQ(std::string(fourth.c_str()), "four \xF0\x9F\x98\x80");

    Text keep = *second;
    second.reset();
    EXPECT_EQ(ScratchBuffers::FreeCount(), 1) << "the owner went, the buffer is free";
    Text fifth(MakeBstr(u"five").get());
    EXPECT_EQ(std::string(first->c_str()), "one \xC3\xA9");
    EXPECT_EQ(std::string(keep.c_str()), "two \xE2\x82\xAC") << "relieved before reuse";
    EXPECT_EQ(fifth, "five");
    third.Append("!");
    EXPECT_EQ(third, "three!");
    EXPECT_EQ(ScratchBuffers::FreeCount(), 1) << "a change copies and frees the buffer";
    first.reset();
    fifth = Text();
    EXPECT_EQ(ScratchBuffers::FreeCount(), 3);
}

} // namespace
