// A type library that the module registers: its file and the identity it is registered under.
#pragma once

#include "platform/com.h"
#include "text/Text.h"

#include <cstdint>

namespace Ostrel {

struct TypeLibraryRecord {
    Text path;
    GUID library;
    uint16_t major;
    uint16_t minor;
};

} // namespace Ostrel
