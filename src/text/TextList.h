// Lists of strings across the automation boundary: a variant holding a one-dimensional safe
// array of automation strings becomes an array of texts, and back.
//
// None of them throws: running out of memory is answered as E_OUTOFMEMORY, with the target
// empty and no array left locked.
#pragma once

#include "platform/com.h"
#include "text/GrowableArray.h"
#include "text/Text.h"

namespace Ostrel {

// The safe array a variant designates, or null. References to variants are followed
// (FollowReferences) by replacing `variant` with the variant referred to; then an array held by
// value or by reference is the answer. A null reference on the way answers null.
SAFEARRAY* ResolveVariant(VARIANT& variant);

// Clears `target`, then fills it with the strings of the array that `variant` (the caller's own
// copy) designates, in index order; a null or empty string gives an empty text. E_INVALIDARG,
// target empty, unless the variant designates a one-dimensional array whose elements are
// automation strings (the variant's element type, and the array's own, both say so); a failing
// safe array call answers its code, target empty.
HRESULT TextArrayFromVariant(VARIANT variant, GrowableArray<Text>& target);

// Initialises `result` and stores in it (type VT_ARRAY | VT_BSTR) a new one-dimensional array,
// lower bound 0, of the `count` texts as automation strings; the receiver owns it. E_FAIL when
// the array cannot be created; a failure to reach its data keeps the empty array in the variant.
// E_INVALIDARG for a null result, a negative count or missing texts.
HRESULT VariantFromTextArray(const Text* texts, LONG count, VARIANT* result);

} // namespace Ostrel
