// What the model and node object tests share: a fixture that registers the type libraries in a
// registry of its own and checks that every object a test made is gone at its end, and calls
// by name exactly as a script host makes them (GetIDsOfNames, then Invoke as a method).
#pragma once

#include "platform/com.h"
#include "platform/testsupport.h"
#include "pravell_idl.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace Ostrel::Testing {

class AutomationTest : public testing::Test {
protected:
    void SetUp() override;
    // Fails the test when a counted object outlived it.
    void TearDown() override;

    PrivateRegistry registry;
    LONG liveAtStart = 0;
};

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
    // The object's IDispatchXMLModelNode, for direct calls; not referenced.
    IDispatchXMLModelNode* Node() const { return static_cast<IDispatchXMLModelNode*>(object); }
    IDispatchXMLModel* Model() const { return static_cast<IDispatchXMLModel*>(object); }

private:
    IDispatch* object = nullptr;
};

// A new model object as the factory hands it out, with its first reference.
Ref NewModel();

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

    // The value as narrow text; "<null>" for a null string, "<type N>" for another type.
    std::string Text() const;
    // The value's object with a reference of its own (empty for a null object).
    Ref Object() const;
};

// Argument builders: the call takes them over and clears them.
VARIANT Str(const std::string& text);
VARIANT Int(LONG value);
VARIANT Short(SHORT value);
VARIANT Byte(BYTE value);
VARIANT Real(double value);
VARIANT Bool(bool value);
// Adds a reference for the argument (null gives a null object).
VARIANT Obj(IDispatch* object);

// Looks up `name` and invokes it as a method with the arguments in their natural order.
Outcome Call(IDispatch* object, const std::string& name, std::vector<VARIANT> arguments = {});
// Call for an operation that must succeed and hand out an object.
Ref CallForObject(IDispatch* object, const std::string& name, std::vector<VARIANT> arguments = {});

std::string FromBSTR(BSTR text);
// The description of the thread's error information, which it takes ("" without one).
std::string TakeErrorDescription();

} // namespace Ostrel::Testing
