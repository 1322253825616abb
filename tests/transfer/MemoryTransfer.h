// A transfer over a std::string for tests: reads serve `bytes` from the front, writes append to
// it until `writeLimit` bytes are held; a write that would pass the limit is refused whole.
#pragma once

#include "transfer/BaseDataTransfer.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>

namespace Ostrel {

class MemoryTransfer : public BaseDataTransfer {
public:
    MemoryTransfer() = default;
    explicit MemoryTransfer(std::string bytes) : bytes(std::move(bytes)) {}

    bool Write(const void* data, LONG length) override {
        if (bytes.size() + static_cast<size_t>(length) > writeLimit) {
            ++refusedWrites;
            return false;
        }
        bytes.append(static_cast<const char*>(data), static_cast<size_t>(length));
        return true;
    }

    bool Read(void* buffer, LONG maxLength, uint32_t* bytesRead) override {
        ++reads;
        if (failReads) {
            return false;
        }
        const size_t n = std::min(static_cast<size_t>(maxLength), bytes.size() - readPosition);
        std::memcpy(buffer, bytes.data() + readPosition, n);
        readPosition += n;
        *bytesRead = static_cast<uint32_t>(n);
        return true;
    }

    bool Unread(LONG) override { return false; }

    std::string bytes;
    size_t readPosition = 0;
    size_t writeLimit = SIZE_MAX;
    int refusedWrites = 0;
    int reads = 0;
    bool failReads = false;
};

} // namespace Ostrel
