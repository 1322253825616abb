// Module information over the dynamic loader. A module handle is a handle from dlopen or any
// address inside a loaded module; the null handle stands for the executable.
#pragma once

#include "platform/interfaces.h"

// Separates the directories of a module's file name.
constexpr char PATH_SEPARATOR_CHAR = '/';

constexpr UINT SEM_FAILCRITICALERRORS = 0x0001;
constexpr UINT SEM_NOGPFAULTERRORBOX = 0x0002;
constexpr UINT SEM_NOALIGNMENTFAULTEXCEPT = 0x0004;
constexpr UINT SEM_NOOPENFILEERRORBOX = 0x8000;

extern "C" {
DWORD GetModuleFileNameA(HMODULE module, LPSTR fileName, DWORD size);
DWORD GetLongPathNameA(LPCSTR shortPath, LPSTR longPath, DWORD size);
// Does not take a reference on the module, as on Windows.
HMODULE GetModuleHandleA(LPCSTR moduleName);
// Keeps the mode only to return it; the layer never shows error boxes.
UINT SetErrorMode(UINT mode);
}
