#include "support/TextTestSupport.h"
#include "text/GrowableArray.h"
#include "text/Text.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

using Ostrel::GrowableArray;
using Ostrel::Text;
using Ostrel::Testing::HeapCalls;

std::vector<int> Values(const GrowableArray<int>& array) {
    return std::vector<int>(array.begin(), array.end());
}

void AppendRange(GrowableArray<int>& array, int count) {
    for (int i = 0; i < count; ++i) {
        array.Append(i);
    }
}

TEST(GrowableArray, GrowsInWholeStepsAndShrinksOnlyWhenTwoStepsLieIdle) {
    GrowableArray<int> array(10);
    const uint64_t before = HeapCalls();
    std::vector<LONG> storages;
    for (int i = 0; i < 25; ++i) {
        array.Append(i);
        if (storages.empty() || storages.back() != array.Storage()) {
            storages.push_back(array.Storage());
        }
    }
    EXPECT_EQ(HeapCalls() - before, 3u);
    EXPECT_EQ(storages, (std::vector<LONG>{10, 20, 30}));

    array.Resize(-20);
    EXPECT_EQ(array.Spare(), 15) << "25 idle become one step plus the remainder";
    EXPECT_EQ(array.Storage(), 20);
    const uint64_t steady = HeapCalls();
    array.Resize(-1);
    array.Append(4);
    EXPECT_EQ(HeapCalls(), steady);
    EXPECT_EQ(Values(array), (std::vector<int>{0, 1, 2, 3, 4}));
}

TEST(GrowableArray, InsertionsAndRemovalsAtAPosition) {
    GrowableArray<int> middle(10);
    AppendRange(middle, 25);
    middle.Resize(-20, 2);
    EXPECT_EQ(Values(middle), (std::vector<int>{0, 1, 22, 23, 24}));
    middle.Resize(2, 1);
    middle[1] = 8;
    middle[2] = 9;
    EXPECT_EQ(Values(middle), (std::vector<int>{0, 8, 9, 1, 22, 23, 24}));

    GrowableArray<int> tail(10);
    AppendRange(tail, 6);
    tail.Resize(-10, 4);
    EXPECT_EQ(Values(tail), (std::vector<int>{0, 1, 2, 3})) << "cut to what follows position";
    tail.Resize(-9, -1);
    EXPECT_EQ(tail.Count(), 0) << "more than there are removes all of them";
}

// Element type that keeps count of its lives and refuses to be copied bitwise: it knows its
// own address, as a text that shares a borrowed header is known to it.
struct Tracked {
    static int alive;
    Tracked* self;
    int value;
    Tracked() : self(this), value(-1) { ++alive; }
    Tracked(Tracked&& other) noexcept : self(this), value(other.value) {
        EXPECT_EQ(other.self, &other) << "relocated bitwise";
        ++alive;
    }
    Tracked& operator=(Tracked&& other) noexcept {
        value = other.value;
        return *this;
    }
    ~Tracked() {
        EXPECT_EQ(self, this) << "relocated bitwise";
        --alive;
    }
};
int Tracked::alive = 0;

TEST(GrowableArray, ClassElementsAreConstructedMovedAndReleased) {
    {
        GrowableArray<Tracked> array(4);
        for (int i = 0; i < 30; ++i) {
            array.Resize(1, i / 2);
            array[i / 2].value = i;
            EXPECT_EQ(Tracked::alive, array.Count());
        }
        array.Resize(-7, 3);
        EXPECT_EQ(Tracked::alive, 23);
        array.SetSize(25, 30);
        EXPECT_EQ(array[24].value, -1) << "inserted elements are constructed empty";
        array.SetSize(2, 2);
        EXPECT_EQ(Tracked::alive, 2);
    }
    EXPECT_EQ(Tracked::alive, 0);

    char outside[] = "borrowed";
    GrowableArray<Text> texts(2);
    texts.Resize(1);
    texts[0].Adopt(outside, 8);
    for (int i = 0; i < 7; ++i) {
        texts.Append(texts[0]);
        texts.Resize(1, 0);
        texts.Resize(-1, 0);
    }
    EXPECT_EQ(texts[7].ShareCount(), 8);
    texts.Resize(-1, 0);
    for (const Text& text : texts) {
        EXPECT_EQ(text, "borrowed") << "the owner went first; the copies were relieved";
        EXPECT_NE(text.c_str(), outside);
    }
}

TEST(GrowableArrayDeathTest, OutOfRangeAccessStopsWithAMessage) {
    GrowableArray<int> array(10);
    AppendRange(array, 5);
    EXPECT_DEATH(array[5] = 0, "index out of range");
    EXPECT_DEATH(array.Resize(1, 6), "position out of range");
    EXPECT_DEATH(array.SetSize(4, 3), "SetSize");
    EXPECT_DEATH(GrowableArray<int>(0), "growth step");
}

} // namespace
