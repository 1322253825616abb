// The byte source and sink through which every byte enters or leaves the system.
//
// Readers' contract: a Read that answers true with fewer bytes than asked for (down to 0) means
// the end of the data, so implementations deliver short reads only at the end; false means the
// source cannot be read (not open, a read error, a damaged container). A Read never delivers
// more than asked for. Writers' contract: Write accepts all bytes or answers false; there is no
// partial count. Negative lengths and counts are refused with false.
//
// Transfers normally live on the stack of the operation that uses them, so AddRef and Release
// usually do nothing; only the transfer over a host object counts references.
#pragma once

#include "platform/com.h"

#include <cstdint>

namespace Ostrel {

class IDataTransfer {
public:
    virtual bool Write(const void* data, LONG length) = 0;
    virtual bool Read(void* buffer, LONG maxLength, uint32_t* bytesRead) = 0;
    // True when the next Read will deliver the last `count` delivered bytes again.
    virtual bool Unread(LONG count) = 0;
    virtual void AddRef() = 0;
    virtual void Release() = 0;
};

} // namespace Ostrel
