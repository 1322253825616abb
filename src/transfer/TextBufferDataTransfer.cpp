#include "transfer/TextBufferDataTransfer.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <stdexcept>

namespace Ostrel {

bool TextBufferDataTransfer::Write(const void* data, LONG length) {
    if (length < 0 || (data == nullptr && length > 0)) {
        return false;
    }
    try {
        text.Append(static_cast<const char*>(data), length);
    } catch (const std::bad_alloc&) {
        return false;
    } catch (const std::length_error&) {
        return false;
    }
    position += length;
    return true;
}

bool TextBufferDataTransfer::Read(void* buffer, LONG maxLength, uint32_t* bytesRead) {
    if (maxLength < 0 || bytesRead == nullptr || (buffer == nullptr && maxLength > 0)) {
        return false;
    }
    const LONG n = std::min(maxLength, text.Length() - position);
    if (n > 0) {
        std::memcpy(buffer, text.c_str() + position, static_cast<size_t>(n));
    }
    position += n;
    *bytesRead = static_cast<uint32_t>(n);
    return true;
}

bool TextBufferDataTransfer::Unread(LONG count) {
    if (count < 0) {
        return false;
    }
    position = std::max<LONG>(position - count, 0);
    return true;
}

} // namespace Ostrel
