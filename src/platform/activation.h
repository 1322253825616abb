// Activation: class identifiers from programmatic identifiers, and in-process servers found
// through the registry and loaded into the process.
#pragma once

#include "platform/interfaces.h"

constexpr DWORD CLSCTX_INPROC_SERVER = 0x1;
constexpr DWORD CLSCTX_INPROC_HANDLER = 0x2;
constexpr DWORD CLSCTX_LOCAL_SERVER = 0x4;
constexpr DWORD CLSCTX_REMOTE_SERVER = 0x10;
constexpr DWORD CLSCTX_INPROC = CLSCTX_INPROC_SERVER | CLSCTX_INPROC_HANDLER;
constexpr DWORD CLSCTX_SERVER = CLSCTX_INPROC_SERVER | CLSCTX_LOCAL_SERVER | CLSCTX_REMOTE_SERVER;
constexpr DWORD CLSCTX_ALL = CLSCTX_SERVER | CLSCTX_INPROC_HANDLER;

constexpr DWORD COINIT_MULTITHREADED = 0x0;
constexpr DWORD COINIT_APARTMENTTHREADED = 0x2;

constexpr HRESULT REGDB_E_READREGDB = (HRESULT)0x80040150;

// The two entry points that every in-process server exports.
typedef HRESULT (*LPFNGETCLASSOBJECT)(REFCLSID clsid, REFIID riid, LPVOID* object);
typedef HRESULT (*LPFNCANUNLOADNOW)();

extern "C" {
HRESULT CoInitialize(LPVOID reserved);
HRESULT CoInitializeEx(LPVOID reserved, DWORD model);
void CoUninitialize();

HRESULT CLSIDFromString(LPCOLESTR text, LPCLSID clsid);
HRESULT CLSIDFromProgID(LPCOLESTR progId, LPCLSID clsid);

// In-process servers only: CLSID\{clsid}\InProcServer32 names the library.
HRESULT CoGetClassObject(REFCLSID clsid, DWORD context, LPVOID serverInfo, REFIID riid,
                         LPVOID* object);
HRESULT CoCreateInstance(REFCLSID clsid, LPUNKNOWN outer, DWORD context, REFIID riid,
                         LPVOID* object);
// Unloads every loaded server whose DllCanUnloadNow answers S_OK.
void CoFreeUnusedLibraries();
}
