// printf-style formatting into a ring of five reusable results, so that the common message costs
// no heap call. A result that a caller still holds a copy of is never overwritten: the spare
// takes its place in the ring, and a spare that is held too gets a fresh buffer.
#include "text/Text.h"
#include "text/TextHeader.h"

#include <cstdio>
#include <utility>

namespace Ostrel {

namespace {

constexpr int kRingSize = 5;
constexpr LONG kRingCapacity = 1024;
constexpr LONG kSpareCapacity = kRingCapacity + 1;

struct FormatRing {
    char buffers[kRingSize][kRingCapacity + 1] = {};
    Text texts[kRingSize + 1];
    Text* entries[kRingSize] = {};
    Text* spare = nullptr;
    int index = -1;

    FormatRing() {
        for (int i = 0; i < kRingSize; ++i) {
            entries[i] = &texts[i];
            entries[i]->Adopt(buffers[i], kRingCapacity);
        }
        spare = &texts[kRingSize];
        spare->Reserve(kSpareCapacity);
    }
};

// Built on first use and never torn down, so that late users at process exit still find it.
FormatRing& Ring() {
    static FormatRing* ring = new FormatRing;
    return *ring;
}

} // namespace

const Text& Text::Format(const char* format, ...) {
    va_list arguments;
    va_start(arguments, format);
    const Text& result = FormatV(format, arguments);
    va_end(arguments);
    return result;
}

const Text& Text::FormatV(const char* format, va_list arguments) {
    FormatRing& ring = Ring();
    ring.index = (ring.index + 1) % kRingSize;
    // An entry whose result a caller still holds a copy of changes places with the spare, so
    // that every result keeps its value for five further calls, wherever it was formatted.
    if (ring.entries[ring.index]->header->count > 1) {
        std::swap(ring.entries[ring.index], ring.spare);
        if (ring.entries[ring.index]->header->count > 1) {
            ring.entries[ring.index]->Reserve(kSpareCapacity);
        }
    }
    Text* chosen = ring.entries[ring.index];
    for (;;) {
        const LONG room = chosen->Room();
        // Every attempt consumes its own copy of the arguments.
        va_list attempt;
        va_copy(attempt, arguments);
        const int needed =
            std::vsnprintf(chosen->data, static_cast<size_t>(room) + 1, format, attempt);
        va_end(attempt);
        if (needed < 0) {
            chosen->data[0] = 0;
            break;
        }
        if (needed <= room) {
            break;
        }
        int64_t capacity = room;
        while (capacity < needed) {
            capacity *= 2;
        }
        // Reserve refuses (std::length_error) what no text can hold.
        chosen->Reserve(static_cast<LONG>(capacity > INT32_MAX ? needed : capacity));
    }
    return *chosen;
}

} // namespace Ostrel
