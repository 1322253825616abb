// Regions of pages straight from the system, as VirtualAlloc and VirtualFree hand them out.
//
// Only what the component asks for is offered: a new region reserved and committed at once,
// readable and writable, and its release as a whole. On Linux a region of 2 MiB or more starts
// on a 2 MiB boundary, so that the kernel can back it with transparent huge pages where its
// setting gives them to all memory (`always`); its pages read as zero until written, as on
// Windows.
#pragma once

#include "platform/types.h"

constexpr DWORD MEM_COMMIT = 0x00001000;
constexpr DWORD MEM_RESERVE = 0x00002000;
constexpr DWORD MEM_RELEASE = 0x00008000;
constexpr DWORD PAGE_READWRITE = 0x04;

extern "C" {
// Null (last error ERROR_INVALID_PARAMETER) for a given address, a size of 0, a type other than
// MEM_COMMIT | MEM_RESERVE or a protection other than PAGE_READWRITE; null (last error
// ERROR_NOT_ENOUGH_MEMORY) when the system has no room.
LPVOID VirtualAlloc(LPVOID address, SIZE_T size, DWORD allocationType, DWORD protect);
// MEM_RELEASE with size 0 of a region's start only; FALSE (ERROR_INVALID_PARAMETER) otherwise.
BOOL VirtualFree(LPVOID address, SIZE_T size, DWORD freeType);
}
