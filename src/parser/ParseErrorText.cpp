#include "parser/ParseErrorText.h"

#include <expat.h>

namespace Ostrel {

namespace {

// Indexed by the tokenizer's error code. A partial character at the end of the input (6) reads
// as an unclosed token.
const char* const kErrorTable[] = {
    "",
    "out of memory",
    "syntax error",
    "no element found",
    "not well-formed",
    "unclosed token",
    "unclosed token",
    "mismatched tag",
    "duplicate attribute",
    "junk after document element",
    "illegal parameter entity reference",
    "undefined entity",
    "recursive entity reference",
    "asynchronous entity",
    "reference to invalid character number",
    "reference to binary entity",
    "reference to external entity in attribute",
    "xml processing instruction not at start of external entity",
    "unknown encoding",
    "encoding specified in XML declaration is incorrect",
    "unclosed CDATA section",
    "error in processing external entity reference",
    "document is not standalone",
};

constexpr int kTableRows = sizeof(kErrorTable) / sizeof(kErrorTable[0]);

} // namespace

const char* ParseErrorText(int code) {
    if (code > 0 && code < kTableRows) {
        return kErrorTable[code];
    }
    const XML_LChar* own = XML_ErrorString(static_cast<XML_Error>(code));
    return own == nullptr ? "" : own;
}

} // namespace Ostrel
