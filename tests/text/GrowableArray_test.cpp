#include "support/TextTestSupport.h"
#include "text/GrowableArray.h"
#include "text/Text.h"

#include <gtest/gtest.h>

#include <climits>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

using Ostrel::GrowableArray;
using Ostrel::Text;
using Ostrel::Testing::Strings;

using Values = std::vector<std::string>;

TEST(GrowableArray, InsertionsAndRemovalsKeepTheOrderOfTexts) {
    GrowableArray<Text> texts(4);
    for (int i = 0; i < 25; ++i) {
        texts.Append(Text(std::to_string(i).c_str()));
    }
    texts.Resize(-20, 2);
    texts.Resize(2, 1);
    texts[1] = "a";
    texts[2] = "b";
    texts.Resize(-10, 6);
    EXPECT_EQ(Strings(texts), (Values{"0", "a", "b", "1", "22", "23"}));
    texts.Resize(-100);
    EXPECT_TRUE(texts.IsEmpty()) << "more than there are removes all of them";
}

// A borrowed header lists the addresses of its sharers: moving one bitwise would leave the list
// pointing at its old place, and relief would write there instead of into the text.
TEST(GrowableArray, TextsAreMovedByConstructionSoTheirBorrowedHeaderFindsThem) {
    char outside[] = "borrowed";
    GrowableArray<Text> texts(2);
    texts.Resize(1);
    texts[0].Adopt(outside, 8);
    for (int i = 0; i < 7; ++i) {
        texts.Append(texts[0]);
        texts.Resize(1, 0);
        texts.Resize(-1, 0);
    }
    texts.Resize(-1, 0);
    ASSERT_EQ(texts.Count(), 7);
    for (const Text& text : texts) {
        EXPECT_EQ(text, "borrowed") << "the owner went first; the copies were relieved";
        EXPECT_NE(text.c_str(), outside);
    }
}

TEST(GrowableArray, GrowthPastTheLargestCountThrowsAndKeepsTheArray) {
    GrowableArray<Text> texts;
    texts.Append(Text("kept"));
    EXPECT_THROW(texts.Resize(INT32_MAX), std::length_error);
    EXPECT_EQ(Strings(texts), Values{"kept"});
}

TEST(GrowableArrayDeathTest, AnIndexOrPositionOutOfRangeStopsTheProcess) {
    GrowableArray<int> array;
    array.Append(1);
    EXPECT_DEATH(array[1] = 0, "index out of range");
    EXPECT_DEATH(array.Resize(1, 2), "position out of range");
}

} // namespace
