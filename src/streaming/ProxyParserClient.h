// The engine's handle on a host's parser client for the length of one parse.
//
// A client that answers IDispatchXMLParserClient is called through its interface table. One that
// only answers IDispatch (a script object) gets the same events by name: the names are looked up
// once, here, and an event the object has no member for is skipped. An object that has neither
// the interface nor any of the names is not usable, and the engine then delivers nothing.
//
// The proxy holds a reference on the client from construction to destruction, so a client that
// lets go of itself during an event stays alive until the parse ends.
//
// Forwarding operations convert each text to a new automation string, call the client, free the
// string, and answer whether the client's result was a success code (false as well without a
// usable client). Running out of memory while converting throws std::bad_alloc.
#pragma once

#include "dispatch/NamedDispatch.h"
#include "parser/ITaggedAttributes.h"
#include "platform/com.h"
#include "pravell_idl.h"
#include "text/Text.h"

#include <memory>

namespace Ostrel {

class ProxyParserClient {
public:
    // Throws std::bad_alloc when the by-name path cannot be set up.
    explicit ProxyParserClient(IDispatch* client);
    ProxyParserClient(const ProxyParserClient&) = delete;
    ProxyParserClient& operator=(const ProxyParserClient&) = delete;
    virtual ~ProxyParserClient();

    // Whether the client answers the interface or any of the event names.
    bool IsUsable() const;

    // Texts come as the tokenizer hands them over, NUL-terminated or with their length, and go
    // straight into the automation string: an event costs no narrow copy.
    bool Characters(const char* bytes, LONG length);
    // The attributes are copied into a new attributes object, which lives on only if the client
    // keeps a reference to it.
    bool StartElement(const char* name, const ITaggedAttributes& attributes);
    bool EndElement(const char* name);
    bool Comment(const char* text);
    bool DocumentType(const char* name, const ITaggedAttributes& attributes);
    bool ParseError(const char* message);
    bool StartDocument();
    bool EndDocument();

private:
    // In the order of the client interface, which is also the order of the names.
    enum Event : UINT {
        kCharacters,
        kStartElement,
        kEndElement,
        kComment,
        kDocumentType,
        kParseError,
        kStartDocument,
        kEndDocument,
        kEventCount
    };

    bool SendText(Event event, const char* text, LONG length);
    bool SendTag(Event event, const char* name, const ITaggedAttributes& attributes);
    // Calls the event with the string (owned by the caller) and the attributes as they apply.
    HRESULT Deliver(Event event, BSTR text, IDispatch* attributes);
    HRESULT DeliverTyped(Event event, BSTR text, IDispatch* attributes);
    HRESULT DeliverByName(Event event, BSTR text, IDispatch* attributes);

    IDispatch* client;
    // Held with its own reference when the client answers the interface.
    IDispatchXMLParserClient* typed = nullptr;
    // Set up only when it does not.
    std::unique_ptr<NamedDispatch> byName;
};

} // namespace Ostrel
