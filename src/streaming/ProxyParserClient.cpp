#include "streaming/ProxyParserClient.h"

#include "streaming/HDispatchTaggedAttributes.h"

#include <cstring>

namespace Ostrel {

namespace {

const OLECHAR* const kEventNames[] = {
    OLESTR("Characters"),   OLESTR("StartElement"), OLESTR("EndElement"),    OLESTR("Comment"),
    OLESTR("DocumentType"), OLESTR("ParseError"),   OLESTR("StartDocument"), OLESTR("EndDocument"),
};

// Frees an automation string when the call it was made for is over.
class OwnedString {
public:
    explicit OwnedString(BSTR text) : text(text) {}
    OwnedString(const OwnedString&) = delete;
    OwnedString& operator=(const OwnedString&) = delete;
    ~OwnedString() { SysFreeString(text); }
    BSTR Get() const { return text; }

private:
    BSTR text;
};

// Drops the engine's reference on an attributes object after the call.
class AttributesReference {
public:
    AttributesReference() : object(new HDispatchTaggedAttributes) { object->AddRef(); }
    AttributesReference(const AttributesReference&) = delete;
    AttributesReference& operator=(const AttributesReference&) = delete;
    ~AttributesReference() { object->Release(); }
    HDispatchTaggedAttributes* Get() const { return object; }

private:
    HDispatchTaggedAttributes* object;
};

LONG LengthOf(const char* text) {
    return static_cast<LONG>(std::strlen(text));
}

} // namespace

ProxyParserClient::ProxyParserClient(IDispatch* client) : client(client) {
    if (client == nullptr) {
        return;
    }
    client->AddRef();
    void* found = nullptr;
    if (SUCCEEDED(client->QueryInterface(IID_IDispatchXMLParserClient, &found)) &&
        found != nullptr) {
        typed = static_cast<IDispatchXMLParserClient*>(found);
        return;
    }
    try {
        byName = std::make_unique<NamedDispatch>(client, kEventNames, kEventCount);
    } catch (...) {
        client->Release();
        throw;
    }
}

ProxyParserClient::~ProxyParserClient() {
    byName.reset();
    if (typed != nullptr) {
        typed->Release();
        typed = nullptr;
    }
    if (client != nullptr) {
        client->Release();
        client = nullptr;
    }
}

bool ProxyParserClient::IsUsable() const {
    return typed != nullptr || (byName != nullptr && byName->HasAny());
}

bool ProxyParserClient::Characters(const char* bytes, LONG length) {
    return SendText(kCharacters, bytes, length);
}

bool ProxyParserClient::StartElement(const char* name, const ITaggedAttributes& attributes) {
    return SendTag(kStartElement, name, attributes);
}

bool ProxyParserClient::EndElement(const char* name) {
    return SendText(kEndElement, name, LengthOf(name));
}

bool ProxyParserClient::Comment(const char* text) {
    return SendText(kComment, text, LengthOf(text));
}

bool ProxyParserClient::DocumentType(const char* name, const ITaggedAttributes& attributes) {
    return SendTag(kDocumentType, name, attributes);
}

bool ProxyParserClient::ParseError(const char* message) {
    return SendText(kParseError, message, LengthOf(message));
}

bool ProxyParserClient::StartDocument() {
    return IsUsable() && SUCCEEDED(Deliver(kStartDocument, nullptr, nullptr));
}

bool ProxyParserClient::EndDocument() {
    return IsUsable() && SUCCEEDED(Deliver(kEndDocument, nullptr, nullptr));
}

bool ProxyParserClient::SendText(Event event, const char* text, LONG length) {
    if (!IsUsable()) {
        return false;
    }
    OwnedString string(Text::ToBSTR(text, length));
    return SUCCEEDED(Deliver(event, string.Get(), nullptr));
}

bool ProxyParserClient::SendTag(Event event, const char* name,
                                const ITaggedAttributes& attributes) {
    if (!IsUsable()) {
        return false;
    }
    AttributesReference object;
    object.Get()->Attributes().Clear();
    attributes.CopyTo(object.Get()->Attributes());
    OwnedString string(Text::ToBSTR(name, LengthOf(name)));
    return SUCCEEDED(Deliver(event, string.Get(), object.Get()));
}

HRESULT ProxyParserClient::Deliver(Event event, BSTR text, IDispatch* attributes) {
    return typed != nullptr ? DeliverTyped(event, text, attributes)
                            : DeliverByName(event, text, attributes);
}

HRESULT ProxyParserClient::DeliverTyped(Event event, BSTR text, IDispatch* attributes) {
    switch (event) {
    case kCharacters:
        return typed->Characters(text);
    case kStartElement:
        return typed->StartElement(text, attributes);
    case kEndElement:
        return typed->EndElement(text);
    case kComment:
        return typed->Comment(text);
    case kDocumentType:
        return typed->DocumentType(text, attributes);
    case kParseError:
        return typed->ParseError(text);
    case kStartDocument:
        return typed->StartDocument();
    case kEndDocument:
        return typed->EndDocument();
    case kEventCount:
        break;
    }
    return E_FAIL;
}

// Arguments are handed over as borrowed values: the call does not own them.
HRESULT ProxyParserClient::DeliverByName(Event event, BSTR text, IDispatch* attributes) {
    if (!byName->Has(event)) {
        return S_OK;
    }
    VARIANT arguments[2];
    UINT count = 0;
    if (event != kStartDocument && event != kEndDocument) {
        VariantInit(&arguments[count]);
        arguments[count].vt = VT_BSTR;
        arguments[count].bstrVal = text;
        ++count;
    }
    if (attributes != nullptr) {
        VariantInit(&arguments[count]);
        arguments[count].vt = VT_DISPATCH;
        arguments[count].pdispVal = attributes;
        ++count;
    }
    VARIANT result{};
    const HRESULT answer = byName->Call(event, arguments, count, &result);
    VariantClear(&result);
    return answer;
}

} // namespace Ostrel
