#include "DescriptorTransfer.h"

#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace Ostrel {

DescriptorTransfer::~DescriptorTransfer() {
    Flush();
}

bool DescriptorTransfer::Write(const void* data, LONG length) {
    if (length < 0 || (data == nullptr && length > 0) || errorNumber != 0) {
        return false;
    }
    const auto* bytes = static_cast<const BYTE*>(data);
    const auto size = static_cast<size_t>(length);
    if (collected + size > kBufferSize && !Flush()) {
        return false;
    }
    if (size >= kBufferSize) {
        return SendAll(bytes, size);
    }
    std::memcpy(buffer + collected, bytes, size);
    collected += size;
    return true;
}

bool DescriptorTransfer::Read(void* out, LONG maxLength, uint32_t* bytesRead) {
    if (maxLength < 0 || bytesRead == nullptr || (out == nullptr && maxLength > 0) ||
        errorNumber != 0) {
        return false;
    }
    *bytesRead = 0;
    auto* bytes = static_cast<BYTE*>(out);
    const auto wanted = static_cast<size_t>(maxLength);
    size_t delivered = 0;
    while (!ended && delivered < wanted) {
        const ssize_t got = read(descriptor, bytes + delivered, wanted - delivered);
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got < 0) {
            return Fail(errno);
        }
        ended = got == 0;
        delivered += static_cast<size_t>(got);
    }
    *bytesRead = static_cast<uint32_t>(delivered);
    return true;
}

bool DescriptorTransfer::Unread(LONG) {
    return false;
}

bool DescriptorTransfer::Flush() {
    if (errorNumber != 0) {
        return false;
    }
    const size_t length = collected;
    collected = 0;
    return SendAll(buffer, length);
}

bool DescriptorTransfer::SendAll(const BYTE* bytes, size_t length) {
    while (length > 0) {
        const ssize_t sent = write(descriptor, bytes, length);
        if (sent < 0 && errno == EINTR) {
            continue;
        }
        if (sent <= 0) {
            // A descriptor that takes nothing without saying why would loop here for ever.
            return Fail(sent < 0 ? errno : EIO);
        }
        bytes += sent;
        length -= static_cast<size_t>(sent);
    }
    return true;
}

bool DescriptorTransfer::Fail(int error) {
    errorNumber = error;
    collected = 0;
    return false;
}

} // namespace Ostrel
