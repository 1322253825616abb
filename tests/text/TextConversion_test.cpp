#include "text/BlockMemory.h"
#include "text/ScratchBuffers.h"
#include "text/Text.h"
#include "text/TextPrinting.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace {

using Ostrel::BlockMemory;
using Ostrel::ScratchBuffers;
using Ostrel::Text;

struct BstrDeleter {
    void operator()(OLECHAR* text) const { SysFreeString(text); }
};
using Bstr = std::unique_ptr<OLECHAR, BstrDeleter>;

Bstr MakeBstr(const std::u16string& text) {
    return Bstr(SysAllocStringLen(text.data(), static_cast<UINT>(text.size())));
}

// One character of every UTF-8 length class, as UTF-16 and as the bytes it must become.
struct Sample {
    std::u16string wide;
    std::string narrow;
};
const Sample kOneByte = {u"a", "a"};
const Sample kTwoBytes = {u"\u00e9", "\xC3\xA9"};
const Sample kThreeBytes = {u"\u20ac", "\xE2\x82\xAC"};
const Sample kSurrogatePair = {u"\U0001F600", "\xF0\x9F\x98\x80"};

Sample Repeat(const Sample& sample, size_t times) {
    Sample result;
    for (size_t i = 0; i < times; ++i) {
        result.wide += sample.wide;
        result.narrow += sample.narrow;
    }
    return result;
}

void ExpectRoundTrip(const Sample& sample) {
    SCOPED_TRACE(testing::Message()
                 << sample.wide.size() << " units, " << sample.narrow.size() << " bytes");
    Bstr wide = MakeBstr(sample.wide);
    const LONG freeBefore = ScratchBuffers::FreeCount();
    {
        Text text(wide.get());
        EXPECT_EQ(std::string(text.c_str()), sample.narrow) << "nothing truncated";
        EXPECT_EQ(text.Length(), static_cast<LONG>(sample.narrow.size()));
        const bool fits = sample.wide.size() < 500 && sample.narrow.size() < 500;
        EXPECT_EQ(ScratchBuffers::FreeCount(), freeBefore - (fits ? 1 : 0))
            << "a scratch buffer only when the converted bytes and terminator fit";

        Bstr back(text.ToBSTR());
        ASSERT_NE(back, nullptr);
        ASSERT_EQ(SysStringLen(back.get()), sample.wide.size()) << "sized in characters";
        EXPECT_EQ(std::u16string(back.get(), sample.wide.size()), sample.wide);
        EXPECT_EQ(back.get()[sample.wide.size()], 0);
    }
    EXPECT_EQ(ScratchBuffers::FreeCount(), freeBefore);
}

TEST(TextConversion, EveryLengthClassRoundTripsAroundTheScratchLimit) {
    for (const Sample* sample : {&kOneByte, &kTwoBytes, &kThreeBytes, &kSurrogatePair}) {
        for (size_t times : {1, 2, 3, 98, 124, 125, 126, 165, 166, 167, 248, 249, 250, 251, 498,
                             499, 500, 501, 1000}) {
            ExpectRoundTrip(Repeat(*sample, times));
        }
    }
    Sample mixed;
    for (int i = 0; i < 60; ++i) {
        for (const Sample* sample : {&kOneByte, &kTwoBytes, &kThreeBytes, &kSurrogatePair}) {
            mixed.wide += sample->wide;
            mixed.narrow += sample->narrow;
            ExpectRoundTrip(mixed);
        }
    }
}

TEST(TextConversion, NullEmptyAndIllFormedStrings) {
    EXPECT_TRUE(Text(static_cast<BSTR>(nullptr)).IsEmpty());
    Bstr empty = MakeBstr(u"");
    EXPECT_TRUE(Text(empty.get()).IsEmpty());
    EXPECT_EQ(ScratchBuffers::FreeCount(), 3);

    Bstr zero(Text().ToBSTR());
    ASSERT_NE(zero, nullptr) << "the empty text gives a zero-length string, not null";
    EXPECT_EQ(SysStringLen(zero.get()), 0u);
    EXPECT_EQ(zero.get()[0], 0);

    Bstr lone = MakeBstr(u"x\xD800y");
    EXPECT_EQ(std::string(Text(lone.get()).c_str()), "x\xEF\xBF\xBDy") << "replacement character";

    Bstr embedded = MakeBstr(std::u16string(u"ab\0cd", 5));
    EXPECT_EQ(Text(embedded.get()), "ab") << "the value ends at the first NUL";
}

TEST(TextConversion, ScratchBuffersAreNeverReusedWhileBorrowed) {
    ASSERT_EQ(ScratchBuffers::FreeCount(), 3);
    Bstr one = MakeBstr(u"one \u00e9");
    Bstr two = MakeBstr(u"two \u20ac");
    Bstr three = MakeBstr(u"three");
    Bstr four = MakeBstr(u"four \U0001F600");
    Bstr five = MakeBstr(u"five");

    auto first = std::make_unique<Text>(one.get());
    auto second = std::make_unique<Text>(two.get());
    Text third(three.get());
    EXPECT_EQ(ScratchBuffers::FreeCount(), 0);

    const uint64_t before = BlockMemory::GetCounters().allocations;
    Text fourth(four.get());
    EXPECT_EQ(BlockMemory::GetCounters().allocations, before + 1) << "a private buffer";
    EXPECT_EQ(std::string(fourth.c_str()), "four \xF0\x9F\x98\x80");

    Text keep = *second;
    second.reset();
    EXPECT_EQ(ScratchBuffers::FreeCount(), 1) << "the owner went, the buffer is free";
    Text fifth(five.get());
    EXPECT_EQ(ScratchBuffers::FreeCount(), 0);
    EXPECT_EQ(std::string(first->c_str()), "one \xC3\xA9");
    EXPECT_EQ(std::string(keep.c_str()), "two \xE2\x82\xAC") << "relieved before reuse";
    EXPECT_EQ(third, "three");
    EXPECT_EQ(fifth, "five");

    // A change copies the value first and frees the scratch buffer.
    third.Append("!");
    EXPECT_EQ(third, "three!");
    EXPECT_EQ(ScratchBuffers::FreeCount(), 1);
    first.reset();
    fifth = Text();
    EXPECT_EQ(ScratchBuffers::FreeCount(), 3);
}

TEST(TextConversion, AssignmentFromAnAutomationStringKeepsAPrivateCopy) {
    Bstr wide = MakeBstr(u"assigned \u00e9");
    Text text("old");
    text = wide.get();
    EXPECT_EQ(std::string(text.c_str()), "assigned \xC3\xA9");
    EXPECT_EQ(ScratchBuffers::FreeCount(), 3);
    EXPECT_EQ(text.ShareCount(), 1);
    text = static_cast<BSTR>(nullptr);
    EXPECT_TRUE(text.IsEmpty());
}

TEST(TextConversion, ClassIdentifierInRegistryForm) {
    const CLSID model = {
        0x4F8D6B61, 0xFE7A, 0x4364, {0xA0, 0x02, 0x4A, 0xC1, 0x2B, 0xCD, 0x31, 0xB3}};
    EXPECT_EQ(Text::FromCLSID(model), "{4F8D6B61-FE7A-4364-A002-4AC12BCD31B3}");
    EXPECT_EQ(Text::FromCLSID(GUID_NULL), "{00000000-0000-0000-0000-000000000000}");
}

} // namespace
