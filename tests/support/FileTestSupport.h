// Helpers for the transfer tests: a transfer over memory, piece readers, a limit on the size of
// files this process writes, running a check without the power to override file permissions,
// and directory listings.
#pragma once

#include "transfer/BaseDataTransfer.h"

#include <sys/resource.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace Ostrel {

// A transfer over a std::string: reads serve `bytes` from the front, writes append to it until
// `writeLimit` bytes are held; a write that would pass the limit is refused whole.
class MemoryTransfer : public BaseDataTransfer {
public:
    MemoryTransfer() = default;
    explicit MemoryTransfer(std::string bytes) : bytes(std::move(bytes)) {}

    bool Write(const void* data, LONG length) override;
    bool Read(void* buffer, LONG maxLength, uint32_t* bytesRead) override;
    bool Unread(LONG) override { return false; }

    std::string bytes;
    size_t readPosition = 0;
    size_t writeLimit = SIZE_MAX;
    int refusedWrites = 0;
    int reads = 0;
    bool failReads = false;
};

// Writes `bytes` in pieces of `piece` bytes; false at the first refused Write.
bool WriteInPieces(IDataTransfer& target, const std::string& bytes, size_t piece);

// One Read of at most `maxLength` bytes that must succeed and write nothing past them.
std::string ReadPiece(IDataTransfer& transfer, LONG maxLength);

// Reads pieces of `piece` bytes until a short one; false when a Read answered false.
bool ReadInPieces(IDataTransfer& transfer, LONG piece, std::string* all);

// What a text file holds for written text: each line feed preceded by a carriage return.
std::string OnDisk(const std::string& text);

// While it lives, every file this process writes stops growing at `bytes`: further writes
// fail (as on a full disk) instead of raising a signal.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes);
    ~FileSizeLimit();
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;

private:
    struct rlimit previous;
    void (*previousHandler)(int);
};

// Runs `check` in a child process that obeys file permissions even when the tests run as root;
// true when it answered true.
bool RunObeyingPermissions(const std::function<bool()>& check);

// The names in a directory, sorted, without "." and "..".
std::vector<std::string> ListDirectory(const std::string& path);

} // namespace Ostrel
