#include "text/BlockMemory.h"
#include "text/Text.h"
#include "text/TextPrinting.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

using Ostrel::BlockMemory;
using Ostrel::Text;

std::string Numbered(const char* prefix, int i) {
    return prefix + std::to_string(i);
}

TEST(TextFormat, FormatsLikePrintfIntoReusedBuffers) {
    EXPECT_EQ(Text::Format("XML Parse failed: %s (Line: %d, Column: %d)", "syntax error", 3, 14),
              "XML Parse failed: syntax error (Line: 3, Column: 14)");
    EXPECT_EQ(Text::Format("%s", ""), "");
    for (int i = 0; i < 5; ++i) {
        Text::Format("warm %d", i);
    }
    const uint64_t before = BlockMemory::GetCounters().allocations;
    for (int i = 0; i < 20; ++i) {
        char expected[32];
        std::snprintf(expected, sizeof(expected), "%05d|%x", i, i * 255);
        EXPECT_EQ(Text::Format("%05d|%x", i, i * 255), expected);
    }
    EXPECT_EQ(BlockMemory::GetCounters().allocations, before)
        << "results of up to 1024 characters reuse the ring";
}

TEST(TextFormat, AHeldResultIsNeverOverwritten) {
    const Text held = Text::Format("first %d", 1);
    for (int i = 0; i < 6; ++i) {
        EXPECT_EQ(Text::Format("later %d", i), Numbered("later ", i).c_str());
        EXPECT_EQ(held, "first 1");
    }

    // Holding more results than the ring has: the spare is held too and gets a fresh buffer
    // each time, while its holders keep the old one.
    std::vector<Text> kept;
    for (int i = 0; i < 12; ++i) {
        kept.push_back(Text::Format("kept %d", i));
    }
    for (int i = 0; i < 12; ++i) {
        EXPECT_EQ(kept[i], Numbered("kept ", i).c_str());
    }
    EXPECT_EQ(held, "first 1");

    // An unheld result is overwritten only after five further calls.
    const Text& fresh = Text::Format("fresh");
    kept.clear();
    for (int i = 0; i < 4; ++i) {
        Text::Format("filler %d", i);
    }
    EXPECT_EQ(fresh, "fresh");
}

TEST(TextFormat, ResultsOfAnyLengthAreComplete) {
    const std::string long1(3000, 'x');
    const std::string long2(5000, 'y');
    const Text& result = Text::Format("[%s|%s|%d]", long1.c_str(), long2.c_str(), 42);
    EXPECT_EQ(std::string(result.c_str()), "[" + long1 + "|" + long2 + "|42]")
        << "each retry formats from its own copy of the arguments";
    EXPECT_EQ(Text::Format("%1024d", 7).Length(), 1024);
    EXPECT_EQ(Text::Format("%1025d", 7).Length(), 1025);
    for (int i = 0; i < 10; ++i) {
        const Text longOne = Text::Format("%d%s", i, long1.c_str());
        EXPECT_EQ(longOne.Length(), 3001);
        EXPECT_EQ(Text::Format("short %d", i), Numbered("short ", i).c_str());
        EXPECT_EQ(longOne.c_str()[0], '0' + i);
    }
}

} // namespace
