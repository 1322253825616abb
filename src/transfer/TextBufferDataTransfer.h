// An in-memory transfer: written bytes are collected in a growing text (NULs included: the
// text's cached length counts them) and served back from a read position.
//
// Writing appends at the end of the data and advances the read position by the bytes written,
// so bytes just written are read back only after an Unread of their number. Never fails except
// on a negative length or when memory runs out (the data then stays as it was).
#pragma once

#include "text/TextBuffer.h"
#include "transfer/BaseDataTransfer.h"

namespace Ostrel {

class TextBufferDataTransfer : public BaseDataTransfer {
public:
    TextBufferDataTransfer() = default;
    TextBufferDataTransfer(const TextBufferDataTransfer&) = delete;
    TextBufferDataTransfer& operator=(const TextBufferDataTransfer&) = delete;

    bool Write(const void* data, LONG length) override;
    bool Read(void* buffer, LONG maxLength, uint32_t* bytesRead) override;
    // Steps back by `count`, but not before the first byte.
    bool Unread(LONG count) override;
    virtual ~TextBufferDataTransfer() = default;

    // Every byte written so far; its Length() is the data's length.
    const TextBuffer& GetText() const { return text; }

private:
    TextBuffer text;
    LONG position = 0;
};

} // namespace Ostrel
