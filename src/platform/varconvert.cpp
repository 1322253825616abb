#include "platform/bstr.h"
#include "platform/interfaces.h"
#include "platform/safearray.h"
#include "platform/typeinfo.h"
#include "platform/variant.h"
#include "platform/varnumber.h"
#include "platform/vartype.h"

#include <cfloat>
#include <charconv>
#include <cmath>
#include <cstring>

// Conversion between automation types with OLE Automation's rules for the US-English locale. A
// failed conversion leaves the target untouched; the source may be the target.
namespace {

using namespace Ostrel::Platform;

constexpr USHORT alphabeticBooleans = VARIANT_ALPHABOOL | VARIANT_LOCALBOOL;

// A number that a variant holds, widened; the integer shape it came from decides whether a
// conversion to the other signedness of the same width keeps the bits.
struct Number {
    enum class Kind { Signed, Unsigned, Real };
    Kind kind = Kind::Signed;
    int64_t signedValue = 0;
    uint64_t unsignedValue = 0;
    double realValue = 0;
    IntegerShape shape = {64, true};
    bool fromBoolean = false;
    bool fromFloat = false;
};

bool IntegerShapeOf(VARTYPE vt, IntegerShape& shape) {
    switch (vt) {
    case VT_I1:
    case VT_UI1:
        shape = {8, vt == VT_I1};
        return true;
    case VT_I2:
    case VT_UI2:
        shape = {16, vt == VT_I2};
        return true;
    case VT_I4:
    case VT_INT:
    case VT_UI4:
    case VT_UINT:
        shape = {32, vt == VT_I4 || vt == VT_INT};
        return true;
    case VT_I8:
    case VT_UI8:
        shape = {64, vt == VT_I8};
        return true;
    default:
        return false;
    }
}

bool IsNumericType(VARTYPE vt) {
    IntegerShape shape{};
    return IntegerShapeOf(vt, shape) || vt == VT_R4 || vt == VT_R8 || vt == VT_BOOL;
}

Number SignedNumber(int64_t value, IntegerShape shape) {
    Number number;
    number.signedValue = value;
    number.shape = shape;
    return number;
}

Number UnsignedNumber(uint64_t value, IntegerShape shape) {
    Number number;
    number.kind = Number::Kind::Unsigned;
    number.unsignedValue = value;
    number.shape = shape;
    return number;
}

Number RealNumber(double value, bool fromFloat) {
    Number number;
    number.kind = Number::Kind::Real;
    number.realValue = value;
    number.fromFloat = fromFloat;
    return number;
}

bool ReadNumber(const VARIANT& variant, Number& number) {
    switch (variant.vt) {
    case VT_I1:
        number = SignedNumber(static_cast<signed char>(variant.cVal), {8, true});
        return true;
    case VT_UI1:
        number = UnsignedNumber(variant.bVal, {8, false});
        return true;
    case VT_I2:
        number = SignedNumber(variant.iVal, {16, true});
        return true;
    case VT_UI2:
        number = UnsignedNumber(variant.uiVal, {16, false});
        return true;
    case VT_I4:
    case VT_INT:
        number = SignedNumber(variant.lVal, {32, true});
        return true;
    case VT_UI4:
    case VT_UINT:
        number = UnsignedNumber(variant.ulVal, {32, false});
        return true;
    case VT_I8:
        number = SignedNumber(variant.llVal, {64, true});
        return true;
    case VT_UI8:
        number = UnsignedNumber(variant.ullVal, {64, false});
        return true;
    case VT_R4:
        number = RealNumber(variant.fltVal, true);
        return true;
    case VT_R8:
        number = RealNumber(variant.dblVal, false);
        return true;
    case VT_BOOL:
        number = SignedNumber(variant.boolVal, {16, true});
        number.fromBoolean = true;
        return true;
    default:
        return false;
    }
}

void StoreInteger(VARTYPE vt, uint64_t bits, VARIANT& out) {
    out.vt = vt;
    switch (vt) {
    case VT_I1:
    case VT_UI1:
        out.bVal = static_cast<BYTE>(bits);
        break;
    case VT_I2:
    case VT_UI2:
        out.uiVal = static_cast<USHORT>(bits);
        break;
    case VT_I4:
    case VT_INT:
    case VT_UI4:
    case VT_UINT:
        out.ulVal = static_cast<ULONG>(bits);
        break;
    default:
        out.ullVal = bits;
        break;
    }
}

// OLE Automation keeps the bits of a boolean, and of an integer going to the other signedness of
// the same width; every other integer conversion checks the range.
HRESULT NumberToInteger(const Number& number, IntegerShape shape, uint64_t& bits) {
    bool sameWidth = number.shape.bits == shape.bits;
    switch (number.kind) {
    case Number::Kind::Signed:
        if (!number.fromBoolean && !sameWidth && !SignedFits(number.signedValue, shape)) {
            return DISP_E_OVERFLOW;
        }
        bits = static_cast<uint64_t>(number.signedValue);
        return S_OK;
    case Number::Kind::Unsigned:
        if (!sameWidth && !UnsignedFits(number.unsignedValue, shape)) {
            return DISP_E_OVERFLOW;
        }
        bits = number.unsignedValue;
        return S_OK;
    default:
        return DoubleToInteger(number.realValue, shape, bits);
    }
}

double NumberToDouble(const Number& number) {
    switch (number.kind) {
    case Number::Kind::Signed:
        return static_cast<double>(number.signedValue);
    case Number::Kind::Unsigned:
        return static_cast<double>(number.unsignedValue);
    default:
        return number.realValue;
    }
}

HRESULT StoreReal(VARTYPE vt, double value, VARIANT& out) {
    if (vt == VT_R8) {
        out.vt = VT_R8;
        out.dblVal = value;
        return S_OK;
    }
    if (std::fabs(value) > FLT_MAX) {
        return DISP_E_OVERFLOW;
    }
    out.vt = VT_R4;
    out.fltVal = static_cast<float>(value);
    return S_OK;
}

void StoreBoolean(bool value, VARIANT& out) {
    out.vt = VT_BOOL;
    out.boolVal = value ? VARIANT_TRUE : VARIANT_FALSE;
}

HRESULT StoreNumber(const Number& number, VARTYPE vt, VARIANT& out) {
    IntegerShape shape{};
    if (IntegerShapeOf(vt, shape)) {
        uint64_t bits = 0;
        HRESULT result = NumberToInteger(number, shape, bits);
        if (SUCCEEDED(result)) {
            StoreInteger(vt, bits, out);
        }
        return result;
    }
    if (vt == VT_BOOL) {
        StoreBoolean(NumberToDouble(number) != 0, out);
        return S_OK;
    }
    return StoreReal(vt, NumberToDouble(number), out);
}

HRESULT StoreAscii(const char* text, size_t length, VARIANT& out) {
    BSTR string = SysAllocStringLen(nullptr, static_cast<UINT>(length));
    if (string == nullptr) {
        return E_OUTOFMEMORY;
    }
    for (size_t i = 0; i < length; ++i) {
        string[i] = static_cast<OLECHAR>(text[i]);
    }
    out.vt = VT_BSTR;
    out.bstrVal = string;
    return S_OK;
}

HRESULT NumberToText(const Number& number, USHORT flags, VARIANT& out) {
    if (number.fromBoolean && (flags & alphabeticBooleans)) {
        return number.signedValue != 0 ? StoreAscii("True", 4, out) : StoreAscii("False", 5, out);
    }
    char text[formattedRealSize];
    char* end = text;
    switch (number.kind) {
    case Number::Kind::Signed:
        end = std::to_chars(text, text + sizeof text, number.signedValue).ptr;
        break;
    case Number::Kind::Unsigned:
        end = std::to_chars(text, text + sizeof text, number.unsignedValue).ptr;
        break;
    default:
        end = text + FormatReal(number.realValue, number.fromFloat ? 7 : 15, text);
        break;
    }
    return StoreAscii(text, static_cast<size_t>(end - text), out);
}

// Whether the string, read up to its first NUL, is exactly the ASCII word.
bool IsWord(BSTR text, const char* word, bool ignoreCase) {
    if (text == nullptr) {
        return false;
    }
    size_t i = 0;
    for (; word[i] != 0; ++i) {
        OLECHAR c = text[i];
        if (ignoreCase && c >= u'A' && c <= u'Z') {
            c = static_cast<OLECHAR>(c - u'A' + u'a');
        }
        if (c != static_cast<OLECHAR>(word[i])) {
            return false;
        }
    }
    return text[i] == 0;
}

HRESULT TextToBoolean(BSTR text, VARIANT& out) {
    if (IsWord(text, "#TRUE#", false) || IsWord(text, "true", true)) {
        StoreBoolean(true, out);
        return S_OK;
    }
    if (IsWord(text, "#FALSE#", false) || IsWord(text, "false", true)) {
        StoreBoolean(false, out);
        return S_OK;
    }
    TextNumber number;
    double value = 0;
    if (!ParseNumber(text, SysStringLen(text), number)) {
        return DISP_E_TYPEMISMATCH;
    }
    HRESULT result = TextToDouble(number, value);
    if (SUCCEEDED(result)) {
        StoreBoolean(value != 0, out);
    }
    return result;
}

HRESULT TextToNumber(BSTR text, VARTYPE vt, VARIANT& out) {
    if (vt == VT_BOOL) {
        return TextToBoolean(text, out);
    }
    TextNumber number;
    if (!ParseNumber(text, SysStringLen(text), number)) {
        return DISP_E_TYPEMISMATCH;
    }
    IntegerShape shape{};
    if (IntegerShapeOf(vt, shape)) {
        uint64_t bits = 0;
        HRESULT result = TextToInteger(number, shape, bits);
        if (SUCCEEDED(result)) {
            StoreInteger(vt, bits, out);
        }
        return result;
    }
    double value = 0;
    HRESULT result = TextToDouble(number, value);
    return SUCCEEDED(result) ? StoreReal(vt, value, out) : result;
}

HRESULT Coerce(const VARIANT& from, LCID locale, USHORT flags, VARTYPE vt, VARIANT& out);

// An object converts through the value of its default property; an object without one does
// not convert, whatever the reason its property read failed. A null object is no value at all.
HRESULT ThroughDefaultValue(IDispatch* object, LCID locale, USHORT flags, VARTYPE vt,
                            VARIANT& out) {
    if (object == nullptr) {
        return DISP_E_BADVARTYPE;
    }
    DISPPARAMS none = {nullptr, nullptr, 0, 0};
    VARIANT value{};
    if (FAILED(object->Invoke(DISPID_VALUE, IID_NULL, locale, DISPATCH_PROPERTYGET, &none, &value,
                              nullptr, nullptr))) {
        return DISP_E_TYPEMISMATCH;
    }
    bool isObject = value.vt == VT_DISPATCH || value.vt == VT_UNKNOWN;
    HRESULT result = isObject ? DISP_E_TYPEMISMATCH : Coerce(value, locale, flags, vt, out);
    VariantClear(&value);
    return result;
}

HRESULT ToNumber(const VARIANT& from, LCID locale, USHORT flags, VARTYPE vt, VARIANT& out) {
    Number number;
    switch (from.vt) {
    case VT_EMPTY:
        return StoreNumber(number, vt, out);
    case VT_BSTR:
        return TextToNumber(from.bstrVal, vt, out);
    case VT_DISPATCH:
        return ThroughDefaultValue(from.pdispVal, locale, flags, vt, out);
    default:
        return ReadNumber(from, number) ? StoreNumber(number, vt, out) : DISP_E_TYPEMISMATCH;
    }
}

HRESULT ToText(const VARIANT& from, LCID locale, USHORT flags, VARIANT& out) {
    Number number;
    switch (from.vt) {
    case VT_EMPTY:
        return StoreAscii("", 0, out);
    case VT_DISPATCH:
        return ThroughDefaultValue(from.pdispVal, locale, flags, VT_BSTR, out);
    default:
        return ReadNumber(from, number) ? NumberToText(number, flags, out) : DISP_E_TYPEMISMATCH;
    }
}

HRESULT ToInterface(const VARIANT& from, VARTYPE vt, VARIANT& out) {
    if (from.vt != VT_DISPATCH && from.vt != VT_UNKNOWN) {
        return DISP_E_TYPEMISMATCH;
    }
    void* object = nullptr;
    if (from.punkVal != nullptr) {
        HRESULT result =
            from.punkVal->QueryInterface(vt == VT_DISPATCH ? IID_IDispatch : IID_IUnknown, &object);
        if (FAILED(result)) {
            return result;
        }
    }
    out.vt = vt;
    out.byref = object;
    return S_OK;
}

// Any plain value except an error code can be dropped to VT_EMPTY or VT_NULL; VT_NULL itself
// cannot become VT_EMPTY.
HRESULT ToNothing(const VARIANT& from, VARTYPE vt, VARIANT& out) {
    bool droppable = from.vt <= VT_UINT && from.vt != VT_ERROR;
    if (!droppable || (vt == VT_EMPTY && from.vt == VT_NULL)) {
        return DISP_E_TYPEMISMATCH;
    }
    out.vt = vt;
    return S_OK;
}

// Arrays convert only to themselves, and bytes to and from strings.
HRESULT ToOrFromArray(const VARIANT& from, VARTYPE vt, VARIANT& out) {
    constexpr VARTYPE byteArray = VT_ARRAY | VT_UI1;
    if (from.vt == byteArray && vt == VT_BSTR && SafeArrayGetDim(from.parray) == 1) {
        const SAFEARRAYBOUND& bound = from.parray->rgsabound[0];
        BSTR text =
            SysAllocStringByteLen(static_cast<LPCSTR>(from.parray->pvData), bound.cElements);
        out.vt = VT_BSTR;
        out.bstrVal = text;
        return text == nullptr ? E_OUTOFMEMORY : S_OK;
    }
    if (from.vt == VT_BSTR && vt == byteArray) {
        UINT length = SysStringByteLen(from.bstrVal);
        SAFEARRAY* bytes = SafeArrayCreateVector(VT_UI1, 0, length);
        if (bytes == nullptr) {
            return E_OUTOFMEMORY;
        }
        std::memcpy(bytes->pvData, from.bstrVal == nullptr ? "" : static_cast<void*>(from.bstrVal),
                    length);
        out.vt = byteArray;
        out.parray = bytes;
        return S_OK;
    }
    return DISP_E_TYPEMISMATCH;
}

HRESULT Coerce(const VARIANT& from, LCID locale, USHORT flags, VARTYPE vt, VARIANT& out) {
    if (from.vt == vt) {
        return VariantCopy(&out, &from);
    }
    if ((from.vt | vt) & (VT_ARRAY | VT_BYREF)) {
        return ToOrFromArray(from, vt, out);
    }
    if (from.vt == VT_DISPATCH && (flags & VARIANT_NOVALUEPROP) && vt != VT_UNKNOWN) {
        return DISP_E_TYPEMISMATCH;
    }
    switch (vt) {
    case VT_EMPTY:
    case VT_NULL:
        return ToNothing(from, vt, out);
    case VT_BSTR:
        return ToText(from, locale, flags, out);
    case VT_DISPATCH:
    case VT_UNKNOWN:
        return ToInterface(from, vt, out);
    default:
        return IsNumericType(vt) ? ToNumber(from, locale, flags, vt, out) : DISP_E_TYPEMISMATCH;
    }
}

// A by-value view of what the source holds, without copying anything it owns.
HRESULT Borrow(const VARIANT& source, VARIANT& view) {
    view = source;
    if ((source.vt & VT_BYREF) == 0) {
        return S_OK;
    }
    if (source.byref == nullptr) {
        return DISP_E_TYPEMISMATCH;
    }
    VARTYPE type = source.vt & ~VT_BYREF;
    if (type == VT_VARIANT) {
        const VARIANT& inner = *source.pvarVal;
        return inner.vt == (VT_VARIANT | VT_BYREF) ? E_INVALIDARG : Borrow(inner, view);
    }
    if (type & VT_ARRAY) {
        view.vt = type;
        view.parray = *source.pparray;
        return S_OK;
    }
    if (type == VT_DECIMAL) {
        view.decVal = *source.pdecVal;
        view.vt = VT_DECIMAL;
        return S_OK;
    }
    ULONG size = SizeOfValue(type);
    if (size == 0) {
        return E_INVALIDARG;
    }
    view.llVal = 0;
    std::memcpy(&view.llVal, source.byref, size);
    view.vt = type;
    return S_OK;
}

} // namespace

extern "C" HRESULT VariantChangeTypeEx(VARIANTARG* target, const VARIANTARG* source, LCID locale,
                                       USHORT flags, VARTYPE vt) {
    if (target == nullptr || source == nullptr) {
        return E_INVALIDARG;
    }
    if (!IsCopyableVariantType(source->vt) || !IsCopyableVariantType(vt)) {
        return DISP_E_BADVARTYPE;
    }
    if (target == source && source->vt == vt) {
        return S_OK;
    }
    VARIANT value{};
    HRESULT result = Borrow(*source, value);
    if (FAILED(result)) {
        return result;
    }
    VARIANT converted{};
    result = Coerce(value, locale, flags, vt, converted);
    if (FAILED(result)) {
        return result;
    }
    result = VariantClear(target);
    if (FAILED(result)) {
        VariantClear(&converted);
        return result;
    }
    *target = converted;
    return S_OK;
}

extern "C" HRESULT VariantChangeType(VARIANTARG* target, const VARIANTARG* source, USHORT flags,
                                     VARTYPE vt) {
    return VariantChangeTypeEx(target, source, LOCALE_USER_DEFAULT, flags, vt);
}
