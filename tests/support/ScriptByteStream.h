// A script's byte stream, as a script hands one to the component to load or parse from and to
// save into: an object known only by name (ScriptObject) with two members, as a script wraps a
// stream object of its host.
//
//     Read(count)   the next `count` bytes (fewer at the end) as VT_ARRAY | VT_UI1, and Null
//                   once they are used up
//     Write(bytes)  appends the bytes of a one-dimensional VT_ARRAY | VT_UI1 to `written`; any
//                   other argument is a type mismatch, as VBScript cannot read VT_I1 elements
//
// Portable, like its base.
#pragma once

#include "platform/com.h"
#include "support/ScriptObject.h"

#include <string>

namespace Ostrel::Testing {

class ScriptByteStream final : public ScriptObject {
public:
    explicit ScriptByteStream(std::string source = std::string());

    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params,
                                     VARIANT* result, EXCEPINFO*, UINT*) override;

    // What Read hands out, from the start.
    std::string source;
    std::string written;
    int reads = 0;
    // Reads answered with Null.
    int nulls = 0;
    int writes = 0;

private:
    HRESULT Read(VARIANT& count, VARIANT* result);
    HRESULT Write(const VARIANT& bytes);

    size_t position = 0;
};

} // namespace Ostrel::Testing
