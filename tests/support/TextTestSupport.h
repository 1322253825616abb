// Helpers shared by the text tests and the tests of the subsystems built on texts.
#pragma once

#include "platform/com.h"
#include "support/TestSupport.h"
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

inline BstrPtr MakeBstr(const OleString& text) {
    return BstrPtr(SysAllocStringLen(text.data(), static_cast<UINT>(text.size())));
}

// One character of every UTF-8 length class, as UTF-16 and as the bytes the ANSI code page makes
// of it. Where that page is UTF-8 (Linux) all four are kept, with the one to four bytes that size
// the conversion buffers; a single-byte page (Windows) keeps only the characters it holds.
inline const std::vector<std::pair<OleString, std::string>>& AnsiSamples() {
    static const std::vector<std::pair<OleString, std::string>> samples = [] {
        std::vector<std::pair<OleString, std::string>> kept;
        for (const OleString wide :
             {OLESTR("a"), OLESTR("\u00e9"), OLESTR("\u20ac"), OLESTR("\U0001F600")}) {
            const std::string narrow = ToAnsi(wide);
            if (FromAnsi(narrow) == wide) {
                kept.emplace_back(wide, narrow);
            }
        }
        return kept;
    }();
    return samples;
}

// The values of the texts, so that a failed comparison shows them.
inline std::vector<std::string> Strings(const GrowableArray<Text>& texts) {
    std::vector<std::string> strings;
    for (const Text& text : texts) {
        strings.emplace_back(text.c_str());
    }
    return strings;
}

} // namespace Testing
} // namespace Ostrel
