#include "parser/Tokenizer.h"

#include "parser/ParseErrorText.h"
#include "transfer/IDataTransfer.h"

#include <expat.h>

#include <climits>
#include <cstdint>

namespace Ostrel {

namespace {

int Clamped(XML_Size position) {
    return position > static_cast<XML_Size>(INT_MAX) ? INT_MAX : static_cast<int>(position);
}

} // namespace

// The tokenizer's handlers: each runs its event unless an earlier one failed, and turns an
// exception into a stop.
struct Tokenizer::Events {
    template <typename Event>
    static void Guarded(void* data, Event&& event) {
        auto* tokenizer = static_cast<Tokenizer*>(data);
        if (tokenizer->eventFailed) {
            return;
        }
        try {
            event(tokenizer->audience);
        } catch (...) {
            tokenizer->eventFailed = true;
            XML_StopParser(tokenizer->parser, XML_FALSE);
        }
    }

    static void XMLCALL StartElement(void* data, const XML_Char* name,
                                     const XML_Char** attributes) {
        Guarded(data,
                [&](ITokenizerAudience& audience) { audience.StartElement(name, attributes); });
    }
    static void XMLCALL EndElement(void* data, const XML_Char* name) {
        Guarded(data, [&](ITokenizerAudience& audience) { audience.EndElement(name); });
    }
    static void XMLCALL Characters(void* data, const XML_Char* bytes, int length) {
        Guarded(data, [&](ITokenizerAudience& audience) { audience.Characters(bytes, length); });
    }
    static void XMLCALL Comment(void* data, const XML_Char* text) {
        Guarded(data, [&](ITokenizerAudience& audience) { audience.Comment(text); });
    }
    static void XMLCALL DocumentType(void* data, const XML_Char* name, const XML_Char* systemId,
                                     const XML_Char* publicId, int) {
        Guarded(data, [&](ITokenizerAudience& audience) {
            audience.StartDocumentType(name, systemId, publicId);
        });
    }
};

Tokenizer::Tokenizer(ITokenizerAudience& audience)
    : audience(audience), parser(XML_ParserCreate("utf-8")) {
    if (parser == nullptr) {
        return;
    }
    XML_SetUserData(parser, this);
    XML_SetElementHandler(parser, Events::StartElement, Events::EndElement);
    XML_SetCharacterDataHandler(parser, Events::Characters);
    XML_SetCommentHandler(parser, Events::Comment);
    XML_SetDoctypeDeclHandler(parser, Events::DocumentType, nullptr);
}

Tokenizer::~Tokenizer() {
    if (parser != nullptr) {
        XML_ParserFree(parser);
    }
}

Tokenizer::Result Tokenizer::Parse(IDataTransfer& source) {
    char piece[kPieceSize];
    for (;;) {
        uint32_t delivered = 0;
        // A count beyond the piece would have the tokenizer read past it: such a source is as
        // broken as one that fails.
        if (!source.Read(piece, kPieceSize, &delivered) ||
            delivered > static_cast<uint32_t>(kPieceSize)) {
            return Result::ReadFailed;
        }
        const bool last = delivered < static_cast<uint32_t>(kPieceSize);
        if (!Feed(piece, static_cast<LONG>(delivered), last)) {
            return Result::Failed;
        }
        if (last) {
            return Result::Parsed;
        }
    }
}

Tokenizer::Result Tokenizer::Parse(const char* bytes, LONG length) {
    return Feed(bytes, length, true) ? Result::Parsed : Result::Failed;
}

const Text& Tokenizer::FailureMessage() const {
    const int code = eventFailed ? XML_ERROR_NO_MEMORY : XML_GetErrorCode(parser);
    return Text::Format("%s (Line: %d, Column: %d)", ParseErrorText(code),
                        Clamped(XML_GetCurrentLineNumber(parser)),
                        Clamped(XML_GetCurrentColumnNumber(parser)));
}

bool Tokenizer::Feed(const char* bytes, LONG length, bool last) {
    return XML_Parse(parser, bytes, static_cast<int>(length), last ? XML_TRUE : XML_FALSE) ==
           XML_STATUS_OK;
}

} // namespace Ostrel
