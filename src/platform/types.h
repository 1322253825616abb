// Basic types, status codes and identifiers of the Linux platform layer, with the names, sizes
// and values that the Windows headers give them.
#pragma once

#include <cstddef>
#include <cstdint>

#define STDMETHODCALLTYPE
#define WINAPI
#define STDAPI extern "C" HRESULT
#define OLESTR(text) u##text

typedef int32_t LONG;
typedef uint32_t ULONG;
typedef uint32_t DWORD;
typedef int32_t INT;
typedef uint32_t UINT;
typedef int32_t BOOL;
typedef int16_t SHORT;
typedef uint16_t USHORT;
typedef uint16_t WORD;
typedef uint8_t BYTE;
typedef char CHAR;
typedef int64_t LONGLONG;
typedef uint64_t ULONGLONG;
typedef float FLOAT;
typedef double DOUBLE;
typedef void* PVOID;
typedef void* LPVOID;
typedef const void* LPCVOID;
typedef char16_t WCHAR;
typedef char16_t OLECHAR;
typedef OLECHAR* LPOLESTR;
typedef const OLECHAR* LPCOLESTR;
typedef WCHAR* LPWSTR;
typedef const WCHAR* LPCWSTR;
typedef const WCHAR* LPCWCH;
typedef char* LPSTR;
typedef const char* LPCSTR;
typedef const char* LPCCH;
typedef BOOL* LPBOOL;
typedef BYTE* LPBYTE;
typedef const BYTE* LPCBYTE;
typedef DWORD* LPDWORD;
typedef int32_t HRESULT;
typedef int32_t SCODE;
typedef DWORD LCID;
typedef LONG DISPID;
typedef DISPID MEMBERID;
typedef uint16_t VARTYPE;
typedef short VARIANT_BOOL;
typedef OLECHAR* BSTR;
typedef double DATE;
typedef void* HMODULE;
typedef void* HINSTANCE;
typedef uintptr_t ULONG_PTR;
typedef size_t SIZE_T;

#define TRUE 1
#define FALSE 0
#define MAX_PATH 260

#define VARIANT_TRUE ((VARIANT_BOOL)-1)
#define VARIANT_FALSE ((VARIANT_BOOL)0)

#define SUCCEEDED(hr) (((HRESULT)(hr)) >= 0)
#define FAILED(hr) (((HRESULT)(hr)) < 0)

constexpr HRESULT S_OK = 0;
constexpr HRESULT S_FALSE = 1;
constexpr HRESULT E_NOTIMPL = (HRESULT)0x80004001;
constexpr HRESULT E_NOINTERFACE = (HRESULT)0x80004002;
constexpr HRESULT E_POINTER = (HRESULT)0x80004003;
constexpr HRESULT E_ABORT = (HRESULT)0x80004004;
constexpr HRESULT E_FAIL = (HRESULT)0x80004005;
constexpr HRESULT E_UNEXPECTED = (HRESULT)0x8000FFFF;
constexpr HRESULT E_ACCESSDENIED = (HRESULT)0x80070005;
constexpr HRESULT E_HANDLE = (HRESULT)0x80070006;
constexpr HRESULT E_OUTOFMEMORY = (HRESULT)0x8007000E;
constexpr HRESULT E_INVALIDARG = (HRESULT)0x80070057;
constexpr HRESULT CLASS_E_NOAGGREGATION = (HRESULT)0x80040110;
constexpr HRESULT CLASS_E_CLASSNOTAVAILABLE = (HRESULT)0x80040111;
// A self-registering server could not write its class keys.
constexpr HRESULT SELFREG_E_CLASS = (HRESULT)0x80040201;
constexpr HRESULT REGDB_E_CLASSNOTREG = (HRESULT)0x80040154;
constexpr HRESULT CO_E_CLASSSTRING = (HRESULT)0x800401F3;
constexpr HRESULT CO_E_DLLNOTFOUND = (HRESULT)0x800401F8;
constexpr HRESULT CO_E_ERRORINDLL = (HRESULT)0x800401F9;

// The Win32 error codes that the layer reports through GetLastError and the registry calls.
constexpr LONG ERROR_SUCCESS = 0;
constexpr LONG ERROR_FILE_NOT_FOUND = 2;
constexpr LONG ERROR_PATH_NOT_FOUND = 3;
constexpr LONG ERROR_ACCESS_DENIED = 5;
constexpr LONG ERROR_INVALID_HANDLE = 6;
constexpr LONG ERROR_NOT_ENOUGH_MEMORY = 8;
constexpr LONG ERROR_INVALID_PARAMETER = 87;
constexpr LONG ERROR_INSUFFICIENT_BUFFER = 122;
constexpr LONG ERROR_NO_UNICODE_TRANSLATION = 1113;
constexpr LONG ERROR_MORE_DATA = 234;
constexpr LONG ERROR_NO_MORE_ITEMS = 259;
constexpr LONG ERROR_BADDB = 1009;
constexpr LONG ERROR_BADKEY = 1010;
constexpr LONG ERROR_CANTOPEN = 1011;
constexpr LONG ERROR_CANTREAD = 1012;
constexpr LONG ERROR_CANTWRITE = 1013;
constexpr LONG ERROR_MOD_NOT_FOUND = 126;

#define HRESULT_FROM_WIN32(code)                                                                   \
    ((HRESULT)(code) <= 0 ? (HRESULT)(code)                                                        \
                          : (HRESULT)(((uint32_t)(code)&0x0000FFFF) | (7u << 16) | 0x80000000u))

struct GUID {
    uint32_t Data1;
    uint16_t Data2;
    uint16_t Data3;
    uint8_t Data4[8];
};
static_assert(sizeof(GUID) == 16, "GUID is 16 bytes");

typedef GUID IID;
typedef GUID CLSID;
typedef const GUID& REFGUID;
typedef const IID& REFIID;
typedef const CLSID& REFCLSID;
typedef CLSID* LPCLSID;

inline bool IsEqualGUID(REFGUID a, REFGUID b) {
    return a.Data1 == b.Data1 && a.Data2 == b.Data2 && a.Data3 == b.Data3 &&
           a.Data4[0] == b.Data4[0] && a.Data4[1] == b.Data4[1] && a.Data4[2] == b.Data4[2] &&
           a.Data4[3] == b.Data4[3] && a.Data4[4] == b.Data4[4] && a.Data4[5] == b.Data4[5] &&
           a.Data4[6] == b.Data4[6] && a.Data4[7] == b.Data4[7];
}
inline bool IsEqualIID(REFIID a, REFIID b) {
    return IsEqualGUID(a, b);
}
inline bool IsEqualCLSID(REFCLSID a, REFCLSID b) {
    return IsEqualGUID(a, b);
}
inline bool operator==(REFGUID a, REFGUID b) {
    return IsEqualGUID(a, b);
}
inline bool operator!=(REFGUID a, REFGUID b) {
    return !IsEqualGUID(a, b);
}

extern "C" const IID GUID_NULL;
#define IID_NULL GUID_NULL
#define CLSID_NULL GUID_NULL

// The calling thread's last error, as GetLastError/SetLastError keep it on Windows.
extern "C" DWORD GetLastError();
extern "C" void SetLastError(DWORD code);
