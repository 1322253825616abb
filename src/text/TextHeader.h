// The storage behind Texts. A private header keeps its characters right behind its three fields
// and is counted; a borrowed header points at an outside buffer and lists the texts that share
// it, because the compacting pool it lives in moves it and those texts must then be repaired.
#pragma once

#include "platform/com.h"
#include "text/BlockMemory.h"

#include <cstdint>

namespace Ostrel {

class Text;

struct TextHeader {
    // Texts sharing the header. The shared empty header is never counted.
    LONG count;
    // Characters the buffer holds, not counting the terminator.
    LONG capacity;
    char* buffer;

    bool IsPrivate() const { return buffer == reinterpret_cast<const char*>(this + 1); }

    // The one empty header, never written, grown or freed. Inline: every text's construction
    // and release asks for it.
    static TextHeader* Empty();

    // The capacity a private block for `length` characters gets: 4 up to 4 characters, then 20,
    // 36, ... in steps of 16; the block is that plus 24 bytes, so the terminator always fits.
    // Throws std::length_error when the capacity would not fit the 32-bit field.
    static LONG CapacityFor(int64_t length);
    // A private header with count 1 and an empty value. Throws std::bad_alloc.
    static TextHeader* NewPrivate(LONG capacity,
                                  BlockMemory::Placement placement = BlockMemory::Placement::Heap);
    // The characters carry over up to the smaller capacity. Throws std::bad_alloc.
    static TextHeader* ResizePrivate(TextHeader* header, LONG capacity);
    static void FreePrivate(TextHeader* header);
};
static_assert(sizeof(TextHeader) == 16, "the private characters start 16 bytes in");

// The shared empty header with room for its terminator behind it, as a private header has.
struct EmptyTextBlock {
    TextHeader header;
    char characters[8];
};
extern EmptyTextBlock emptyTextBlock;

inline TextHeader* TextHeader::Empty() {
    return &emptyTextBlock.header;
}

struct BorrowedHeader : TextHeader {
    static constexpr LONG kMaxSharers = 10;
    // The first entry is the owner, the text that borrowed the buffer.
    Text* sharers[kMaxSharers];
};
static_assert(sizeof(void*) != 8 || sizeof(BorrowedHeader) == 96, "borrowed headers are 96 bytes");

} // namespace Ostrel
