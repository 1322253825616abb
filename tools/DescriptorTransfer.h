// The data source and sink that the tool hands to the document model and the streaming parser:
// IDispatchDataTransfer over a file descriptor that the tool opened or inherited (standard
// input or output). Reads feed LoadFromTransfer and ParseStream, writes take SaveToTransfer and
// WriteTo.
//
// The system takes a short read as the end of the data, while a pipe or a terminal hands over
// only what it has at the moment: one Read therefore reads the descriptor until the request is
// full or the data ends. Writes are collected and leave in large pieces, because the system
// writes one line at a time; Flush sends the rest. The first failure is final and keeps its
// errno for the message.
#pragma once

#include "ProgressLine.h"
#include "host/HostObject.h"
#include "pravell_idl.h"

#include <cstddef>
#include <vector>

namespace Ostrel {

class DescriptorTransfer : public HostObject<IDispatchDataTransfer, IID_IDispatchDataTransfer> {
public:
    explicit DescriptorTransfer(int descriptor) : descriptor(descriptor) {}
    DescriptorTransfer(const DescriptorTransfer&) = delete;
    DescriptorTransfer& operator=(const DescriptorTransfer&) = delete;

    // Takes a one-dimensional array of bytes (VT_I1 or VT_UI1).
    HRESULT STDMETHODCALLTYPE Write(VARIANT data) override;
    // Answers a one-dimensional VT_I1 array of at most maxLength bytes; empty at the end.
    HRESULT STDMETHODCALLTYPE Read(LONG maxLength, VARIANT* data) override;
    // Bytes taken from a pipe cannot be given back.
    HRESULT STDMETHODCALLTYPE Unread(LONG count) override;

    // Sends what is still collected; true when everything written so far got out.
    bool Flush();
    // The errno of the failure that stopped the transfer; 0 while there was none.
    int ErrorNumber() const { return errorNumber; }

private:
    static constexpr size_t kBufferSize = 65536;

    bool Collect(const BYTE* bytes, size_t length);
    bool SendAll(const BYTE* bytes, size_t length);
    // Reads until `wanted` bytes are in `incoming` or the data ends.
    bool Fill(size_t wanted);
    bool Fail(int error);

    int descriptor;
    int errorNumber = 0;
    bool ended = false;
    std::vector<BYTE> outgoing;
    std::vector<BYTE> incoming;
    ProgressLine progress;
};

} // namespace Ostrel
