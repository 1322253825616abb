// Conversions between the tool's UTF-8 text and automation strings, which the platform keeps as
// UTF-16 with a length prefix. Nothing is cut at a NUL: the length travels with the string.
#pragma once

#include "platform/com.h"

#include <string>

namespace Ostrel {

// A new automation string the receiver frees; null only when memory ran out.
BSTR ToBstr(const std::string& text);
// The text of an automation string; a null string is empty.
std::string FromBstr(BSTR text);

} // namespace Ostrel
