// The arguments a host passes in a call by name. Each is a VARIANT that owns what it holds (a
// new automation string, a reference of its own on an object), so that the call can take it over
// and clear it; a by-reference argument only points at storage the caller keeps.
#pragma once

#include "platform/com.h"

#include <string>

namespace Ostrel {

VARIANT TextArgument(const std::string& utf8);
VARIANT IntegerArgument(LONG value);
// Takes a reference of its own on `object` (which may be null).
VARIANT ObjectArgument(IDispatch* object);
// An argument by reference to storage the caller keeps and clears: a string the call fills in
// (VT_BSTR), a script's variable (VT_VARIANT).
VARIANT ReferenceArgument(VARTYPE type, void* target);

} // namespace Ostrel
