#include "streaming/ParseEngine.h"

#include "dispatch/GuardCall.h"
#include "parser/ParseErrorText.h"
#include "parser/TaggedAttributes.h"
#include "streaming/ProxyParserClient.h"
#include "text/Text.h"

#include <expat.h>

#include <climits>
#include <memory>

namespace Ostrel {

namespace {

constexpr LONG kChunkSize = 10000;
constexpr int16_t kAttributesGrowStep = 3;
const char kStreamingError[] = "Error streaming in data";

int ClampedPosition(XML_Size position) {
    return position > static_cast<XML_Size>(INT_MAX) ? INT_MAX : static_cast<int>(position);
}

// One parse: the tokenizer with the client as its audience. An event that cannot be built (the
// memory ran out) stops the tokenizer, which then reports the failure as out of memory.
class ParseSession {
public:
    explicit ParseSession(ProxyParserClient& client) : client(client) {}
    ParseSession(const ParseSession&) = delete;
    ParseSession& operator=(const ParseSession&) = delete;
    ~ParseSession() {
        if (parser != nullptr) {
            XML_ParserFree(parser);
        }
    }

    bool CreateTokenizer();
    // Gives the tokenizer a piece; false when it reports a failure.
    bool Feed(const char* bytes, LONG length, bool final);
    // The tokenizer's failure as the client reads it.
    Text TokenizerMessage() const;

private:
    static void OnStartElement(void* session, const XML_Char* name, const XML_Char** attributes);
    static void OnEndElement(void* session, const XML_Char* name);
    static void OnCharacters(void* session, const XML_Char* bytes, int length);
    static void OnComment(void* session, const XML_Char* text);
    static void OnDocumentType(void* session, const XML_Char* name, const XML_Char* systemId,
                               const XML_Char* publicId, int hasInternalSubset);

    // Runs an event; an exception stops the parse instead of crossing the tokenizer.
    template <typename Event>
    static void Guarded(void* session, Event&& event);

