#include "transfer/StreamCompression.h"

#include <algorithm>
#include <cstring>
#include <exception>

namespace Ostrel {

namespace {

const uint32_t kMagicNumbers[] = {213, 170, 150};
const uint32_t kVersion = 1;
const char kTitle[] = "Corvantis Compressed XML File";

// The room for one compressed block: 1.1 times the block size, which covers zlib's worst case
// for the model's blocks; a small block (a few hundred bytes or less) may need more than that,
// as zlib adds a fixed overhead to every stream, so the room is never below zlib's bound.
uint32_t PackedRoom(uint32_t blockSize) {
    const auto widened = static_cast<uint64_t>(static_cast<double>(blockSize) * 1.1);
    return static_cast<uint32_t>(std::max(widened, ZlibBlockCompression::Bound(blockSize)));
}

uint32_t DecodeWord(const BYTE* bytes) {
    return uint32_t{bytes[0]} | uint32_t{bytes[1]} << 8 | uint32_t{bytes[2]} << 16 |
           uint32_t{bytes[3]} << 24;
}

} // namespace

StreamCompression::StreamCompression(IDataTransfer* target, uint32_t blockSize)
    : blockSize(blockSize), target(target), plain(10), packed(10),
      broken(target == nullptr || blockSize == 0 || blockSize > kLargestBlockSize) {}

StreamCompression::~StreamCompression() {
    if (writing && !broken) {
        try {
            EmitBlock();
        } catch (const std::exception&) {
            // Only memory can fail here, before anything reached the target. After a Finish
            // the container is whole without its closing block: the end of the file ends it.
        }
    }
}

bool StreamCompression::Fail() {
    broken = true;
    return false;
}

void StreamCompression::EnsureSize(GrowableArray<BYTE>& array, uint32_t size, uint32_t limit) {
    const uint32_t current = static_cast<uint32_t>(array.Count());
    if (current >= size) {
        return;
    }
    const uint64_t doubled = uint64_t{current} * 2;
    const uint32_t grown = static_cast<uint32_t>(std::min<uint64_t>(doubled, limit));
    const LONG storage = static_cast<LONG>(std::max(size, grown));
    array.SetSize(storage, storage);
}

// Writing

bool StreamCompression::Write(const void* data, LONG length) {
    if (length < 0 || (data == nullptr && length > 0) || !StartWriting()) {
        return false;
    }
    try {
        const BYTE* next = static_cast<const BYTE*>(data);
        uint32_t remaining = static_cast<uint32_t>(length);
        while (plainLength + uint64_t{remaining} >= blockSize) {
            const uint32_t take = blockSize - plainLength;
            EnsureSize(plain, blockSize, blockSize);
            std::memcpy(plain.begin() + plainLength, next, take);
            plainLength += take;
            next += take;
            remaining -= take;
            if (!EmitBlock()) {
                return false;
            }
        }
        if (remaining > 0) {
            EnsureSize(plain, plainLength + remaining, blockSize);
            std::memcpy(plain.begin() + plainLength, next, remaining);
            plainLength += remaining;
        }
        return true;
    } catch (const std::exception&) {
        return Fail();
    }
}

bool StreamCompression::Finish() {
    if (!StartWriting()) {
        return false;
    }
    try {
        return EmitBlock();
    } catch (const std::exception&) {
        return Fail();
    }
}

bool StreamCompression::StartWriting() {
    if (broken || reading) {
        return false;
    }
    if (!headerDone) {
        writing = true;
        headerDone = true;
        return WriteHeader();
    }
    return true;
}

bool StreamCompression::WriteHeader() {
    for (uint32_t magic : kMagicNumbers) {
        if (!WriteWord(magic)) {
            return false;
        }
    }
    return WriteWord(kVersion) && WriteWord(sizeof kTitle) &&
           WriteToTarget(reinterpret_cast<const BYTE*>(kTitle), sizeof kTitle);
}

bool StreamCompression::EmitBlock() {
    // A block fits when it compresses into 1.1 block sizes, and it never compresses to more than
    // zlib's bound for its length: a room of the smaller of the two decides alike, and a small
    // document's save does not take a whole block's room from the heap.
    const uint32_t room = static_cast<uint32_t>(
        std::min<uint64_t>(PackedRoom(blockSize), ZlibBlockCompression::Bound(plainLength)));
    EnsureSize(packed, room, room);
    uint32_t packedLength = room;
    if (!codec.Compress(plain.begin(), plainLength, packed.begin(), &packedLength)) {
        return Fail();
    }
    if (!WriteWord(plainLength) || !WriteWord(packedLength) ||
        !WriteToTarget(packed.begin(), packedLength)) {
        return false;
    }
    plainLength = 0;
    return true;
}

bool StreamCompression::WriteWord(uint32_t value) {
    const BYTE bytes[4] = {static_cast<BYTE>(value), static_cast<BYTE>(value >> 8),
                           static_cast<BYTE>(value >> 16), static_cast<BYTE>(value >> 24)};
    return WriteToTarget(bytes, sizeof bytes);
}

bool StreamCompression::WriteToTarget(const BYTE* bytes, uint32_t length) {
    if (!target->Write(bytes, static_cast<LONG>(length))) {
        return Fail();
    }
    return true;
}

// Reading

bool StreamCompression::Unread(LONG) {
    return false;
}

bool StreamCompression::Read(void* buffer, LONG maxLength, uint32_t* bytesRead) {
    if (bytesRead == nullptr || maxLength < 0 || (buffer == nullptr && maxLength > 0)) {
        return false;
    }
    *bytesRead = 0;
    if (broken || writing) {
        return false;
    }
    reading = true;
    try {
        if (!headerDone && !ReadHeader()) {
            return Fail();
        }
        BYTE* out = static_cast<BYTE*>(buffer);
        uint32_t delivered = 0;
        while (delivered < static_cast<uint32_t>(maxLength)) {
            if (readPosition == plainLength) {
                if (sourceEnded) {
                    break;
                }
                if (!DecodeNextBlock()) {
                    *bytesRead = delivered;
                    return Fail();
                }
                continue;
            }
            const uint32_t n =
                std::min(static_cast<uint32_t>(maxLength) - delivered, plainLength - readPosition);
            std::memcpy(out + delivered, plain.begin() + readPosition, n);
            delivered += n;
            readPosition += n;
        }
        *bytesRead = delivered;
        return true;
    } catch (const std::exception&) {
        return Fail();
    }
}

bool StreamCompression::ReadHeader() {
    for (uint32_t magic : kMagicNumbers) {
        uint32_t value = 0;
        if (!ReadWord(&value) || value != magic) {
            return false;
        }
    }
    uint32_t version = 0;
    uint32_t titleLength = 0;
    if (!ReadWord(&version) || version > kVersion || !ReadWord(&titleLength) ||
        !SkipBytes(titleLength)) {
        return false;
    }
    headerDone = true;
    return true;
}

bool StreamCompression::SkipBytes(uint32_t length) {
    BYTE scratch[256];
    while (length > 0) {
        const uint32_t piece = std::min<uint32_t>(length, sizeof scratch);
        if (ReadFromSource(scratch, piece) != piece) {
            return false;
        }
        length -= piece;
    }
    return true;
}

bool StreamCompression::DecodeNextBlock() {
    plainLength = 0;
    readPosition = 0;
    BYTE word[4];
    const int64_t got = ReadFromSource(word, sizeof word);
    if (got == 0) {
        sourceEnded = true;
        return true;
    }
    if (got != sizeof word) {
        return false;
    }
    const uint32_t unpacked = DecodeWord(word);
    uint32_t packedLength = 0;
    if (unpacked > blockSize || !ReadWord(&packedLength) ||
        packedLength > ZlibBlockCompression::Bound(unpacked)) {
        return false;
    }
    const uint32_t packedLimit = static_cast<uint32_t>(ZlibBlockCompression::Bound(blockSize));
    EnsureSize(packed, packedLength, packedLimit);
    if (ReadFromSource(packed.begin(), packedLength) != packedLength) {
        return false;
    }
    EnsureSize(plain, unpacked, blockSize);
    uint32_t decoded = unpacked;
    if (!codec.Decompress(packed.begin(), packedLength, plain.begin(), &decoded) ||
        decoded != unpacked) {
        return false;
    }
    plainLength = unpacked;
    return true;
}

bool StreamCompression::ReadWord(uint32_t* value) {
    BYTE bytes[4];
    if (ReadFromSource(bytes, sizeof bytes) != sizeof bytes) {
        return false;
    }
    *value = DecodeWord(bytes);
    return true;
}

int64_t StreamCompression::ReadFromSource(BYTE* buffer, uint32_t length) {
    uint32_t total = 0;
    while (total < length) {
        uint32_t got = 0;
        if (!target->Read(buffer + total, static_cast<LONG>(length - total), &got)) {
            return -1;
        }
        if (got > length - total) {
            return -1;
        }
        if (got == 0) {
            break;
        }
        total += got;
    }
    return total;
}

} // namespace Ostrel
