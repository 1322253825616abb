// Error information: one error object per thread, handed from callee to caller.
#pragma once

#include "platform/interfaces.h"

extern "C" {
HRESULT CreateErrorInfo(ICreateErrorInfo** info);
HRESULT SetErrorInfo(ULONG reserved, IErrorInfo* info);
HRESULT GetErrorInfo(ULONG reserved, IErrorInfo** info);
}
