// Host byte-stream objects for tests, as hosts supply them to the model and the parser: one that
// answers IDispatchDataTransfer (a compiled host) and one known only by names (a script). Both
// serve `source` in pieces, collect what is written, and can be told to answer badly.
#pragma once

#include "host/HostObject.h"
#include "platform/com.h"
#include "pravell_idl.h"
#include "support/ScriptObject.h"

#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <functional>
#include <string>
#include <utility>

namespace Ostrel::Testing {

// What a host's Read hands back.
enum class ReadShape {
    SignedBytes,   // VT_ARRAY | VT_I1, what compiled hosts hand back
    UnsignedBytes, // VT_ARRAY | VT_UI1, and Null once the bytes are used up: what scripts build
    Null,          // what a script's stream answers at its end
    Empty,         // what a script's function answers when it sets no value
    Oversized,     // one byte more than asked for
    TwoDimensions, // a 1 x n array
    NotAnArray,    // a string
    WrongElements, // VT_ARRAY | VT_I1 over an array of 4-byte integers
};

class StreamState {
public:
    ~StreamState() { VariantClear(&held[0]); }

    HRESULT ServeRead(LONG maxLength, VARIANT* data) {
        ++reads;
        RunHostCode();
        if (reads == failAtRead) {
            return E_FAIL;
        }
        const std::string piece = source.substr(position, static_cast<size_t>(maxLength));
        position += piece.size();
        VARIANT value{};
        Shape(piece, &value);
        // The referenced variants live until the next read, as a script's variables outlive the
        // call; the innermost owns the value.
        VariantClear(&held[0]);
        for (int i = 0; i < variantReferences; ++i) {
            held[i] = value;
            value.vt = VT_BYREF | VT_VARIANT;
            value.pvarVal = &held[i];
        }
        *data = value;
        return S_OK;
    }

    HRESULT TakeWrite(const VARIANT& data) {
        ++writes;
        RunHostCode();
        writeType = data.vt;
        if (failWrites || (data.vt & VT_ARRAY) == 0 || SafeArrayGetDim(data.parray) != 1) {
            return E_FAIL;
        }
        written.append(static_cast<const char*>(data.parray->pvData),
                       data.parray->rgsabound[0].cElements);
        return S_OK;
    }

    std::string source;
    size_t position = 0;
    ReadShape shape = ReadShape::SignedBytes;
    // How many references to variants (VT_BYREF | VT_VARIANT) wrap the answer of a Read, as
    // script engines hand over their variables: at most three.
    int variantReferences = 0;
    int reads = 0;
    // Reads answered with Null.
    int nulls = 0;
    int failAtRead = 0;
    std::string written;
    int writes = 0;
    bool failWrites = false;
    VARTYPE writeType = VT_EMPTY;
    // Run once, at the first Read or Write: the host's own code inside the component's call.
    std::function<void()> hostCode;

private:
    void RunHostCode() {
        if (hostCode) {
            std::exchange(hostCode, nullptr)();
        }
    }

    void Shape(const std::string& piece, VARIANT* data) {
        if (shape == ReadShape::Null || (shape == ReadShape::UnsignedBytes && piece.empty())) {
            ++nulls;
            data->vt = VT_NULL;
        } else if (shape == ReadShape::SignedBytes || shape == ReadShape::Oversized) {
            Store(data, VT_I1, shape == ReadShape::Oversized ? piece + "x" : piece);
        } else if (shape == ReadShape::UnsignedBytes) {
            Store(data, VT_UI1, piece);
        } else if (shape == ReadShape::TwoDimensions) {
            SAFEARRAYBOUND bounds[2] = {{1, 0}, {static_cast<ULONG>(piece.size()), 0}};
            data->vt = VT_ARRAY | VT_I1;
            data->parray = SafeArrayCreate(VT_I1, 2, bounds);
        } else if (shape == ReadShape::NotAnArray) {
            data->vt = VT_BSTR;
            data->bstrVal = SysAllocString(OLESTR("text"));
        } else if (shape == ReadShape::WrongElements) {
            data->vt = VT_ARRAY | VT_I1;
            data->parray = SafeArrayCreateVector(VT_I4, 0, static_cast<ULONG>(piece.size()));
        }
    }

    static void Store(VARIANT* data, VARTYPE type, const std::string& bytes) {
        data->vt = VT_ARRAY | type;
        data->parray = SafeArrayCreateVector(type, 0, static_cast<ULONG>(bytes.size()));
        std::memcpy(data->parray->pvData, bytes.data(), bytes.size());
    }

    // Room for as many references as a test asks for.
    std::array<VARIANT, 3> held = {};
};

// A compiled host's stream: answers IDispatchDataTransfer and is called through its table.
class EarlyStream final : public HostObject<IDispatchDataTransfer, IID_IDispatchDataTransfer>,
                          public StreamState {
public:
    HRESULT STDMETHODCALLTYPE Write(VARIANT data) override { return TakeWrite(data); }
    HRESULT STDMETHODCALLTYPE Read(LONG maxLength, VARIANT* data) override {
        return ServeRead(maxLength, data);
    }
    // The component never gives bytes back to a host's stream.
    HRESULT STDMETHODCALLTYPE Unread(LONG) override { return E_NOTIMPL; }
};

// A script's stream: members Write (1), Read (2) and Unread (3, never called) by name (none once
// `names` is cleared). Its Read hands out unsigned bytes and Null at the end unless told otherwise,
// and its Write refuses all but unsigned bytes, which are all that VBScript reads. With
// `readIntoArgument` its Read takes a second, by-reference argument for the bytes and, as a
// script engine does, refuses a call with any other number of arguments.
class ScriptStream final : public ScriptObject, public StreamState {
public:
    explicit ScriptStream(std::string bytes = std::string())
        : ScriptObject({"Write", "Read", "Unread"}) {
        source = std::move(bytes);
        shape = ReadShape::UnsignedBytes;
    }

    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* params,
                                     VARIANT* result, EXCEPINFO*, UINT*) override {
        VARIANT* last = params->cArgs > 0 ? &params->rgvarg[0] : nullptr;
        if (id == 1 && params->cArgs == 1) {
            return last->vt == (VT_ARRAY | VT_UI1) ? TakeWrite(*last) : DISP_E_TYPEMISMATCH;
        }
        if (id != 2 || params->cArgs != (readIntoArgument ? 2u : 1u)) {
            return DISP_E_BADPARAMCOUNT;
        }
        // The length is a VT_I4 and the bytes' argument a reference to a variant.
        const LONG maxLength = params->rgvarg[params->cArgs - 1].lVal;
        if (readIntoArgument) {
            result = last->pvarVal;
        }
        return result == nullptr ? E_INVALIDARG : ServeRead(maxLength, result);
    }

    bool readIntoArgument = false;
};

} // namespace Ostrel::Testing
