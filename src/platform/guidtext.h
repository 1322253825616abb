// Reading the registry form of an identifier. Internal to the platform layer.
#pragma once

#include "platform/types.h"

namespace Ostrel {

// Braces around 8-4-4-4-12 hexadecimal digits, without the terminator.
constexpr int guidTextLength = 38;

// Parses the registry form only, in either letter case; CLSIDFromString adds the
// programmatic-identifier fallback. The guid is untouched when the text does not parse.
bool ParseGuidText(LPCOLESTR text, GUID* guid);

} // namespace Ostrel
