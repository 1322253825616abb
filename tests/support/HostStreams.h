// Host byte-stream objects for tests, as hosts supply them to the model and the parser: one
// that answers IDispatchDataTransfer (a compiled host) and one that is known only by names (a
// script, ScriptObject). Both serve `source` in pieces, collect what is written, and can be told
// to answer badly. ScriptByteStream is the well-behaved script stream.
#pragma once

#include "host/HostObject.h"
#include "platform/com.h"
#include "pravell_idl.h"
#include "support/ScriptObject.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <functional>
#include <string>

namespace Ostrel::Testing {

// What a host's Read hands back.
enum class ReadShape {
    SignedBytes,   // VT_ARRAY | VT_I1, what compiled hosts hand back
    UnsignedBytes, // VT_ARRAY | VT_UI1, what scripts build
    Null,          // what a script's stream answers at its end
    Empty,         // what a script's function answers when it sets no value
    Oversized,     // one byte more than asked for
    TwoDimensions, // a 1 x n array
    NotAnArray,    // a string
    WrongElements, // VT_ARRAY | VT_I1 over an array of 4-byte integers
};

class StreamState {
public:
    static constexpr int kMostReferences = 3;

    ~StreamState() { VariantClear(&held[0]); }

    HRESULT ServeRead(LONG maxLength, VARIANT* data) {
        ++reads;
        RunHostCode();
        if (reads == failAtRead) {
            return E_FAIL;
        }
        const size_t count = std::min(source.size() - position, static_cast<size_t>(maxLength));
        const std::string piece = source.substr(position, count);
        position += count;
        VARIANT value;
        VariantInit(&value);
        const HRESULT answer = Shape(piece, &value);
        // The referenced variants live until the next read, as a script's variables outlive the
        // call; the innermost owns the value.
        VariantClear(&held[0]);
        EXPECT_LE(variantReferences, kMostReferences);
        for (int i = 0; i < variantReferences; ++i) {
            held[i] = value;
            value.vt = VT_BYREF | VT_VARIANT;
            value.pvarVal = &held[i];
        }
        *data = value;
        return answer;
    }

    HRESULT Shape(const std::string& piece, VARIANT* data) {
        const size_t count = piece.size();
        switch (shape) {
        case ReadShape::SignedBytes:
            return Store(data, VT_I1, piece);
        case ReadShape::UnsignedBytes:
            return Store(data, VT_UI1, piece);
        case ReadShape::Null:
            data->vt = VT_NULL;
            return S_OK;
        case ReadShape::Empty:
            return S_OK;
        case ReadShape::Oversized:
            return Store(data, VT_I1, piece + "x");
        case ReadShape::TwoDimensions: {
            SAFEARRAYBOUND bounds[2] = {{1, 0}, {static_cast<ULONG>(count), 0}};
            data->vt = VT_ARRAY | VT_I1;
            data->parray = SafeArrayCreate(VT_I1, 2, bounds);
            return S_OK;
        }
        case ReadShape::NotAnArray:
            data->vt = VT_BSTR;
            data->bstrVal = SysAllocString(OLESTR("text"));
            return S_OK;
        case ReadShape::WrongElements: {
            SAFEARRAYBOUND bound = {static_cast<ULONG>(count), 0};
            data->vt = VT_ARRAY | VT_I1;
            data->parray = SafeArrayCreate(VT_I4, 1, &bound);
            return S_OK;
        }
        }
        return E_FAIL;
    }

    HRESULT TakeWrite(const VARIANT& data) {
        ++writes;
        RunHostCode();
        writeType = data.vt;
        if (failWrites || (data.vt & VT_ARRAY) == 0 || SafeArrayGetDim(data.parray) != 1) {
            return E_FAIL;
        }
        SafeArrayGetLBound(data.parray, 1, &lastLower);
        SafeArrayGetUBound(data.parray, 1, &lastUpper);
        void* elements = nullptr;
        EXPECT_EQ(SafeArrayAccessData(data.parray, &elements), S_OK);
        written.append(static_cast<const char*>(elements),
                       static_cast<size_t>(lastUpper - lastLower + 1));
        SafeArrayUnaccessData(data.parray);
        return S_OK;
    }

