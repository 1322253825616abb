// Helpers shared by the text tests and the tests of the subsystems built on texts.
#pragma once

#include "platform/com.h"
#include "text/BlockMemory.h"
#include "text/GrowableArray.h"
#include "text/Text.h"

#include <cstdint>
#include <memory>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

namespace Ostrel {

// Lets test failures show a text's value instead of its bytes.
inline void PrintTo(const Text& text, std::ostream* out) {
    *out << '"' << text.c_str() << '"';
}

namespace Testing {

// The calls that went to the heap so far: fresh blocks and grown ones.
inline uint64_t HeapCalls() {
    const auto& counters = BlockMemory::GetCounters();
    return counters.allocations + counters.reallocations;
}

// The blocks taken from the heap and not yet given back.
inline uint64_t LiveBlocks() {
    const auto& counters = BlockMemory::GetCounters();
    return counters.allocations - counters.releases;
}

// Refuses one heap call per round: the first after Arm() in round 1, the second in round 2, and
// so on, until a round meets no refusal (it made fewer calls), which is the last.
class HeapRefusalRounds {
public:
    bool Next() {
        ++round;
        return !over;
    }
    void Arm() {
        refusalsBefore = BlockMemory::GetCounters().refusals;
        BlockMemory::FailAllocation(round);
    }
    void Disarm() {
        BlockMemory::FailAllocation(0);
        over = BlockMemory::GetCounters().refusals == refusalsBefore;
    }
    // Rounds that met their refusal once the last is over.
    uint64_t Refused() const { return round - 2; }

private:
    uint64_t round = 0;
    uint64_t refusalsBefore = 0;
    bool over = false;
};

struct BstrDeleter {
    void operator()(OLECHAR* text) const { SysFreeString(text); }
};
using BstrPtr = std::unique_ptr<OLECHAR, BstrDeleter>;

inline BstrPtr MakeBstr(const std::u16string& text) {
    return BstrPtr(SysAllocStringLen(text.data(), static_cast<UINT>(text.size())));
}

// One character of every UTF-8 length class, as UTF-16 and as the bytes it must become.
inline const std::pair<std::u16string, std::string> kUtf8Samples[] = {
    {u"a", "a"},
    {u"\u00e9", "\xC3\xA9"},
    {u"\u20ac", "\xE2\x82\xAC"},
    {u"\U0001F600", "\xF0\x9F\x98\x80"}};

// The values of the texts, so that a failed comparison shows them.
inline std::vector<std::string> Strings(const GrowableArray<Text>& texts) {
    std::vector<std::string> strings;
    for (const Text& text : texts) {
        strings.emplace_back(text.c_str());
    }
    return strings;
}

// An IText that is not a Text: it hands out plain narrow characters, as a caller's own string
// class would, so that tests reach the paths that copy instead of share.
class PlainText : public IText {
public:
    explicit PlainText(const char* chars) : chars(chars) {}
    IText& Assign(const IText&) override { return *this; }
    const void* GetText(LONG* form) const override {
        *form = 0;
        return chars;
    }
    LONG GetSize() const override { return sizeof(*this); }

private:
    const char* chars;
};

} // namespace Testing
} // namespace Ostrel
