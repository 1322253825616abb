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
using Ostrel::Testing::AnsiSamples;
using Ostrel::Testing::MakeBstr;
using Ostrel::Testing::Strings;

struct Driver {
    explicit Driver(unsigned seed) : random(seed) {}

    void Step() {
        const LONG from = Pick(values.size());
        const LONG to = Pick(values.size());
        const std::string value = values.empty() ? "" : values[from];
        const LONG length = static_cast<LONG>(value.size());
        switch (values.empty() ? 0 : Pick(10)) {
        case 0:
            Insert(Text(Ascii().c_str()), last);
            break;
        case 1: // up to four more sharers at once: the tenth relieves a borrowed header
            for (int copies = 1 + Pick(4); copies > 0; --copies) {
                Insert(texts[from], std::string(values[from]));
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
            const LONG end = first - 1 + Pick(length - first + 3);
            Insert(texts[from].Mid(first, end), value.substr(first, end - first + 1));
            break;
        }
        case 5:
            if (Pick(2) == 0) {
                texts[to].Append(texts[from].c_str()); // its own characters when from == to
                values[to] += value;
            } else {
                texts[to].Append(Ascii().c_str());
                values[to] += last;
            }
            break;
        case 6:
            InsertConversion();
            break;
        case 7:
            Insert(Text::Format("%s:%d", value.c_str(), length),
                   value + ":" + std::to_string(length));
            break;
        case 8:
            outside.emplace_back(Ascii());
            Insert(Text(), last);
            texts[at].Adopt(outside.back().data(), static_cast<LONG>(last.size()));
            break;
        case 9: {
            const LONG number = static_cast<LONG>(random());
            texts[to].SetInteger(number);
            values[to] = std::to_string(number);
            break;
        }
        }
        if (values.size() > 150) {
            texts.Resize(-50, 0);
            values.erase(values.begin(), values.begin() + 50);
        }
    }

    LONG Pick(size_t n) { return n == 0 ? 0 : static_cast<LONG>(random() % n); }

    // Up to eleven random letters, kept in `last` too.
    std::string Ascii() {
        last.clear();
        for (LONG n = Pick(12); n > 0; --n) {
            last += static_cast<char>('a' + Pick(26));
        }
        return last;
    }

    void Insert(Text text, const std::string& expected) {
        at = Pick(values.size() + 1);
        texts.Resize(1, at);
        texts[at] = std::move(text);
        values.insert(values.begin() + at, expected);
    }

    void InsertConversion() {
        OleString wide;
        std::string narrow;
        for (LONG n = 1 + Pick(Pick(8) == 0 ? 300 : 20); n > 0; --n) {
            const auto& piece = AnsiSamples()[Pick(AnsiSamples().size())];
            wide += piece.first;
            narrow += piece.second;
        }
        Insert(Text(MakeBstr(wide).get()), narrow);
    }

    std::mt19937 random;
    std::string last;
    LONG at = 0;
    // Outlives the texts that borrow from it.
    std::deque<std::string> outside;
    GrowableArray<Text> texts{10};
    std::vector<std::string> values;
};

TEST(TextRandomized, TextsBehaveLikeStringsAndGiveBackEveryScratchBuffer) {
    {
        Driver driver(20240611);
        for (int step = 0; step < 6000; ++step) {
            driver.Step();
            if (step % 500 == 499) {
                std::sort(driver.texts.begin(), driver.texts.end());
                std::sort(driver.values.begin(), driver.values.end());
            }
            ASSERT_EQ(Strings(driver.texts), driver.values) << "step " << step;
        }
    }
    EXPECT_EQ(ScratchBuffers::FreeCount(), 3);
}

} // namespace
