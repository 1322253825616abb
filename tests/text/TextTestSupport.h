// Helpers shared by the text tests and the tests of the subsystems built on texts.
#pragma once

#include "platform/com.h"
#include "text/BlockMemory.h"
#include "text/Text.h"

#include <cstdint>

namespace Ostrel::Testing {

// The calls that went to the heap so far: fresh blocks and grown ones.
inline uint64_t HeapCalls() {
    const auto& counters = BlockMemory::GetCounters();
    return counters.allocations + counters.reallocations;
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

} // namespace Ostrel::Testing
