// Calls by name in the tests, made by the host library's LateBound exactly as hosts make them:
// the outcome of one call kept whole for comparisons, the arguments that only tests pass, and
// arrays of strings as scripts build them.
#pragma once

#include "host/Arguments.h"
#include "host/AutomationText.h"
#include "host/LateBound.h"
#include "platform/com.h"

#include <string>
#include <utility>
#include <vector>

namespace Ostrel::Testing {

// What one call by name came back with.
struct Outcome {
    Outcome() { VariantInit(&value); }
    Outcome(Outcome&& other) noexcept
        : code(other.code), description(std::move(other.description)), value(other.value) {
        VariantInit(&other.value);
    }
    ~Outcome() { VariantClear(&value); }

    // The value as UTF-8; "<null>" for a null string, "<type N>" for another type.
    std::string Text() const;
    // The value's object with a reference of its own (empty for a null object).
    LateBound Object() const {
        return LateBound::Share(value.vt == VT_DISPATCH ? value.pdispVal : nullptr);
    }

    // The operation's own answer: the exception's code when Invoke reports one.
    HRESULT code = E_UNEXPECTED;
    // The exception's description ("" without one).
    std::string description;
    VARIANT value;
};

// A number as an argument of `type` (VT_UI1, VT_I2, VT_R8, VT_BOOL), converted as script engines
// convert the numbers and booleans they pass.
VARIANT Typed(double value, VARTYPE type);
// A one-dimensional array of strings from 0, as a script builds one.
VARIANT StringsArgument(const std::vector<std::string>& utf8);
// The strings of such an array (a test failure for anything but an array of strings).
std::vector<std::string> StringsOf(const VARIANT& array);

// Invokes `id` as a method with the arguments in their natural order, and clears them.
Outcome Invoke(IDispatch* object, DISPID id, std::vector<VARIANT> arguments = {});
// Looks up `name` and invokes it.
Outcome Call(IDispatch* object, const std::string& name, std::vector<VARIANT> arguments = {});
// Call for an operation that must succeed and hand out an object.
LateBound CallForObject(IDispatch* object, const std::string& name,
                        std::vector<VARIANT> arguments = {});

// Reads the string and frees it.
std::string TakeUtf8(BSTR text);

} // namespace Ostrel::Testing
