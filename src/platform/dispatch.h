// Late binding driven by type information: names to dispatch identifiers, and calls.
#pragma once

#include "platform/interfaces.h"

extern "C" {
// Looks the names up in the type information without regard to case: the first is a member
// name, the rest are names of its parameters. Unknown names get DISPID_UNKNOWN and the call
// answers DISP_E_UNKNOWNNAME.
HRESULT DispGetIDsOfNames(ITypeInfo* typeInfo, LPOLESTR* names, UINT count, DISPID* ids);

// Calls the member `id` of `instance` through its virtual function table, as the interface
// half of the type information describes it: arguments (last first in params->rgvarg) are
// coerced to the declared types, by-reference arguments are written back, the [out, retval]
// parameter becomes *result, and a failing method becomes DISP_E_EXCEPTION with *exception
// filled from the thread's error information.
HRESULT DispInvoke(void* instance, ITypeInfo* typeInfo, DISPID id, WORD flags, DISPPARAMS* params,
                   VARIANT* result, EXCEPINFO* exception, UINT* argumentError);
}
