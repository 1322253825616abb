#include "model/NameArena.h"

namespace Ostrel {

namespace {
constexpr int16_t kBlockStep = 10;
}

NameArena::NameArena(LONG blockSize, LONG longestPlaced)
    : blocks(kBlockStep), blockSize(blockSize),
      longestPlaced(longestPlaced < blockSize ? longestPlaced : blockSize - 1),
      blockUsed(blockSize) {}

Text NameArena::Intern(const char* name, LONG length) {
    if (length > longestPlaced) {
        return Text(name, length);
    }
    if (blockUsed + length >= blockSize) {
        Text block;
        block.Reserve(blockSize, BlockMemory::PlacementAfter(static_cast<size_t>(blocks.Count()) *
                                                             static_cast<size_t>(blockSize)));
        blocks.Append(block);
        blockUsed = 0;
    }
    const LONG offset = blockUsed;
    blockUsed += length + 1;
    return blocks[blocks.Count() - 1].PlaceAt(offset, name, length);
}

void NameArena::Clear() {
    blocks.Clear();
    blockUsed = blockSize;
}

} // namespace Ostrel
