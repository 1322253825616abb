#include "host/AutomationText.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using Ostrel::Bstr;
using Ostrel::ToUtf8;

// Characters outside the basic plane take two UTF-16 units; a NUL is a character like any other.
TEST(AutomationText, Utf8SurvivesTheRoundTripWhole) {
    const std::string text("caf\xC3\xA9 \xF0\x9F\x8E\xBB\0end", 14);
    const Bstr automation(text);
    EXPECT_EQ(SysStringLen(automation), 11u);
    EXPECT_EQ(ToUtf8(automation), text);
    EXPECT_EQ(ToUtf8(Bstr("")), "");
    EXPECT_EQ(ToUtf8(nullptr), "");
}

} // namespace
