// A codec for one whole block at a time. Both operations take the room of the destination in
// *destinationLength and, on success, set it to the number of bytes produced.
#pragma once

#include "platform/com.h"

#include <cstdint>

namespace Ostrel {

class IBlockCompression {
public:
    virtual bool Compress(const BYTE* source, uint32_t sourceLength, BYTE* destination,
                          uint32_t* destinationLength) = 0;
    // A destination too small for the decoded bytes is a failure.
    virtual bool Decompress(const BYTE* source, uint32_t sourceLength, BYTE* destination,
                            uint32_t* destinationLength) = 0;
};

} // namespace Ostrel
