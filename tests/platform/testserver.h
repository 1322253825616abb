// The identity of the tiny in-process server that the activation and module tests load.
#pragma once

#include "platform/com.h"

// {6B1C2D3E-4F50-4A61-9B72-8C93D4E5F607}
const CLSID CLSID_TestServerObject = {
    0x6B1C2D3E, 0x4F50, 0x4A61, {0x9B, 0x72, 0x8C, 0x93, 0xD4, 0xE5, 0xF6, 0x07}};
