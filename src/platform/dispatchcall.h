// One late-bound call of a method described by a FUNCDESC: the caller's arguments bound to the
// declared parameter types, the vtable call made with libffi, and the values that travel back.
#pragma once

#include "platform/typeinfo.h"

#include <ffi.h>

#include <cstddef>
#include <memory>

namespace Ostrel {

// What the call needs to know about one parameter.
struct ParameterShape {
    // The value's type; pointers to interfaces count as VT_DISPATCH or VT_UNKNOWN values.
    VARTYPE type = VT_EMPTY;
    bool byPointer = false; // the method takes the address of such a value
    bool in = false;
    bool out = false;
    bool retval = false;
};

// Room for the parameters of one call; methods with few parameters need no heap.
template <typename T>
class CallArray {
public:
    explicit CallArray(size_t count)
        : heap(count > inlineCount ? new T[count]() : nullptr),
          items(heap ? heap.get() : inlineItems) {}
    CallArray(const CallArray&) = delete;
    CallArray& operator=(const CallArray&) = delete;

    T& operator[](size_t index) { return items[index]; }
    const T& operator[](size_t index) const { return items[index]; }
    T* data() { return items; }

private:
    static constexpr size_t inlineCount = 12;
    T inlineItems[inlineCount] = {};
    std::unique_ptr<T[]> heap;
    T* items;
};

class MethodCall {
public:
    MethodCall(void* instance, const FUNCDESC& function);
    // Frees every temporary value that is still owned, exactly once.
    ~MethodCall();
    MethodCall(const MethodCall&) = delete;
    MethodCall& operator=(const MethodCall&) = delete;

    // Reads the parameter types; fails for signatures that cannot be called.
    HRESULT Prepare(ITypeInfo* owner);
    // The arguments a caller passes: every parameter but the [out, retval] one.
    UINT ArgumentCount() const;
    // Binds the caller's arguments: the named ones to the parameters their identifiers number
    // (DISPID_PROPERTYPUT to the last), the others in order, last first as DISPPARAMS holds
    // them. On a failure *argumentError receives the argument's index in rgvarg.
    HRESULT Bind(const DISPPARAMS& arguments, UINT* argumentError);
    // Calls the method and answers its HRESULT.
    HRESULT Call();
    // After a successful call: out-values reach the caller's by-reference arguments and the
    // [out, retval] value reaches *result (or is freed when result is null).
    void Finish(VARIANT* result);

private:
    struct Slot {
        ParameterShape shape;
        VARIANT* argument = nullptr; // the caller's argument; null for the [out, retval] parameter
        VARIANT temporary{}; // an owned value: coerced from the argument, or received from the call
        void* pointer = nullptr; // the address handed to a by-pointer parameter
        bool writesBack = false; // the temporary goes back to the argument after the call
        UINT argumentIndex = 0;  // the argument's index in DISPPARAMS::rgvarg
    };

    HRESULT BindSlot(Slot& slot, void** value);
    void WriteBack(Slot& slot);

    void* instance;
    const FUNCDESC& function;
    UINT parameterCount;
    CallArray<Slot> slots;
    // `this` first, then one entry per parameter, as ffi_call takes them.
    CallArray<ffi_type*> types;
    CallArray<void*> values;
};

} // namespace Ostrel