    ProxyParserClient& client;
    XML_Parser parser = nullptr;
    bool outOfMemory = false;
};

bool ParseSession::CreateTokenizer() {
    parser = XML_ParserCreate("utf-8");
    if (parser == nullptr) {
        return false;
    }
    XML_SetUserData(parser, this);
    XML_SetElementHandler(parser, OnStartElement, OnEndElement);
    XML_SetCharacterDataHandler(parser, OnCharacters);
    XML_SetCommentHandler(parser, OnComment);
    XML_SetDoctypeDeclHandler(parser, OnDocumentType, nullptr);
    return true;
}

bool ParseSession::Feed(const char* bytes, LONG length, bool final) {
    return XML_Parse(parser, bytes, length, final ? XML_TRUE : XML_FALSE) != XML_STATUS_ERROR;
}

Text ParseSession::TokenizerMessage() const {
    const int code = outOfMemory ? XML_ERROR_NO_MEMORY : XML_GetErrorCode(parser);
    return Text::Format("%s (Line: %d, Column: %d)", ParseErrorText(code),
                        ClampedPosition(XML_GetCurrentLineNumber(parser)),
                        ClampedPosition(XML_GetCurrentColumnNumber(parser)));
}

template <typename Event>
void ParseSession::Guarded(void* session, Event&& event) {
    auto* self = static_cast<ParseSession*>(session);
    try {
        event(*self);
    } catch (...) {
        self->outOfMemory = true;
        XML_StopParser(self->parser, XML_FALSE);
    }
}

void ParseSession::OnStartElement(void* session, const XML_Char* name,
                                  const XML_Char** attributes) {
    Guarded(session, [&](ParseSession& self) {
        TaggedAttributes pairs(kAttributesGrowStep, kAttributesGrowStep, 0);
        for (const XML_Char** at = attributes; at[0] != nullptr; at += 2) {
            // Of two names that differ only in letter case, the first one stays.
            pairs.Add(Text(at[0]), Text(at[1]));
        }
        self.client.StartElement(Text(name), pairs);
    });
}

void ParseSession::OnEndElement(void* session, const XML_Char* name) {
    Guarded(session, [&](ParseSession& self) { self.client.EndElement(Text(name)); });
}

void ParseSession::OnCharacters(void* session, const XML_Char* bytes, int length) {
    Guarded(session, [&](ParseSession& self) { self.client.Characters(Text(bytes, length)); });
}

void ParseSession::OnComment(void* session, const XML_Char* text) {
    Guarded(session, [&](ParseSession& self) { self.client.Comment(Text(text)); });
}

void ParseSession::OnDocumentType(void* session, const XML_Char* name, const XML_Char*,
                                  const XML_Char*, int) {
    Guarded(session, [&](ParseSession& self) {
        const TaggedAttributes none(kAttributesGrowStep, kAttributesGrowStep, 0);
        self.client.DocumentType(Text(name), none);
    });
}

// The client hears of the failure even when the message cannot be built or delivered.
void DeliverFailure(ProxyParserClient& client, const char* message) {
    GuardCall([&] { return client.ParseError(Text(message)) ? S_OK : E_FAIL; });
}

// The frame shared by both routines: the client, the tokenizer, StartDocument, then `body`
// (which answers S_OK or E_FAIL after delivering its ParseError), then EndDocument.
template <typename Body>
HRESULT RunSession(IDispatch* client, Body&& body) {
    if (client == nullptr) {
        return E_FAIL;
    }
    return GuardCall([&] {
        ProxyParserClient proxy(client);
        ParseSession session(proxy);
        if (!proxy.IsUsable() || !session.CreateTokenizer()) {
            return E_FAIL;
        }
        proxy.StartDocument();
        const HRESULT result = GuardCall([&] { return body(proxy, session); });
        if (result == E_OUTOFMEMORY) {
            DeliverFailure(proxy, ParseErrorText(XML_ERROR_NO_MEMORY));
        }
        proxy.EndDocument();
        return SUCCEEDED(result) ? S_OK : E_FAIL;
    });
}

// Reads and feeds pieces until the last one; answers false with the failure's message. After a
// failure the tokenizer gets nothing more, not even an empty final piece: it would hand over
// what it held back (a carriage return at the end of a piece), and the client must hear nothing
// between ParseError and EndDocument.
bool FeedSource(IDataTransfer& source, ParseSession& session, Text& message) {
    std::unique_ptr<char[]> buffer(new char[kChunkSize]);
    for (;;) {
        uint32_t count = 0;
        if (!source.Read(buffer.get(), kChunkSize, &count) ||
            count > static_cast<uint32_t>(kChunkSize)) {
            message = kStreamingError;
            return false;
        }
        const bool final = count != static_cast<uint32_t>(kChunkSize);
        if (!session.Feed(buffer.get(), static_cast<LONG>(count), final)) {
            message = session.TokenizerMessage();
            return false;
        }
        if (final) {
            return true;
        }
    }
}

} // namespace

HRESULT RunParse(IDataTransfer& source, IDispatch* client) {
    return RunSession(client, [&](ProxyParserClient& proxy, ParseSession& session) {
        Text message;
        if (FeedSource(source, session, message)) {
            return S_OK;
        }
        DeliverFailure(proxy, message.c_str());
        return E_FAIL;
    });
}

// The text is converted into a buffer of its own, not a shared scratch buffer: a client may
// convert strings of its own during the parse while the tokenizer still reads this one.
HRESULT RunStringParse(BSTR xml, IDispatch* client) {
    return RunSession(client, [&](ProxyParserClient& proxy, ParseSession& session) {
        const Text text(xml, false);
        if (session.Feed(text.c_str(), text.Length(), true)) {
            return S_OK;
        }
        DeliverFailure(proxy, session.TokenizerMessage().c_str());
        return E_FAIL;
    });
}

} // namespace Ostrel
