// UTF-8 forms of texts and automation strings. A text holds the bytes of the ANSI code page, but
// a document that leaves the process declares UTF-8 and the tokenizer reads UTF-8; the two agree
// only where the ANSI page is UTF-8 (always on Linux). On a single-byte page a host's e with acute
// accent is held as the one byte 0xE9, which no UTF-8 reader accepts.
#pragma once

#include "platform/com.h"
#include "text/Text.h"

#include <cstddef>

namespace Ostrel {

// Whether the ANSI code page is UTF-8: every text is then its own UTF-8 form.
bool AnsiPageIsUtf8();

// Whether the bytes are well-formed UTF-8: no stray continuation byte, cut sequence, overlong
// form, surrogate or value past U+10FFFF. Runs of ASCII are checked eight bytes at a time, and
// nothing is allocated: writers ask this of every text they write.
bool IsUtf8(const char* chars, size_t length);

// The UTF-8 of the bytes read in the ANSI code page (0xE9 of the Western page gives C3 A9). Where
// that page is UTF-8, ill-formed bytes read as U+FFFD.
Text Utf8FromAnsi(const char* chars, LONG length);

// The automation string as UTF-8: its ANSI form when that is UTF-8 already (always where the page
// is UTF-8; on a single-byte page the bytes of a host that writes the characters of UTF-8 bytes,
// which stay as they are), else the string's own conversion from UTF-16, measured again since a
// unit may take three bytes, with U+FFFD for an unpaired surrogate. With `useScratch`, a short ANSI
// form borrows a scratch buffer as Text(BSTR, true) does.
Text Utf8FromAutomationString(BSTR source, bool useScratch);

} // namespace Ostrel
