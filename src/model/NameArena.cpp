#include "model/NameArena.h"

namespace Ostrel {

namespace {
constexpr int16_t kBlockStep = 10;
}

NameArena::NameArena() : blocks(kBlockStep), blockUsed(kBlockSize) {}

Text NameArena::Intern(const char* name, LONG length) {
    if (length >= kBlockSize) {
        return Text(name, length);
    }
    if (blockUsed + length >= kBlockSize) {
        Text block;
        block.Reserve(kBlockSize);
        blocks.Append(block);
        blockUsed = 0;
    }
    const LONG offset = blockUsed;
    blockUsed += length + 1;
    return blocks[blocks.Count() - 1].PlaceAt(offset, name, length);
}

void NameArena::Clear() {
    blocks.Clear();
    blockUsed = kBlockSize;
}

} // namespace Ostrel
