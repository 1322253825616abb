#include "platform/dispatchcall.h"

#include "platform/variant.h"

#include <cstdint>
#include <cstring>

namespace Ostrel {
namespace {

// g++ passes a VARIANT by value as a 24-byte struct of integer words, which the System V ABI puts
// in memory; libffi does the same for a struct of these elements. Size and alignment are given
// so that libffi never fills them in lazily while two threads call.
ffi_type* variantElements[] = {&ffi_type_uint16, &ffi_type_uint16, &ffi_type_uint16,
                               &ffi_type_uint16, &ffi_type_uint64, &ffi_type_uint64,
                               nullptr};
ffi_type variantType = {sizeof(VARIANT), alignof(VARIANT), FFI_TYPE_STRUCT, variantElements};

struct ValueType {
    VARTYPE vt;
    ffi_type* type;
    size_t size;
};

// The values a parameter can take by value or through a pointer; each sits at the start of a
// VARIANT's value field.
const ValueType valueTypes[] = {
    {VT_I1, &ffi_type_sint8, 1},        {VT_UI1, &ffi_type_uint8, 1},
    {VT_I2, &ffi_type_sint16, 2},       {VT_UI2, &ffi_type_uint16, 2},
    {VT_BOOL, &ffi_type_sint16, 2},     {VT_I4, &ffi_type_sint32, 4},
    {VT_UI4, &ffi_type_uint32, 4},      {VT_INT, &ffi_type_sint32, 4},
    {VT_UINT, &ffi_type_uint32, 4},     {VT_ERROR, &ffi_type_sint32, 4},
    {VT_I8, &ffi_type_sint64, 8},       {VT_UI8, &ffi_type_uint64, 8},
    {VT_CY, &ffi_type_sint64, 8},       {VT_R4, &ffi_type_float, 4},
    {VT_R8, &ffi_type_double, 8},       {VT_DATE, &ffi_type_double, 8},
    {VT_BSTR, &ffi_type_pointer, 8},    {VT_DISPATCH, &ffi_type_pointer, 8},
    {VT_UNKNOWN, &ffi_type_pointer, 8}, {VT_VARIANT, &variantType, sizeof(VARIANT)},
};

const ValueType* FindValueType(VARTYPE vt) {
    for (const ValueType& candidate : valueTypes) {
        if (candidate.vt == vt) {
            return &candidate;
        }
    }
    return nullptr;
}

bool IsInterfacePointer(const TYPEDESC* type) {
    return type->vt == VT_PTR && type->lptdesc != nullptr && type->lptdesc->vt == VT_USERDEFINED;
}

// A pointer to a dual or dispatch interface travels as VT_DISPATCH, any other as VT_UNKNOWN.
HRESULT InterfaceValueType(ITypeInfo* owner, HREFTYPE reference, VARTYPE* vt) {
    ITypeInfo* referenced = nullptr;
    HRESULT hr = owner->GetRefTypeInfo(reference, &referenced);
    if (FAILED(hr)) {
        return hr;
    }
    TYPEATTR* attributes = nullptr;
    hr = referenced->GetTypeAttr(&attributes);
    if (SUCCEEDED(hr)) {
        const TYPEKIND kind = attributes->typekind;
        const bool dispatchable =
            kind == TKIND_DISPATCH ||
            (attributes->wTypeFlags & (TYPEFLAG_FDUAL | TYPEFLAG_FDISPATCHABLE)) != 0;
        referenced->ReleaseTypeAttr(attributes);
        if (kind == TKIND_INTERFACE || kind == TKIND_DISPATCH) {
            *vt = dispatchable ? VT_DISPATCH : VT_UNKNOWN;
        } else {
            hr = DISP_E_BADVARTYPE;
        }
    }
    referenced->Release();
    return hr;
}

HRESULT ShapeParameter(ITypeInfo* owner, const ELEMDESC& element, ParameterShape* shape) {
    const USHORT flags = element.paramdesc.wParamFlags;
    if (flags & PARAMFLAG_FLCID) {
        return E_NOTIMPL;
    }
    shape->out = (flags & PARAMFLAG_FOUT) != 0;
    shape->retval = (flags & PARAMFLAG_FRETVAL) != 0;
    shape->in = (flags & PARAMFLAG_FIN) != 0 || !shape->out;

    // An interface other than IDispatch or IUnknown taken by value would need a QueryInterface
    // for its own identifier; no interface this layer serves declares one.
    const TYPEDESC* type = &element.tdesc;
    if (IsInterfacePointer(type)) {
        return DISP_E_BADVARTYPE;
    }
    if (type->vt == VT_PTR) {
        shape->byPointer = true;
        type = type->lptdesc;
    }
    if (type == nullptr || ((shape->out || shape->retval) && !shape->byPointer)) {
        return DISP_E_BADVARTYPE;
    }
    if (IsInterfacePointer(type)) {
        return InterfaceValueType(owner, type->lptdesc->hreftype, &shape->type);
    }
    if (FindValueType(type->vt) == nullptr) {
        return DISP_E_BADVARTYPE;
    }
    shape->type = type->vt;
    return S_OK;
}

bool IsReference(const VARIANT* argument) {
    return (argument->vt & VT_BYREF) != 0 && argument->byref != nullptr;
}

// The address of the argument's value when it already has `type`, looking through one
// by-reference variant (script hosts pass variables that way); null when it must be coerced.
void* HeldValue(VARIANT* argument, VARTYPE type) {
    VARIANT* holder = argument;
    if (argument->vt == (VT_BYREF | VT_VARIANT)) {
        if (type == VT_VARIANT) {
            return argument->pvarVal;
        }
        holder = argument->pvarVal;
    } else if (type == VT_VARIANT) {
        return argument;
    }
    if (holder->vt == type) {
        return &holder->llVal;
    }
    if (holder->vt == (VT_BYREF | type)) {
        return holder->byref;
    }
    return nullptr;
}

HRESULT Coerce(VARIANT* temporary, VARIANT* argument, VARTYPE type) {
    return type == VT_VARIANT ? VariantCopyInd(temporary, argument)
                              : VariantChangeType(temporary, argument, 0, type);
}

void* ValueStorage(VARIANT* temporary, VARTYPE type) {
    return type == VT_VARIANT ? static_cast<void*>(temporary) : &temporary->llVal;
}

// An out-value starts empty: a null string or interface, zero, or VT_EMPTY.
void PrepareEmptyValue(VARIANT* temporary, VARTYPE type) {
    VariantInit(temporary);
    if (type != VT_VARIANT) {
        temporary->vt = type;
    }
}

// Frees the value that a by-reference argument of type `type` points at.
void ClearReferencedValue(void* target, const ValueType& type) {
    VARIANT previous{};
    previous.vt = type.vt;
    std::memcpy(&previous.llVal, target, type.size);
    VariantClear(&previous);
}

} // namespace

HRESULT PreparedCall::Prepare(const FUNCDESC& function, ITypeInfo* owner) {
    const bool virtualMethod =
        function.funckind == FUNC_VIRTUAL || function.funckind == FUNC_PUREVIRTUAL;
    const bool knownConvention = function.callconv == CC_STDCALL || function.callconv == CC_CDECL;
    if (!virtualMethod || !knownConvention || function.oVft < 0 ||
        function.elemdescFunc.tdesc.vt != VT_HRESULT) {
        return E_NOTIMPL;
    }
    const UINT parameterCount = function.cParams > 0 ? static_cast<UINT>(function.cParams) : 0;
    shapes.assign(parameterCount, ParameterShape{});
    types.assign(parameterCount + 1, &ffi_type_pointer);
    for (UINT i = 0; i < parameterCount; ++i) {
        ParameterShape& shape = shapes[i];
        HRESULT hr = ShapeParameter(owner, function.lprgelemdescParam[i], &shape);
        if (FAILED(hr)) {
            return hr;
        }
        // Only a trailing [out, retval] becomes the call's value; elsewhere it is a plain [out].
        shape.retval = shape.retval && i + 1 == parameterCount;
        mayWriteBack = mayWriteBack || (shape.out && !shape.in && !shape.retval);
        types[i + 1] = shape.byPointer ? &ffi_type_pointer : FindValueType(shape.type)->type;
    }
    argumentCount = parameterCount - (parameterCount > 0 && shapes.back().retval ? 1 : 0);
    vtableOffset = function.oVft;
    if (ffi_prep_cif(&cif, FFI_DEFAULT_ABI, parameterCount + 1, &ffi_type_sint32, types.data()) !=
        FFI_OK) {
        return E_UNEXPECTED;
    }
    ChooseRegisterCall();
    return S_OK;
}

// libffi classifies every argument again on each call, which costs more than most methods a
// host calls. Under the x86-64 System V convention a method whose parameters are all integers
// or pointers takes them in rdi (this), rsi, rdx, rcx, r8 and r9 whatever their width, exactly
// as a function of as many 64-bit words does; narrower values are widened as the convention
// leaves to the caller.
void PreparedCall::ChooseRegisterCall() {
#if defined(__x86_64__)
    if (shapes.size() > mostRegisterParameters) {
        return;
    }
    for (size_t i = 0; i < shapes.size(); ++i) {
        const unsigned short type = types[i + 1]->type;
        switch (type) {
        case FFI_TYPE_UINT8:
        case FFI_TYPE_SINT8:
        case FFI_TYPE_UINT16:
        case FFI_TYPE_SINT16:
        case FFI_TYPE_UINT32:
        case FFI_TYPE_SINT32:
        case FFI_TYPE_UINT64:
        case FFI_TYPE_SINT64:
        case FFI_TYPE_POINTER:
            registerTypes[i] = type;
            break;
        default:
            return;
        }
    }
    inRegisters = true;
#endif
}

MethodCall::MethodCall(void* target, const PreparedCall& call)
    : instance(target), prepared(call), parameterCount(call.ParameterCount()),
      slots(parameterCount), values(parameterCount + 1) {}

MethodCall::~MethodCall() {
    for (UINT i = 0; i < parameterCount; ++i) {
        // Most temporaries were never used or were handed on; they hold nothing to free.
        if (slots[i].temporary.vt != VT_EMPTY) {
            VariantClear(&slots[i].temporary);
        }
    }
}

// The index in rgvarg of the argument for parameter `parameter`, which the positional arguments
// fill in order after the named ones have taken theirs; false when no argument is left for it.
bool FindArgument(const DISPPARAMS& arguments, UINT parameter, UINT lastParameter,
                  UINT& positionalUsed, UINT& index) {
    for (UINT j = 0; j < arguments.cNamedArgs; ++j) {
        const DISPID named = arguments.rgdispidNamedArgs[j];
        if (named == static_cast<DISPID>(parameter) ||
            (named == DISPID_PROPERTYPUT && parameter == lastParameter)) {
            index = j;
            return true;
        }
    }
    if (positionalUsed + arguments.cNamedArgs >= arguments.cArgs) {
        return false;
    }
    index = arguments.cArgs - 1 - positionalUsed++;
    return true;
}

HRESULT MethodCall::Bind(const DISPPARAMS& arguments, UINT* argumentError) {
    const UINT argumentCount = prepared.ArgumentCount();
    values[0] = &instance;
    UINT positionalUsed = 0;
    for (UINT i = 0; i < parameterCount; ++i) {
        Slot& slot = slots[i];
        if (i < argumentCount) {
            if (!FindArgument(arguments, i, argumentCount - 1, positionalUsed,
                              slot.argumentIndex)) {
                // A named argument took the place of one that names no parameter.
                if (argumentError != nullptr && arguments.cNamedArgs > 0) {
                    *argumentError = 0;
                }
                return DISP_E_PARAMNOTFOUND;
            }
            slot.argument = &arguments.rgvarg[slot.argumentIndex];
        }
        HRESULT hr = BindSlot(prepared.Shape(i), slot, &values[i + 1]);
        if (FAILED(hr)) {
            if (argumentError != nullptr && slot.argument != nullptr) {
                *argumentError = slot.argumentIndex;
            }
            return hr;
        }
    }
    return S_OK;
}

HRESULT MethodCall::BindSlot(const ParameterShape& shape, Slot& slot, void** value) {
    void* held = nullptr;
    if (shape.retval) {
        PrepareEmptyValue(&slot.temporary, shape.type);
    } else if (!shape.byPointer && shape.type == VT_VARIANT) {
        // A VARIANT by value is the caller's argument exactly as it came; the callee owns nothing.
        held = slot.argument;
    } else if (shape.out) {
        // A method that writes a value back gets the caller's own storage of exactly its type.
        // Another reference, a script's variable (a reference to a variant) among them, does not
        // stand for a typed one: the system answers a type mismatch there, so scripts declare
        // such parameters VARIANT*. A value, as a script passes a constant, gets a temporary
        // whose result is dropped.
        const VARIANT* argument = slot.argument;
        if (argument->vt == (VT_BYREF | shape.type) && argument->byref != nullptr) {
            if (shape.in) {
                held = argument->byref;
            } else {
                // Received in a temporary, so that the caller's old value is freed and replaced
                // only when the call succeeds.
                PrepareEmptyValue(&slot.temporary, shape.type);
                slot.writesBack = true;
            }
        } else if ((argument->vt & VT_BYREF) != 0 && shape.type != VT_VARIANT) {
            return DISP_E_TYPEMISMATCH;
        } else if (shape.in) {
            HRESULT hr = Coerce(&slot.temporary, slot.argument, shape.type);
            if (FAILED(hr)) {
                return hr;
            }
        } else {
            PrepareEmptyValue(&slot.temporary, shape.type);
        }
    } else if ((slot.argument->vt & VT_BYREF) != 0 && !IsReference(slot.argument)) {
        return DISP_E_TYPEMISMATCH;
    } else {
        held = HeldValue(slot.argument, shape.type);
        if (held == nullptr) {
            HRESULT hr = Coerce(&slot.temporary, slot.argument, shape.type);
            if (FAILED(hr)) {
                return hr;
            }
        }
    }
    if (held == nullptr) {
        held = ValueStorage(&slot.temporary, shape.type);
    }
    if (shape.byPointer) {
        slot.pointer = held;
        *value = &slot.pointer;
    } else {
        *value = held;
    }
    return S_OK;
}

// The machine word that carries a value of libffi type `type` in a register.
uint64_t RegisterWord(const void* value, unsigned short type) {
    switch (type) {
    case FFI_TYPE_UINT8:
        return *static_cast<const uint8_t*>(value);
    case FFI_TYPE_SINT8:
        return static_cast<uint64_t>(int64_t{*static_cast<const int8_t*>(value)});
    case FFI_TYPE_UINT16:
        return *static_cast<const uint16_t*>(value);
    case FFI_TYPE_SINT16:
        return static_cast<uint64_t>(int64_t{*static_cast<const int16_t*>(value)});
    case FFI_TYPE_UINT32:
        return *static_cast<const uint32_t*>(value);
    case FFI_TYPE_SINT32:
        return static_cast<uint64_t>(int64_t{*static_cast<const int32_t*>(value)});
    default:
        uint64_t word = 0;
        std::memcpy(&word, value, sizeof(word));
        return word;
    }
}

HRESULT MethodCall::CallInRegisters(void* method) {
    uint64_t words[PreparedCall::mostRegisterParameters] = {};
    for (UINT i = 0; i < parameterCount; ++i) {
        words[i] = RegisterWord(values[i + 1], prepared.RegisterType(i));
    }
    using Words = uint64_t;
    switch (parameterCount) {
    case 0:
        return reinterpret_cast<HRESULT (*)(void*)>(method)(instance);
    case 1:
        return reinterpret_cast<HRESULT (*)(void*, Words)>(method)(instance, words[0]);
    case 2:
        return reinterpret_cast<HRESULT (*)(void*, Words, Words)>(method)(instance, words[0],
                                                                          words[1]);
    case 3:
        return reinterpret_cast<HRESULT (*)(void*, Words, Words, Words)>(method)(
            instance, words[0], words[1], words[2]);
    case 4:
        return reinterpret_cast<HRESULT (*)(void*, Words, Words, Words, Words)>(method)(
            instance, words[0], words[1], words[2], words[3]);
    default:
        return reinterpret_cast<HRESULT (*)(void*, Words, Words, Words, Words, Words)>(method)(
            instance, words[0], words[1], words[2], words[3], words[4]);
    }
}

HRESULT MethodCall::Call() {
    void** table = *static_cast<void***>(instance);
    void* method = table[prepared.VtableOffset() / static_cast<SHORT>(sizeof(void*))];
    if (prepared.InRegisters()) {
        return CallInRegisters(method);
    }
    ffi_arg returned = 0;
    ffi_call(prepared.Interface(), reinterpret_cast<void (*)()>(method), &returned, values.data());
    return static_cast<HRESULT>(returned);
}

void MethodCall::Finish(VARIANT* result) {
    for (UINT i = 0; prepared.MayWriteBack() && i < parameterCount; ++i) {
        if (slots[i].writesBack) {
            WriteBack(prepared.Shape(i), slots[i]);
        }
    }
    if (result != nullptr) {
        VariantInit(result);
        if (prepared.HasRetval()) {
            *result = slots[parameterCount - 1].temporary;
            VariantInit(&slots[parameterCount - 1].temporary);
        }
    }
}

// The out-value has the type of the caller's reference: it replaces the value held there.
void MethodCall::WriteBack(const ParameterShape& shape, Slot& slot) {
    VARIANT* argument = slot.argument;
    if (argument->vt == (VT_BYREF | VT_VARIANT)) {
        VariantClear(argument->pvarVal);
        *argument->pvarVal = slot.temporary;
    } else {
        const ValueType& target = *FindValueType(shape.type);
        ClearReferencedValue(argument->byref, target);
        std::memcpy(argument->byref, &slot.temporary.llVal, target.size);
    }
    VariantInit(&slot.temporary);
}

} // namespace Ostrel
