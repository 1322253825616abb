// Conversions between the type library's UTF-8 text and automation strings.
#pragma once

#include "platform/types.h"

#include <string>

namespace Ostrel {

using OleString = std::basic_string<OLECHAR>;

// False for text that is not valid UTF-8.
bool Utf8ToOle(const std::string& text, OleString& converted);
// False for text that is not valid UTF-16 (unpaired surrogates).
bool OleToUtf8(const OLECHAR* text, size_t length, std::string& converted);
bool OleToUtf8(const OLECHAR* text, std::string& converted);

// Names in type libraries match without regard to case; they are ASCII identifiers.
bool SameNameIgnoringCase(const OLECHAR* a, const OleString& b);
OleString FoldedName(const OleString& name);

// An automation string of the text; null for empty text, as type libraries answer for none.
BSTR AllocTextOrNull(const OleString& text);

} // namespace Ostrel
