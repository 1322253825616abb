// Helpers for the transfer tests: a transfer over memory, piece readers and the bytes of a text
// file.
#pragma once

#include "transfer/BaseDataTransfer.h"

#include <cstdint>
#include <string>

namespace Ostrel {

// A transfer over a std::string: reads serve `bytes` from the front until `readLimit` bytes are
// served (the read that would pass it delivers the bytes before it and answers false, as a read
// error does), writes append to it until `writeLimit` bytes are held; a write that would pass
// the limit is refused whole.
class MemoryTransfer : public BaseDataTransfer {
public:
    MemoryTransfer() = default;
    explicit MemoryTransfer(std::string bytes) : bytes(std::move(bytes)) {}

    bool Write(const void* data, LONG length) override;
    bool Read(void* buffer, LONG maxLength, uint32_t* bytesRead) override;
    bool Unread(LONG) override { return false; }

    std::string bytes;
    size_t readPosition = 0;
    size_t readLimit = SIZE_MAX;
    size_t writeLimit = SIZE_MAX;
    int refusedWrites = 0;
    int reads = 0;
};

// Writes `bytes` in pieces of `piece` bytes; false at the first refused Write.
bool WriteInPieces(IDataTransfer& target, const std::string& bytes, size_t piece);

// One Read of at most `maxLength` bytes that must succeed and write nothing past them.
std::string ReadPiece(IDataTransfer& transfer, LONG maxLength);

// Reads pieces of `piece` bytes until a short one; false when a Read answered false.
bool ReadInPieces(IDataTransfer& transfer, LONG piece, std::string* all);

// What a text file holds for written text: each line feed preceded by a carriage return.
std::string OnDisk(const std::string& text);

} // namespace Ostrel
