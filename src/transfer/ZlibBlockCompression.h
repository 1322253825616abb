// Blocks as zlib streams (two-byte header, deflate data at the default level, Adler-32 of the
// decoded bytes), made and taken apart in one call each.
#pragma once

#include "transfer/IBlockCompression.h"

namespace Ostrel {

class ZlibBlockCompression : public IBlockCompression {
public:
    bool Compress(const BYTE* source, uint32_t sourceLength, BYTE* destination,
                  uint32_t* destinationLength) override;
    bool Decompress(const BYTE* source, uint32_t sourceLength, BYTE* destination,
                    uint32_t* destinationLength) override;

    // The most bytes a block of `sourceLength` bytes can compress to.
    static uint64_t Bound(uint32_t sourceLength);
};

} // namespace Ostrel
