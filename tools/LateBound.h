// A host's handle on an automation object that it calls only by name: every member is looked up
// once with GetIDsOfNames and called through Invoke, the way script hosts call the system.
//
// Arguments are given in their natural order and belong to the call: the strings and objects
// they hold are freed when it returns (by-reference arguments are left to their owner). A failed
// call keeps the description the object raised, so that the host can say why in its own words.
#pragma once

#include "platform/com.h"

#include <initializer_list>
#include <string>
#include <utility>
#include <vector>

namespace Ostrel {

class LateBound {
public:
    LateBound() = default;
    // Takes over one reference on `object`.
    explicit LateBound(IDispatch* object) : object(object) {}
    // Takes a reference of its own on `object`.
    static LateBound Share(IDispatch* object);
    LateBound(LateBound&& other) noexcept;
    LateBound& operator=(LateBound&& other) noexcept;
    LateBound(const LateBound&) = delete;
    LateBound& operator=(const LateBound&) = delete;
    ~LateBound();

    explicit operator bool() const { return object != nullptr; }

    // Argument makers.
    static VARIANT Text(const std::string& text);
    static VARIANT Integer(LONG value);
    // Takes a reference of its own on `value` (which may be null).
    static VARIANT Object(IDispatch* value);
    // A by-reference string argument that the call fills in; the caller frees it.
    static VARIANT TextOut(BSTR* value);

    // Calls `member` as a method; its value, when asked for, goes to *result.
    HRESULT Call(const char* member, std::initializer_list<VARIANT> arguments = {},
                 VARIANT* result = nullptr);
    bool Do(const char* member, std::initializer_list<VARIANT> arguments = {});
    bool GetText(const char* member, std::initializer_list<VARIANT> arguments, std::string& text);
    bool GetInteger(const char* member, std::initializer_list<VARIANT> arguments, LONG& value);
    // Fails when the member answers no object.
    bool GetObject(const char* member, std::initializer_list<VARIANT> arguments, LateBound& value);

    // The description of the last failed call; empty when the object gave none.
    const std::string& Failure() const { return failure; }

private:
    HRESULT FindMember(const char* member, DISPID& id);
    void Release();

    IDispatch* object = nullptr;
    std::vector<std::pair<std::string, DISPID>> members;
    std::string failure;
};

} // namespace Ostrel