    HRESULT TakeUnread(LONG count) {
        unread += count;
        position -= std::min(position, static_cast<size_t>(count));
        return S_OK;
    }

    std::string source;
    size_t position = 0;
    ReadShape shape = ReadShape::SignedBytes;
    // How many references to variants (VT_BYREF | VT_VARIANT) wrap the answer of a Read, as
    // script engines hand over their variables.
    int variantReferences = 0;
    int reads = 0;
    int failAtRead = 0;
    std::string written;
    int writes = 0;
    bool failWrites = false;
    VARTYPE writeType = VT_EMPTY;
    LONG lastLower = -1;
    LONG lastUpper = -1;
    LONG unread = 0;
    // Run once, at the first Read or Write: the host's own code inside the component's call.
    std::function<void()> hostCode;

private:
    void RunHostCode() {
        if (hostCode) {
            std::function<void()> once = std::move(hostCode);
            hostCode = nullptr;
            once();
        }
    }

    static HRESULT Store(VARIANT* data, VARTYPE type, const std::string& bytes) {
        SAFEARRAYBOUND bound = {static_cast<ULONG>(bytes.size()), 0};
        SAFEARRAY* array = SafeArrayCreate(type, 1, &bound);
        void* elements = nullptr;
        SafeArrayAccessData(array, &elements);
        std::memcpy(elements, bytes.data(), bytes.size());
        SafeArrayUnaccessData(array);
        data->vt = VT_ARRAY | type;
        data->parray = array;
        return S_OK;
    }

    std::array<VARIANT, kMostReferences> held = {};
};

// A compiled host's stream: answers IDispatchDataTransfer and is called through its table.
class EarlyStream final : public HostObject<IDispatchDataTransfer, IID_IDispatchDataTransfer>,
                          public StreamState {
public:
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override {
        ADD_FAILURE() << "an object with the interface is not called by name";
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE Write(VARIANT data) override { return TakeWrite(data); }
    HRESULT STDMETHODCALLTYPE Read(LONG maxLength, VARIANT* data) override {
        return ServeRead(maxLength, data);
    }
    HRESULT STDMETHODCALLTYPE Unread(LONG count) override { return TakeUnread(count); }
};

// A script's stream: members Write (1), Read (2) and Unread (3) by name (none once `names` is
// cleared). With `readIntoArgument` its Read takes a second, by-reference argument for the bytes
// and, as a script engine does, refuses a call with any other number of arguments.
class ScriptStream final : public ScriptObject, public StreamState {
public:
    ScriptStream() : ScriptObject({"write", "read", "unread"}) {}

    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* params,
                                     VARIANT* result, EXCEPINFO*, UINT*) override {
        VARIANT* last = params->cArgs > 0 ? &params->rgvarg[0] : nullptr;
        if (id == 1 && params->cArgs == 1) {
            return TakeWrite(*last);
        }
        if (id == 3 && params->cArgs == 1 && last->vt == VT_I4) {
            return TakeUnread(last->lVal);
        }
        if (id != 2 || params->cArgs != (readIntoArgument ? 2u : 1u)) {
            return DISP_E_BADPARAMCOUNT;
        }
        const VARIANT& maxLength = params->rgvarg[params->cArgs - 1];
        if (maxLength.vt != VT_I4) {
            return DISP_E_TYPEMISMATCH;
        }
        if (readIntoArgument) {
            EXPECT_EQ(last->vt, VT_BYREF | VT_VARIANT);
            return ServeRead(maxLength.lVal, last->pvarVal);
        }
        return result == nullptr ? E_INVALIDARG : ServeRead(maxLength.lVal, result);
    }

    bool readIntoArgument = false;
};

} // namespace Ostrel::Testing
