#include "transfer/TextFile.h"

#include <algorithm>
#include <cstring>

namespace Ostrel {

namespace {

const char kEndOfText = 26;

// The offset of the first carriage return or byte 26 in the bytes, or `length` when neither
// occurs.
size_t NextSpecial(const char* bytes, size_t length) {
    const void* found = std::memchr(bytes, '\r', length);
    const size_t limit =
        found == nullptr ? length : static_cast<size_t>(static_cast<const char*>(found) - bytes);
    const void* end = std::memchr(bytes, kEndOfText, limit);
    return end == nullptr ? limit : static_cast<size_t>(static_cast<const char*>(end) - bytes);
}

} // namespace

TextFile::TextFile(const Text& name) : GenericFile(name) {}

TextFile::~TextFile() {
    Close();
}

bool TextFile::Open(bool forWriting) {
    heldReturn = false;
    ended = false;
    stagedLength = 0;
    return GenericFile::Open(forWriting);
}

bool TextFile::Write(const void* data, LONG length) {
    if (!IsOpen() || length < 0 || (data == nullptr && length > 0) || !Settle()) {
        return false;
    }
    const char* next = static_cast<const char*>(data);
    const char* end = next + length;
    while (next < end) {
        const void* lineFeed = std::memchr(next, '\n', static_cast<size_t>(end - next));
        const char* runEnd = lineFeed != nullptr ? static_cast<const char*>(lineFeed) : end;
        if (!Stage(next, static_cast<size_t>(runEnd - next), runEnd != end)) {
            return false;
        }
        next = runEnd == end ? end : runEnd + 1;
    }
    return true;
}

bool TextFile::Stage(const char* run, size_t length, bool lineEnd) {
    const size_t needed = length + (lineEnd ? 2 : 0);
    if (stagedLength + needed > sizeof staged && !WriteHeldBytes()) {
        return false;
    }
    if (needed > sizeof staged) {
        return WriteRaw(run, length) && (!lineEnd || WriteRaw("\r\n", 2));
    }
    std::memcpy(staged + stagedLength, run, length);
    stagedLength += length;
    if (lineEnd) {
        staged[stagedLength++] = '\r';
        staged[stagedLength++] = '\n';
    }
    return true;
}

bool TextFile::WriteHeldBytes() {
    const size_t length = stagedLength;
    stagedLength = 0;
    return length == 0 || WriteRaw(staged, length);
}

bool TextFile::Read(void* buffer, LONG maxLength, uint32_t* bytesRead) {
    if (!IsOpen() || maxLength < 0 || bytesRead == nullptr ||
        (buffer == nullptr && maxLength > 0) || !WriteHeldBytes()) {
        return false;
    }
    char* out = static_cast<char*>(buffer);
    const size_t wanted = static_cast<size_t>(maxLength);
    size_t delivered = 0;
    bool failed = false;
    while (delivered < wanted && !ended && !failed) {
        if (heldReturn) {
            failed = !DeliverHeldReturn(out, &delivered);
            continue;
        }
        const size_t asked = wanted - delivered;
        const size_t got = ReadRaw(out + delivered, asked);
        delivered += Translate(out + delivered, got);
        if (got < asked) {
            failed = ReadError();
            // At the end of the file a held carriage return is delivered as it is.
            if (!failed && heldReturn) {
                continue;
            }
            break;
        }
    }
    *bytesRead = static_cast<uint32_t>(delivered);
    return !failed;
}

bool TextFile::DeliverHeldReturn(char* out, size_t* delivered) {
    const int next = ReadRawByte();
    heldReturn = false;
    if (next == '\n') {
        out[(*delivered)++] = '\n';
        return true;
    }
    out[(*delivered)++] = '\r';
    if (next == EOF) {
        return !ReadError();
    }
    UnreadRawByte(next);
    return true;
}

size_t TextFile::Translate(char* bytes, size_t length) {
    // Runs without a carriage return or a byte 26 are found with memchr and kept whole; most
    // pieces hold none at all and are left where they are.
    size_t kept = 0;
    size_t i = 0;
    while (i < length) {
        const size_t special = i + NextSpecial(bytes + i, length - i);
        if (kept != i) {
            std::memmove(bytes + kept, bytes + i, special - i);
        }
        kept += special - i;
        i = special;
        if (i == length) {
            break;
        }
        if (bytes[i] == kEndOfText) {
            ended = true;
            endOffset = TellRaw() - static_cast<int64_t>(length - i);
            break;
        }
        if (i + 1 == length) {
            heldReturn = true;
            break;
        }
        if (bytes[i + 1] != '\n') {
            bytes[kept++] = '\r';
        }
        ++i;
    }
    return kept;
}

int64_t TextFile::LogicalPosition() {
    if (ended) {
        return endOffset;
    }
    const int64_t raw = TellRaw();
    return raw < 0 ? -1 : raw - (heldReturn ? 1 : 0);
}

bool TextFile::Settle() {
    if (!heldReturn && !ended) {
        return true;
    }
    const int64_t position = LogicalPosition();
    if (position < 0 || !SeekRaw(position, SEEK_SET)) {
        return false;
    }
    heldReturn = false;
    ended = false;
    return true;
}

bool TextFile::Unread(LONG count) {
    if (!IsOpen() || count < 0 || !WriteHeldBytes()) {
        return false;
    }
    const int64_t raw = TellRaw();
    int64_t position = LogicalPosition();
    if (position < 0) {
        return false;
    }
    if (!StepBack(&position, count)) {
        SeekRaw(raw, SEEK_SET);
        return false;
    }
    if (!SeekRaw(position, SEEK_SET)) {
        return false;
    }
    heldReturn = false;
    ended = false;
    return true;
}

bool TextFile::StepBack(int64_t* position, LONG count) {
    // Reads the file backwards through a window, one delivered byte per step: a line feed
    // after a carriage return was delivered alone and costs two bytes, any other byte one.
    char window[4096];
    int64_t windowStart = 0;
    int64_t windowEnd = 0;
    auto byteAt = [&](int64_t offset) -> int {
        if (offset < windowStart || offset >= windowEnd) {
            windowStart = std::max<int64_t>(0, offset + 1 - static_cast<int64_t>(sizeof window));
            if (!SeekRaw(windowStart, SEEK_SET)) {
                return -1;
            }
            windowEnd = windowStart + static_cast<int64_t>(ReadRaw(
                                          window, static_cast<size_t>(offset + 1 - windowStart)));
            if (offset >= windowEnd) {
                return -1;
            }
        }
        return static_cast<unsigned char>(window[offset - windowStart]);
    };
    for (LONG step = 0; step < count; ++step) {
        if (*position == 0) {
            return false;
        }
        const int last = byteAt(*position - 1);
        if (last < 0) {
            return false;
        }
        int64_t cost = 1;
        if (last == '\n' && *position >= 2) {
            const int before = byteAt(*position - 2);
            if (before < 0) {
                return false;
            }
            cost = before == '\r' ? 2 : 1;
        }
        *position -= cost;
    }
    return true;
}

} // namespace Ostrel
