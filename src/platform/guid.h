// Class identifier text and task memory.
#pragma once

#include "platform/types.h"

extern "C" {
LPVOID CoTaskMemAlloc(SIZE_T size);
LPVOID CoTaskMemRealloc(LPVOID block, SIZE_T size);
void CoTaskMemFree(LPVOID block);

// The registry form: 38 characters, braces around 8-4-4-4-12 upper-case hexadecimal digits.
int StringFromGUID2(REFGUID guid, LPOLESTR text, int capacity);
HRESULT StringFromCLSID(REFCLSID clsid, LPOLESTR* text);
HRESULT StringFromIID(REFIID iid, LPOLESTR* text);
HRESULT IIDFromString(LPCOLESTR text, IID* iid);
}

// Parses the registry form only; CLSIDFromString adds the programmatic-identifier fallback.
bool ParseGuidText(LPCOLESTR text, GUID* guid);
