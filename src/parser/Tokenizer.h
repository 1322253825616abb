// The one driver of the XML tokenizer (expat), for document loading and the streaming parser: it
// creates the tokenizer for UTF-8 input whatever the document declares, feeds it the input in
// pieces and hands each event to its audience. One tokenizer runs one parse.
//
// An event that throws never unwinds through the tokenizer's frames: it stops the tokenizer, the
// audience hears nothing more (not even the end tag the tokenizer still owes for an empty
// element), and the parse fails as out of memory. After a failed read the tokenizer gets nothing
// more, not even an empty last piece: it would hand over what it held back (a carriage return at
// the end of a piece).
#pragma once

#include "parser/ITokenizerAudience.h"
#include "platform/com.h"
#include "text/Text.h"

struct XML_ParserStruct;

namespace Ostrel {

class IDataTransfer;

class Tokenizer {
public:
    // Bytes per piece read from a source; a shorter piece is the last.
    static constexpr LONG kPieceSize = 10000;

    enum class Result { Parsed, Failed, ReadFailed };

    explicit Tokenizer(ITokenizerAudience& audience);
    ~Tokenizer();
    Tokenizer(const Tokenizer&) = delete;
    Tokenizer& operator=(const Tokenizer&) = delete;

    // Whether the tokenizer could be created; nothing else may be called when it could not.
    bool Ready() const { return parser != nullptr; }
    // Reads the source in pieces of kPieceSize bytes until a shorter one. A read that fails or
    // claims more bytes than asked for ends the parse as ReadFailed.
    Result Parse(IDataTransfer& source);
    // The bytes as one last piece.
    Result Parse(const char* bytes, LONG length);
    // After Failed: "<error text> (Line: n, Column: n)", the positions clamped to INT_MAX. A
    // Format result: it keeps its value for five further Format calls.
    const Text& FailureMessage() const;

private:
    struct Events;

    // Gives the tokenizer a piece; false when it reports a failure.
    bool Feed(const char* bytes, LONG length, bool last);

    ITokenizerAudience& audience;
    XML_ParserStruct* parser;
    bool eventFailed = false;
};

} // namespace Ostrel
