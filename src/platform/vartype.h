// What the variant, conversion and safe-array code needs to know about a type tag. Internal to
// the platform layer.
#pragma once

#include "platform/variant.h"

namespace Ostrel::Platform {

// VT_CLSID is a valid tag for clearing only; no value of it can be copied or converted.
constexpr VARTYPE clsidType = 72;

// A tag that VariantClear accepts: a known base type, by value, by reference or as an array.
bool IsValidVariantType(VARTYPE vt);

// A tag whose values can be copied and converted.
bool IsCopyableVariantType(VARTYPE vt);

// Bytes that one value of the base type occupies in a safe array or behind a reference; 0 for
// the types that have no such storage (VT_EMPTY, VT_NULL, VT_RECORD and the non-automation tags).
ULONG SizeOfValue(VARTYPE vt);

// A new automation string with the same bytes; a null string copies as an empty one.
HRESULT CopyString(BSTR source, BSTR& copy);

} // namespace Ostrel::Platform
