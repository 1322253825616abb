#include "support/FileTestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

namespace Ostrel {

bool MemoryTransfer::Write(const void* data, LONG length) {
    if (bytes.size() + static_cast<size_t>(length) > writeLimit) {
        ++refusedWrites;
        return false;
    }
    bytes.append(static_cast<const char*>(data), static_cast<size_t>(length));
    return true;
}

bool MemoryTransfer::Read(void* buffer, LONG maxLength, uint32_t* bytesRead) {
    ++reads;
    size_t n = std::min(static_cast<size_t>(maxLength), bytes.size() - readPosition);
    const bool broken = readPosition + n > readLimit;
    if (broken) {
        n = readLimit - readPosition;
    }
    std::memcpy(buffer, bytes.data() + readPosition, n);
    readPosition += n;
    *bytesRead = static_cast<uint32_t>(n);
    return !broken;
}

bool WriteInPieces(IDataTransfer& target, const std::string& bytes, size_t piece) {
    for (size_t at = 0; at < bytes.size(); at += piece) {
        const std::string part = bytes.substr(at, piece);
        if (!target.Write(part.data(), static_cast<LONG>(part.size()))) {
            return false;
        }
    }
    return true;
}

std::string ReadPiece(IDataTransfer& transfer, LONG maxLength) {
    std::string buffer(static_cast<size_t>(maxLength) + 1, '?');
    uint32_t got = 0;
    EXPECT_TRUE(transfer.Read(&buffer[0], maxLength, &got));
    EXPECT_LE(got, static_cast<uint32_t>(maxLength));
    EXPECT_EQ(buffer[static_cast<size_t>(maxLength)], '?') << "wrote past the buffer";
    buffer.resize(got);
    return buffer;
}

bool ReadInPieces(IDataTransfer& transfer, LONG piece, std::string* all) {
    std::string buffer(static_cast<size_t>(piece), '\0');
    all->clear();
    for (;;) {
        uint32_t got = 0;
        if (!transfer.Read(&buffer[0], piece, &got)) {
            return false;
        }
        EXPECT_LE(got, static_cast<uint32_t>(piece));
        all->append(buffer, 0, got);
        if (got < static_cast<uint32_t>(piece)) {
            return true;
        }
    }
}

std::string OnDisk(const std::string& text) {
    std::string stored;
    for (char c : text) {
        stored += c == '\n' ? std::string("\r\n") : std::string(1, c);
    }
    return stored;
}

} // namespace Ostrel
