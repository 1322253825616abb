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
using Ostrel::Testing::kUtf8Samples;
using Ostrel::Testing::MakeBstr;

// The text holds every converted byte, in a scratch buffer exactly when they fit one, and the
// automation string made back from it holds every character.
void ExpectRoundTrip(const std::u16string& wide, const std::string& narrow) {
    SCOPED_TRACE(testing::Message() << wide.size() << " units");
    const BstrPtr source = MakeBstr(wide);
    const LONG freeBefore = ScratchBuffers::FreeCount();
    const Text text(source.get());
    EXPECT_EQ(std::string(text.c_str()), narrow);
    EXPECT_EQ(ScratchBuffers::FreeCount(), freeBefore - (narrow.size() < 500 ? 1 : 0));
    const BstrPtr back(text.ToBSTR());
    EXPECT_EQ(std::u16string(back.get(), SysStringLen(back.get())), wide);
}

TEST(TextConversion, EveryLengthClassRoundTripsAroundTheScratchLimit) {
    for (const auto& [wide, narrow] : kUtf8Samples) {
        for (size_t times : {1, 124, 125, 126, 165, 166, 167, 248, 249, 250, 498, 499, 500, 1000}) {
            std::u16string wides;
            std::string narrows;
            for (size_t i = 0; i < times; ++i) {
                wides += wide;
                narrows += narrow;
            }
            ExpectRoundTrip(wides, narrows);
        }
    }
    std::u16string mixedWide;
    std::string mixedNarrow;
    for (int i = 0; i < 240; ++i) {
        mixedWide += kUtf8Samples[i % 4].first;
        mixedNarrow += kUtf8Samples[i % 4].second;
        ExpectRoundTrip(mixedWide, mixedNarrow);
    }
    EXPECT_TRUE(Text(static_cast<BSTR>(nullptr)).IsEmpty());
    EXPECT_NE(BstrPtr(Text().ToBSTR()), nullptr) << "a zero-length string, not null";
}

TEST(TextConversion, LiveConversionsNeverShareAScratchBuffer) {
    const BstrPtr one = MakeBstr(u"one \u00e9");
    const BstrPtr two = MakeBstr(u"two \u20ac");
    auto first = std::make_unique<Text>(one.get());
    const Text second(two.get());
    const Text third(MakeBstr(u"three").get());
    const Text fourth(MakeBstr(u"four \U0001F600").get());
    EXPECT_EQ(ScratchBuffers::FreeCount(), 0);
    const Text keep = *first;
    first.reset();
    const Text fifth(MakeBstr(u"five").get());
    Text assigned;
    assigned = MakeBstr(u"assigned").get();
    EXPECT_EQ(ScratchBuffers::FreeCount(), 0) << "an assigned conversion takes no scratch buffer";
    EXPECT_EQ(keep, "one \xC3\xA9");
    EXPECT_EQ(second, "two \xE2\x82\xAC");
    EXPECT_EQ(third, "three");
    EXPECT_EQ(fourth, "four \xF0\x9F\x98\x80");
    EXPECT_EQ(fifth, "five");
    EXPECT_EQ(assigned, "assigned");
}

} // namespace
