#include "transfer/ZlibBlockCompression.h"

#include <zlib.h>

namespace Ostrel {

bool ZlibBlockCompression::Compress(const BYTE* source, uint32_t sourceLength, BYTE* destination,
                                    uint32_t* destinationLength) {
    uLongf produced = *destinationLength;
    if (compress(destination, &produced, source, sourceLength) != Z_OK) {
        return false;
    }
    *destinationLength = static_cast<uint32_t>(produced);
    return true;
}

bool ZlibBlockCompression::Decompress(const BYTE* source, uint32_t sourceLength, BYTE* destination,
                                      uint32_t* destinationLength) {
    uLongf produced = *destinationLength;
    if (uncompress(destination, &produced, source, sourceLength) != Z_OK) {
        return false;
    }
    *destinationLength = static_cast<uint32_t>(produced);
    return true;
}

uint64_t ZlibBlockCompression::Bound(uint32_t sourceLength) {
    return compressBound(sourceLength);
}

} // namespace Ostrel
