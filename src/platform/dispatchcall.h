// One late-bound call of a method described by a FUNCDESC: the signature read once into a
// prepared call (the parameter shapes, libffi's call interface, whether the arguments fit in
// registers), then for each call the caller's arguments bound to the declared parameter types,
// the vtable call made, and the values that travel back.
#pragma once

#include "platform/typeinfo.h"

#include <ffi.h>

#include <cstddef>
#include <memory>
#include <new>
#include <type_traits>
#include <vector>

namespace Ostrel {

// Script hosts call a method with DISPATCH_METHOD, DISPATCH_PROPERTYGET or both (VBScript's
// `n = node.GetChildCount`), so a method answers a property read as well.
inline bool AcceptsFlags(INVOKEKIND kind, WORD flags) {
    return (flags & kind) != 0 || (kind == INVOKE_FUNC && (flags & DISPATCH_PROPERTYGET) != 0);
}

// The position among a description's functions of the member asked for: `matches(index)`
// answers S_OK for it, S_FALSE for another function and TYPE_E_ELEMENTNOTFOUND past the last.
// Dispatch identifiers usually number the functions from 1 in order, so that position is looked
// at first, and finding a member does not read every description before its own.
template <typename Matches>
HRESULT FindFunctionIndex(DISPID id, UINT* index, Matches matches) {
    if (id >= 1 && matches(static_cast<UINT>(id) - 1) == S_OK) {
        *index = static_cast<UINT>(id) - 1;
        return S_OK;
    }
    for (UINT at = 0;; ++at) {
        const HRESULT hr = matches(at);
        if (hr == S_OK) {
            *index = at;
            return S_OK;
        }
        if (hr == TYPE_E_ELEMENTNOTFOUND) {
            return DISP_E_MEMBERNOTFOUND;
        }
        if (FAILED(hr)) {
            return hr;
        }
    }
}

// What the call needs to know about one parameter.
struct ParameterShape {
    // The value's type; pointers to interfaces count as VT_DISPATCH or VT_UNKNOWN values.
    VARTYPE type = VT_EMPTY;
    bool byPointer = false; // the method takes the address of such a value
    bool in = false;
    bool out = false;
    bool retval = false;
};

// What a method's description says about calling it, read once. It holds nothing of the
// description or of its type information, so that it can outlive both, and nothing changes in
// it once prepared, so that threads may call through it at once.
class PreparedCall {
public:
    PreparedCall() = default;
    PreparedCall(const PreparedCall&) = delete;
    PreparedCall& operator=(const PreparedCall&) = delete;

    // Reads the parameter types; fails for signatures that cannot be called.
    HRESULT Prepare(const FUNCDESC& function, ITypeInfo* owner);

    // The arguments a caller passes: every parameter but the [out, retval] one.
    UINT ArgumentCount() const { return argumentCount; }
    UINT ParameterCount() const { return static_cast<UINT>(shapes.size()); }
    const ParameterShape& Shape(UINT parameter) const { return shapes[parameter]; }
    bool HasRetval() const { return argumentCount < ParameterCount(); }
    // Whether a parameter may receive a value that goes back to the caller's reference after
    // the call: one that is [out] without [in] and is not the call's value.
    bool MayWriteBack() const { return mayWriteBack; }
    SHORT VtableOffset() const { return vtableOffset; }
    ffi_cif* Interface() const { return &cif; }

    // The most parameters after `this` that a call can pass in integer registers alone.
    static constexpr UINT mostRegisterParameters = 5;
    // Set when every parameter travels in an integer register, so that the method is called as
    // one taking machine words, without libffi; the words are read as `RegisterType(i)` says.
    bool InRegisters() const { return inRegisters; }
    unsigned short RegisterType(UINT parameter) const { return registerTypes[parameter]; }

private:
    void ChooseRegisterCall();

    std::vector<ParameterShape> shapes;
    // `this` first, then one entry per parameter, as the call interface refers to them.
    std::vector<ffi_type*> types;
    // ffi_call only reads it; ffi_prep_cif writes it once, before the call is shared.
    mutable ffi_cif cif{};
    UINT argumentCount = 0;
    SHORT vtableOffset = 0;
    bool inRegisters = false;
    bool mayWriteBack = false;
    // The libffi type code (FFI_TYPE_SINT8 ...) of each parameter's value.
    unsigned short registerTypes[mostRegisterParameters] = {};
};

// Room for the parameters of one call; methods with few parameters need no heap. Only the
// items in use are initialised, since a call pays for every byte it clears.
template <typename T>
class CallArray {
    static_assert(std::is_trivially_destructible<T>::value, "items are never destroyed");

public:
    // The inline room is filled as it is used, not cleared first.
    // cppcheck-suppress uninitMemberVar ; the inline room is filled as it is used
    explicit CallArray(size_t count) // NOLINT(cppcoreguidelines-pro-type-member-init)
        : heap(count > inlineCount ? new T[count]() : nullptr),
          items(heap ? heap.get() : reinterpret_cast<T*>(inlineItems)) {
        for (size_t i = 0; !heap && i < count; ++i) {
            new (&items[i]) T();
        }
    }
    CallArray(const CallArray&) = delete;
    CallArray& operator=(const CallArray&) = delete;

    T& operator[](size_t index) { return items[index]; }
    const T& operator[](size_t index) const { return items[index]; }
    T* data() { return items; }

private:
    static constexpr size_t inlineCount = 12;
    alignas(T) unsigned char inlineItems[inlineCount * sizeof(T)];
    std::unique_ptr<T[]> heap;
    T* items;
};

class MethodCall {
public:
    // `prepared` must outlive the call.
    MethodCall(void* instance, const PreparedCall& prepared);
    // Frees every temporary value that is still owned, exactly once.
    ~MethodCall();
    MethodCall(const MethodCall&) = delete;
    MethodCall& operator=(const MethodCall&) = delete;

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
        VARIANT* argument = nullptr; // the caller's argument; null for the [out, retval] parameter
        VARIANT temporary{}; // an owned value: coerced from the argument, or received from the call
        void* pointer = nullptr; // the address handed to a by-pointer parameter
        bool writesBack = false; // the temporary goes back to the argument after the call
        UINT argumentIndex = 0;  // the argument's index in DISPPARAMS::rgvarg
    };

    HRESULT BindSlot(const ParameterShape& shape, Slot& slot, void** value);
    HRESULT CallInRegisters(void* method);
    void WriteBack(const ParameterShape& shape, Slot& slot);

    void* instance;
    const PreparedCall& prepared;
    UINT parameterCount;
    CallArray<Slot> slots;
    // `this` first, then one entry per parameter, as ffi_call takes them.
    CallArray<void*> values;
};

} // namespace Ostrel
