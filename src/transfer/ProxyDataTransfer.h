// The transfer over a host's byte-stream object, through which the model loads from and saves
// to whatever the host provides, and the streaming parser reads a host's stream.
//
// Every transfer is one call on the host object with the bytes in a one-dimensional safe array,
// lower bound 0. An object that answers IDispatchDataTransfer is called through that interface's
// table, with arrays of VT_I1. A script object, which answers only IDispatch (or IDispatchEx),
// is called by the same names (NamedDispatch) and handed arrays of VT_UI1, the only bytes
// scripts can read. By name a Read may hand its bytes back as the call's value or in a
// by-reference variant argument, as arrays of VT_I1 or of VT_UI1 (scripts cannot build VT_I1
// arrays), and answers Null or nothing at the end of its data: that reads as zero bytes. An
// object with neither the interface nor any of the names fails every operation.
//
// A Read whose array holds more bytes than were asked for fails: the caller's buffer holds
// exactly what it asked for, and cutting the host's bytes would lose data silently.
#pragma once

#include "dispatch/NamedDispatch.h"
#include "platform/com.h"
#include "pravell_idl.h"
#include "transfer/IDataTransfer.h"

#include <cstdint>

namespace Ostrel {

class ProxyDataTransfer : public IDataTransfer {
public:
    // Holds a reference on `host` (which may be null: then every operation fails) until
    // destroyed. Throws std::bad_alloc when the names of a script object cannot be looked up.
    explicit ProxyDataTransfer(IDispatch* host);
    ProxyDataTransfer(const ProxyDataTransfer&) = delete;
    ProxyDataTransfer& operator=(const ProxyDataTransfer&) = delete;

    bool Write(const void* data, LONG length) override;
    bool Read(void* buffer, LONG maxLength, uint32_t* bytesRead) override;
    bool Unread(LONG count) override;
    // Counted: the Release that brings the count from 1 to 0 destroys the proxy. Proxies on
    // the stack are never released.
    void AddRef() override;
    void Release() override;
    virtual ~ProxyDataTransfer();

private:
    // The host's answer to a Read, in `data` (or in what it refers to).
    HRESULT CallRead(LONG maxLength, VARIANT& data, VARIANT& byReference);
    HRESULT CallReadByName(LONG maxLength, VARIANT& data, VARIANT& byReference);
    // What the host's Read answered, references followed: its value or, by name when the value
    // is empty, the by-reference argument. Null for a null reference on the way.
    VARIANT* ReadAnswer(VARIANT& data, VARIANT& byReference) const;
    // Copies the bytes of the array `answer` designates; false unless it is one dimension of
    // bytes, no more than `maxLength`. By name, Null and Empty are zero bytes.
    bool TakeBytes(const VARIANT* answer, void* buffer, LONG maxLength, uint32_t* bytesRead) const;

    IDispatch* host;
    IDispatchDataTransfer* early;
    NamedDispatch named;
    // By name: whether the object's Read takes the by-reference variant argument, learnt from
    // the first call that answered a wrong argument count.
    bool readTakesOutArgument = false;
    uint32_t references = 0;
};

} // namespace Ostrel
