// Calls by name exactly as a script host makes them (GetIDsOfNames, then Invoke as a method with
// the arguments last first), the values they take and give, and owned automation strings.
#pragma once

#include "platform/com.h"

#include <string>
#include <vector>

namespace Ostrel::Testing {

// One reference on an automation object, released at the end of the scope.
class Ref {
public:
    Ref() = default;
    // Takes over a reference the caller holds.
    explicit Ref(IDispatch* object) : object(object) {}
    Ref(Ref&& other) noexcept : object(other.object) { other.object = nullptr; }
    Ref& operator=(Ref&& other) noexcept;
    Ref(const Ref&) = delete;
    Ref& operator=(const Ref&) = delete;
    ~Ref() { Reset(); }

    IDispatch* get() const { return object; }
    IDispatch* operator->() const { return object; }
    operator IDispatch*() const { return object; }
    void Reset();
    // The object as one of its dual interfaces, for direct calls; not referenced.
    template <typename Interface>
    Interface* As() const {
        return static_cast<Interface*>(object);
    }

private:
    IDispatch* object = nullptr;
};

// What one call by name came back with.
struct Outcome {
    Outcome();
    Outcome(Outcome&& other) noexcept;
    Outcome(const Outcome&) = delete;
    Outcome& operator=(const Outcome&) = delete;
    ~Outcome();

    // The operation's own answer: the exception's code when Invoke reports one.
    HRESULT code = E_UNEXPECTED;
    // The exception's description ("" without one).
    std::string description;
    VARIANT value;

    // The value as UTF-8; "<null>" for a null string, "<type N>" for another type.
    std::string Text() const;
    // The value's object with a reference of its own (empty for a null object).
    Ref Object() const;
};

// Argument builders: the call takes them over and clears them.
VARIANT Str(const std::string& utf8);
VARIANT Int(LONG value);
VARIANT Short(SHORT value);
VARIANT Byte(BYTE value);
VARIANT Real(double value);
VARIANT Bool(bool value);
// Adds a reference for the argument (null gives a null object).
VARIANT Obj(IDispatch* object);

// A one-dimensional array of strings from 0, as a script builds one.
VARIANT Strings(const std::vector<std::string>& utf8);
// The strings of such an array (a test failure for anything else).
std::vector<std::string> StringsOf(const VARIANT& array);

// The dispatch identifier of `name`; DISPID_UNKNOWN when the object does not know it.
DISPID IdOf(IDispatch* object, const std::string& name);
// Invokes `id` as a method with the arguments in their natural order, and clears them.
Outcome Invoke(IDispatch* object, DISPID id, std::vector<VARIANT> arguments = {});
// Looks up `name` and invokes it.
Outcome Call(IDispatch* object, const std::string& name, std::vector<VARIANT> arguments = {});
// Call for an operation that must succeed and hand out an object.
Ref CallForObject(IDispatch* object, const std::string& name, std::vector<VARIANT> arguments = {});

// An automation string owned by the test.
class Bstr {
public:
    explicit Bstr(const std::string& utf8);
    Bstr(const Bstr&) = delete;
    Bstr& operator=(const Bstr&) = delete;
    ~Bstr() { SysFreeString(value); }
    operator BSTR() const { return value; }

private:
    BSTR value;
};

// The UTF-8 reading of a string; null reads as "".
std::string Utf8(const OLECHAR* text, UINT length);
std::string Utf8(BSTR text);
// Reads the string and frees it.
std::string TakeUtf8(BSTR text);

} // namespace Ostrel::Testing
