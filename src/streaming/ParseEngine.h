// The streaming parse engine: one whole parse inside one call, every tokenizer event turned into
// one call on the host's client, synchronously.
//
// Events: StartDocument; then, in document order, StartElement (the tag's attributes sorted by
// name, letter case aside, in a new attributes object), EndElement, Characters (each piece the
// tokenizer cuts, none joined or dropped), Comment, and DocumentType (with an empty attributes
// object) at a document type declaration; at the first failure one ParseError; and EndDocument
// after every StartDocument. The answer is S_OK when the whole input was parsed, E_FAIL
// otherwise. A null client, or one that answers neither the client interface nor any event by
// name, gets no event and E_FAIL. The client's answers are ignored: it cannot stop a parse.
//
// Input is always read as UTF-8, whatever the document declares. Nothing throws.
#pragma once

#include "platform/com.h"
#include "transfer/IDataTransfer.h"

namespace Ostrel {

// Reads the source in pieces of 10000 bytes; a shorter piece is the last. A failed read, or one
// that reports more bytes than asked for, is reported as "Error streaming in data".
HRESULT RunParse(IDataTransfer& source, IDispatch* client);

// Parses the text (up to its first NUL character) as one final piece; null parses as empty.
HRESULT RunStringParse(BSTR xml, IDispatch* client);

} // namespace Ostrel
