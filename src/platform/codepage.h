// Code-page conversion. On Linux the ANSI code page is UTF-8, so host strings and document text
// agree; invalid input is replaced by U+FFFD and nothing is read or written out of bounds.
#pragma once

#include "platform/types.h"

constexpr UINT CP_ACP = 0;
constexpr UINT CP_OEMCP = 1;
constexpr UINT CP_THREAD_ACP = 3;
constexpr UINT CP_UTF8 = 65001;

constexpr DWORD MB_PRECOMPOSED = 0x1;
constexpr DWORD MB_ERR_INVALID_CHARS = 0x8;
constexpr DWORD WC_ERR_INVALID_CHARS = 0x80;

extern "C" {
// The ANSI code page: always CP_UTF8 here.
UINT GetACP();
int MultiByteToWideChar(UINT codePage, DWORD flags, LPCCH source, int sourceLength, LPWSTR target,
                        int targetLength);
int WideCharToMultiByte(UINT codePage, DWORD flags, LPCWCH source, int sourceLength, LPSTR target,
                        int targetLength, LPCCH defaultChar, LPBOOL usedDefaultChar);
}
