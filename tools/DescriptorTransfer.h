// A transfer over a file descriptor that the tool did not open (standard input or output) and
// never closes.
//
// Readers take a short read as the end of the data, while a pipe or a terminal hands over only
// what it has at the moment: one Read therefore reads the descriptor until the request is full
// or the data ends. Writes are collected and leave in large pieces, because the output engine
// writes one line at a time; Flush sends the rest and answers whether everything written so far
// got out. The first failure is final and keeps its errno for the message.
#pragma once

#include "platform/com.h"
#include "transfer/BaseDataTransfer.h"

#include <cstddef>
#include <cstdint>

namespace Ostrel {

class DescriptorTransfer : public BaseDataTransfer {
public:
    explicit DescriptorTransfer(int descriptor) : descriptor(descriptor) {}
    DescriptorTransfer(const DescriptorTransfer&) = delete;
    DescriptorTransfer& operator=(const DescriptorTransfer&) = delete;

    bool Write(const void* data, LONG length) override;
    bool Read(void* buffer, LONG maxLength, uint32_t* bytesRead) override;
    // Bytes taken from a pipe cannot be given back.
    bool Unread(LONG count) override;
    // Sends what is still collected; a caller that needs to know whether it arrived calls
    // Flush first.
    virtual ~DescriptorTransfer();

    bool Flush();
    // The errno of the failure that stopped the transfer; 0 while there was none.
    int ErrorNumber() const { return errorNumber; }

private:
    static constexpr size_t kBufferSize = 65536;

    bool SendAll(const BYTE* bytes, size_t length);
    bool Fail(int error);

    int descriptor;
    int errorNumber = 0;
    bool ended = false;
    size_t collected = 0;
    BYTE buffer[kBufferSize];
};

} // namespace Ostrel
