// Late binding driven by type information: names to dispatch identifiers, and calls.
#pragma once

#include "platform/interfaces.h"

extern "C" {
// Looks the names up in the type information without regard to case: the first is a member
// name, the rest are names of its parameters. Unknown names get DISPID_UNKNOWN and the call
// answers DISP_E_UNKNOWNNAME.
HRESULT DispGetIDsOfNames(ITypeInfo* typeInfo, LPOLESTR* names, UINT count, DISPID* ids);

// Calls the member `id` of `instance` through its virtual function table, as the interface
// half of the type information describes it (the dispatch half leads there). A method answers
// DISPATCH_METHOD, DISPATCH_PROPERTYGET or both. Arguments (last first in params->rgvarg) are
// coerced to the declared types, by-reference arguments receive the out-values, and the
// [out, retval] value becomes *result. A failing method gives DISP_E_EXCEPTION; *exception, when
// given, is filled from the thread's error information, which stays in place otherwise.
HRESULT DispInvoke(void* instance, ITypeInfo* typeInfo, DISPID id, WORD flags, DISPPARAMS* params,
                   VARIANT* result, EXCEPINFO* exception, UINT* argumentError);
}
