// Class identifier text and task memory.
#pragma once

#include "platform/types.h"

extern "C" {
// Frees what StringFromCLSID hands out.
void CoTaskMemFree(LPVOID block);

// The registry form: 38 characters, braces around 8-4-4-4-12 upper-case hexadecimal digits.
int StringFromGUID2(REFGUID guid, LPOLESTR text, int capacity);
HRESULT StringFromCLSID(REFCLSID clsid, LPOLESTR* text);
}
