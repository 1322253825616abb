#include "support/TextTestSupport.h"
#include "text/ScratchBuffers.h"
#include "text/Text.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

namespace {

using Ostrel::ScratchBuffers;
using Ostrel::Text;
using Ostrel::Testing::AnsiSamples;
using Ostrel::Testing::BstrPtr;
using Ostrel::Testing::MakeBstr;

// The text holds every converted byte, in a scratch buffer exactly when they fit one, and the
// automation string made back from it holds every character.
void ExpectRoundTrip(const OleString& wide, const std::string& narrow) {
    SCOPED_TRACE(testing::Message() << wide.size() << " units");
    const BstrPtr source = MakeBstr(wide);
    const LONG freeBefore = ScratchBuffers::FreeCount();
    const Text text(source.get());
    EXPECT_EQ(std::string(text.c_str()), narrow);
    EXPECT_EQ(ScratchBuffers::FreeCount(), freeBefore - (narrow.size() < 500 ? 1 : 0));
    const BstrPtr back(text.ToBSTR());
    EXPECT_EQ(OleString(back.get(), SysStringLen(back.get())), wide);
}

TEST(TextConversion, EveryLengthClassRoundTripsAroundTheScratchLimit) {
    for (const auto& [wide, narrow] : AnsiSamples()) {
        for (size_t times : {1, 124, 125, 126, 165, 166, 167, 248, 249, 250, 498, 499, 500, 1000}) {
            OleString wides;
            std::string narrows;
            for (size_t i = 0; i < times; ++i) {
                wides += wide;
                narrows += narrow;
            }
            ExpectRoundTrip(wides, narrows);
        }
    }
    OleString mixedWide;
    std::string mixedNarrow;
    for (int i = 0; i < 240; ++i) {
        mixedWide += AnsiSamples()[i % AnsiSamples().size()].first;
        mixedNarrow += AnsiSamples()[i % AnsiSamples().size()].second;
        ExpectRoundTrip(mixedWide, mixedNarrow);
    }
    EXPECT_TRUE(Text(static_cast<BSTR>(nullptr)).IsEmpty());
    EXPECT_NE(BstrPtr(Text().ToBSTR()), nullptr) << "a zero-length string, not null";
}

TEST(TextConversion, LiveConversionsNeverShareAScratchBuffer) {
    const BstrPtr one = MakeBstr(OLESTR("one \u00e9"));
    const BstrPtr two = MakeBstr(OLESTR("two \u20ac"));
    auto first = std::make_unique<Text>(one.get());
    const Text second(two.get());
    const Text third(MakeBstr(OLESTR("three")).get());
    const Text fourth(MakeBstr(OLESTR("four \U0001F600")).get());
    EXPECT_EQ(ScratchBuffers::FreeCount(), 0);
    const Text keep = *first;
    first.reset();
    const Text fifth(MakeBstr(OLESTR("five")).get());
    Text assigned;
    assigned = MakeBstr(OLESTR("assigned")).get();
    EXPECT_EQ(ScratchBuffers::FreeCount(), 0) << "an assigned conversion takes no scratch buffer";
    // The bytes are the ANSI code page's: UTF-8 on Linux, a single-byte page on Windows.
    EXPECT_EQ(keep, ToAnsi(OLESTR("one \u00e9")).c_str());
    EXPECT_EQ(second, ToAnsi(OLESTR("two \u20ac")).c_str());
    EXPECT_EQ(third, "three");
    EXPECT_EQ(fourth, ToAnsi(OLESTR("four \U0001F600")).c_str());
    EXPECT_EQ(fifth, "five");
    EXPECT_EQ(assigned, "assigned");
}

} // namespace
