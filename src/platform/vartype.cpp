#include "platform/vartype.h"

#include "platform/bstr.h"

namespace Ostrel::Platform {

namespace {

constexpr VARTYPE flagsAllowed = VT_ARRAY | VT_BYREF;
constexpr VARTYPE unusedTag = 15;

} // namespace

bool IsValidVariantType(VARTYPE vt) {
    VARTYPE base = vt & VT_TYPEMASK;
    VARTYPE flags = vt & ~VT_TYPEMASK;
    if ((flags & ~flagsAllowed) != 0 || base == unusedTag) {
        return false;
    }
    if (flags != 0 && base <= VT_NULL) {
        return false;
    }
    return base < VT_VOID || base == VT_RECORD || base == clsidType;
}

bool IsCopyableVariantType(VARTYPE vt) {
    return IsValidVariantType(vt) && (vt & VT_TYPEMASK) != clsidType;
}

ULONG SizeOfValue(VARTYPE vt) {
    switch (vt) {
    case VT_I1:
    case VT_UI1:
        return 1;
    case VT_I2:
    case VT_UI2:
    case VT_BOOL:
        return 2;
    case VT_I4:
    case VT_UI4:
    case VT_INT:
    case VT_UINT:
    case VT_R4:
    case VT_ERROR:
        return 4;
    case VT_I8:
    case VT_UI8:
    case VT_R8:
    case VT_CY:
    case VT_DATE:
        return 8;
    case VT_BSTR:
        return sizeof(BSTR);
    case VT_DISPATCH:
    case VT_UNKNOWN:
        return sizeof(IUnknown*); // NOLINT(bugprone-sizeof-expression): a pointer is stored
    case VT_DECIMAL:
        return sizeof(DECIMAL);
    case VT_VARIANT:
        return sizeof(VARIANT);
    default:
        return 0;
    }
}

HRESULT CopyString(BSTR source, BSTR& copy) {
    copy = SysAllocStringByteLen(reinterpret_cast<LPCSTR>(source), SysStringByteLen(source));
    return copy == nullptr ? E_OUTOFMEMORY : S_OK;
}

} // namespace Ostrel::Platform
