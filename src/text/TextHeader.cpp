#include "text/TextHeader.h"

#include "text/BlockMemory.h"

#include <stdexcept>

namespace Ostrel {

namespace {

// The fields, the terminator and a little slack: what a block holds beyond its capacity.
constexpr int64_t kBlockOverhead = 24;

size_t BlockBytes(LONG capacity) {
    return static_cast<size_t>(capacity + kBlockOverhead);
}

} // namespace

EmptyTextBlock emptyTextBlock = {{0, 0, emptyTextBlock.characters}, {}};

LONG TextHeader::CapacityFor(int64_t length) {
    int64_t block = length + kBlockOverhead <= 28 ? 28 : ((length - 5) & ~int64_t{15}) + 44;
    int64_t capacity = block - kBlockOverhead;
    if (capacity > INT32_MAX) {
        throw std::length_error("text longer than a 32-bit length");
    }
    return static_cast<LONG>(capacity);
}

TextHeader* TextHeader::NewPrivate(LONG capacity, BlockMemory::Placement placement) {
    auto* header = static_cast<TextHeader*>(BlockMemory::Allocate(BlockBytes(capacity), placement));
    header->count = 1;
    header->capacity = capacity;
    header->buffer = reinterpret_cast<char*>(header + 1);
    header->buffer[0] = 0;
    return header;
}

TextHeader* TextHeader::ResizePrivate(TextHeader* header, LONG capacity) {
    header = static_cast<TextHeader*>(BlockMemory::Reallocate(header, BlockBytes(capacity)));
    header->capacity = capacity;
    header->buffer = reinterpret_cast<char*>(header + 1);
    header->buffer[capacity] = 0;
    return header;
}

void TextHeader::FreePrivate(TextHeader* header) {
    BlockMemory::Release(header);
}

} // namespace Ostrel
