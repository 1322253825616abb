// Drives texts through every kind of storage (private, shared, tails, scratch-backed
// conversions, Format results, adopted buffers, relief, pool compaction, array relocation and
// sorting) side by side with std::string and compares after every step.
#include "support/TextTestSupport.h"
#include "text/GrowableArray.h"
#include "text/ScratchBuffers.h"
#include "text/Text.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <deque>
#include <random>
#include <string>
#include <vector>

namespace {

using Ostrel::GrowableArray;
using Ostrel::ScratchBuffers;
using Ostrel::Text;

struct Piece {
    std::u16string wide;
    std::string narrow;
};
const Piece kPieces[] = {{u"a", "a"},
                         {u"Z", "Z"},
                         {u" ", " "},
                         {u"\u00e9", "\xC3\xA9"},
                         {u"\u20ac", "\xE2\x82\xAC"},
                         {u"\U0001F600", "\xF0\x9F\x98\x80"}};

class Driver {
public:
    explicit Driver(unsigned seed) : random(seed) {}

    void Step() {
        const int operation = Pick(12);
        if (values.empty() || operation == 0) {
            std::string value = RandomAscii();
            Insert(Text(value.c_str()), value);
            return;
        }
        const LONG from = Any();
        const LONG to = Any();
        const std::string value = values[from];
        const LONG length = static_cast<LONG>(value.size());
        switch (operation) {
        case 1:
            for (int copies = 1 + Pick(4); copies > 0; --copies) {
                const std::string same = values[from];
                Insert(Text(texts[from]), same);
            }
            break;
        case 2:
            texts[to] = texts[from];
            values[to] = value;
            break;
        case 3: {
            const LONG offset = Pick(length + 1);
            Insert(texts[from].Tail(offset), value.substr(offset));
            break;
        }
        case 4: {
            const LONG first = Pick(length + 1);
            const LONG last = first - 1 + Pick(length - first + 3);
            Insert(texts[from].Mid(first, last), value.substr(first, last - first + 1));
            break;
        }
        case 5:
            if (Pick(2) == 0) {
                const std::string added = RandomAscii();
                texts[to].Append(added.c_str());
                values[to] += added;
            } else {
                texts[to].Append(texts[from].c_str()); // its own characters when from == to
                values[to] += value;
            }
            break;
        case 6:
            InsertConversion();
            break;
        case 7: {
            const int number = Pick(100000);
            Insert(Text::Format("%s:%d", value.c_str(), number),
                   value + ":" + std::to_string(number));
            break;
        }
        case 8:
            InsertAdopted();
            break;
        case 9: {
            const LONG n = 1 + Pick(3);
            texts.Resize(-n, from);
            values.erase(values.begin() + from,
                         values.begin() + std::min<size_t>(values.size(), from + n));
            break;
        }
        case 10: {
            const LONG number = static_cast<LONG>(random());
            const int radix = Pick(2) == 0 ? 10 : 16;
            texts[to].SetInteger(number, radix);
            char expected[16];
            std::snprintf(expected, sizeof(expected), radix == 10 ? "%d" : "%x", number);
            values[to] = expected;
            break;
        }
        case 11:
            CheckHeldFormatResult();
            break;
        }
        if (values.size() > 150) {
            texts.Resize(-50, 0);
            values.erase(values.begin(), values.begin() + 50);
        }
    }

    void Sort() {
        std::sort(texts.begin(), texts.end());
        std::sort(values.begin(), values.end());
    }

    void ExpectSame(int step) const {
        ASSERT_EQ(texts.Count(), static_cast<LONG>(values.size())) << "step " << step;
        for (LONG i = 0; i < texts.Count(); ++i) {
            ASSERT_EQ(std::string(texts[i].c_str()), values[i]) << "step " << step << " #" << i;
        }
    }

    // Every text's header counts exactly the texts that use it: those in the array, plus the
    // Format ring entry that owns a ring buffer.
    void ExpectConsistentSharing(int step) const {
        for (LONG i = 0; i < texts.Count(); ++i) {
            LONG sharing = 0;
            for (const Text& other : texts) {
                sharing += texts[i].SharesHeaderWith(other) ? 1 : 0;
            }
            const LONG counted = texts[i].ShareCount();
            if (counted != 0) {
                ASSERT_TRUE(counted == sharing || counted == sharing + 1)
                    << "step " << step << " #" << i << ": " << counted << " vs " << sharing;
            }
        }
    }

private:
    int Pick(int n) { return static_cast<int>(random() % static_cast<unsigned>(n)); }
    LONG Any() { return Pick(static_cast<int>(values.size())); }

    std::string RandomAscii() {
        std::string text;
        for (int n = Pick(12); n > 0; --n) {
            text += static_cast<char>('a' + Pick(26));
        }
        return text;
    }

    void Insert(Text text, const std::string& expected) {
        LONG at = Pick(static_cast<int>(values.size()) + 1);
        texts.Resize(1, at);
        texts[at] = std::move(text);
        values.insert(values.begin() + at, expected);
    }

    void InsertConversion() {
        Piece joined;
        for (int n = 1 + Pick(Pick(8) == 0 ? 300 : 20); n > 0; --n) {
            const Piece& piece = kPieces[Pick(6)];
            joined.wide += piece.wide;
            joined.narrow += piece.narrow;
        }
        BSTR wide = SysAllocStringLen(joined.wide.data(), static_cast<UINT>(joined.wide.size()));
        Insert(Text(wide), joined.narrow);
        SysFreeString(wide);
    }

    void InsertAdopted() {
        std::string value = RandomAscii();
        outside.emplace_back(value.begin(), value.end());
        outside.back().push_back(0);
        Text adopted;
        adopted.Adopt(outside.back().data(), static_cast<LONG>(value.size()));
        Insert(std::move(adopted), value);
    }

    void CheckHeldFormatResult() {
        const Text& result = Text::Format("held %d", 17);
        Text::Format("other %d", 1);
        Text copy = Text::Format("other %d", 2);
        EXPECT_EQ(result, "held 17");
        EXPECT_EQ(copy, "other 2");
    }

    std::mt19937 random;
    // Outlives the texts that borrow from it.
    std::deque<std::vector<char>> outside;
    GrowableArray<Text> texts{10};
    std::vector<std::string> values;
};

TEST(TextRandomized, TextsBehaveLikeStringsAndGiveBackEveryScratchBuffer) {
    {
        Driver driver(20240611);
        for (int step = 0; step < 6000 && !testing::Test::HasFatalFailure(); ++step) {
            driver.Step();
            driver.ExpectSame(step);
            if (step % 50 == 0) {
                driver.ExpectConsistentSharing(step);
            }
            if (step % 500 == 499) {
                driver.Sort();
                driver.ExpectSame(step);
                driver.ExpectConsistentSharing(step);
            }
        }
    }
    EXPECT_EQ(ScratchBuffers::FreeCount(), 3);
}

} // namespace
