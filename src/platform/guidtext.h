// Reading the registry form of an identifier. Internal to the platform layer.
#pragma once

#include "platform/types.h"

namespace Ostrel {

// Braces around 8-4-4-4-12 hexadecimal digits, without the terminator.
constexpr int guidTextLength = 38;

// Reads the registry form, in either letter case, as the system reads it: field by field and
// digit by digit into `guid`, so that a text that breaks off leaves what was read before the
// fault, and a text that does not open with a brace leaves the null identifier.
bool ReadGuidText(LPCOLESTR text, GUID* guid);

// The same reading, but the guid is untouched when the text does not parse.
bool ParseGuidText(LPCOLESTR text, GUID* guid);

} // namespace Ostrel
