// A host's reference on an automation object that it calls by name, the way script hosts call
// components: each member is looked up once with GetIDsOfNames and remembered, and every call is
// an Invoke as a method.
//
// Arguments are given in their natural order (Invoke wants them last first) and belong to the
// call: the strings and objects they hold are freed when it returns; by-reference arguments are
// left to their owner. A failed call keeps the description of the exception the object raised,
// so that the host can say why in its own words. An exception that one of the host's own objects
// threw while the component called it is thrown again when the call returns (HeldException.h).
//
//     LateBound model;
//     CreateComponent("Corvantis.XMLModel", model);
//     std::string text;
//     if (!model.Do("LoadFromString", {TextArgument(xml)})) report(model.Failure());
//     model.CallForText("SaveToString", {}, text);
#pragma once

#include "platform/com.h"

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
    ~LateBound() { Reset(); }

    // The object, still referenced by this handle (null when there is none).
    IDispatch* Get() const { return object; }
    operator IDispatch*() const { return object; }
    IDispatch* operator->() const { return object; }
    // Releases the object.
    void Reset();

    // The member's dispatch identifier; the object's answer when it does not know the name.
    HRESULT FindMember(const std::string& member, DISPID& id);
    // Calls `member` as a method; its value, when asked for, goes to *result, which the caller
    // clears. Answers the object's status, or the exception's code when it raised one.
    HRESULT Call(const std::string& member, std::vector<VARIANT> arguments = {},
                 VARIANT* result = nullptr);
    // Calls the member `id` as Call does.
    HRESULT Invoke(DISPID id, std::vector<VARIANT> arguments = {}, VARIANT* result = nullptr);

    bool Do(const std::string& member, std::vector<VARIANT> arguments = {});
    // Calls for a value of that type (not GetObject: windows.h takes that name for a macro).
    bool CallForText(const std::string& member, std::vector<VARIANT> arguments, std::string& text);
    bool CallForInteger(const std::string& member, std::vector<VARIANT> arguments, LONG& value);
    // Fails when the member answers no object.
    bool CallForObject(const std::string& member, std::vector<VARIANT> arguments, LateBound& value);

    // The answer of the last call: the object's status, the exception's code when it raised
    // one, or why its value did not convert to what was asked for.
    HRESULT Status() const { return status; }
    // The description of the last failed call; empty when the object gave none.
    const std::string& Failure() const { return failure; }

private:
    // Calls for a value converted to `type`, left in `result` for the caller to clear.
    bool CallConverted(const std::string& member, std::vector<VARIANT> arguments, VARTYPE type,
                       VARIANT& result);

    IDispatch* object = nullptr;
    std::vector<std::pair<std::string, DISPID>> members;
    HRESULT status = S_OK;
    std::string failure;
};

} // namespace Ostrel
