#include "streaming/ParseEngine.h"

#include "dispatch/GuardCall.h"
#include "parser/ParseErrorText.h"
#include "parser/TaggedAttributes.h"
#include "parser/Tokenizer.h"
#include "streaming/ProxyParserClient.h"
#include "text/Text.h"
#include "text/Utf8Form.h"

#include <expat.h>

#include <cstdint>

namespace Ostrel {

namespace {

constexpr int16_t kAttributesGrowStep = 3;
const char kStreamingError[] = "Error streaming in data";

// The tokenizer's events as the client's: names and texts as texts, a tag's pairs in a new
// attributes collection.
class ClientAudience final : public ITokenizerAudience {
public:
    explicit ClientAudience(ProxyParserClient& client) : client(client) {}

    void StartElement(const char* name, const char** attributes) override {
        TaggedAttributes pairs(kAttributesGrowStep, kAttributesGrowStep, 0);
        for (const char** at = attributes; at[0] != nullptr; at += 2) {
            // Of two names that differ only in letter case, the first one stays.
            pairs.Add(Text(at[0]), Text(at[1]));
        }
        client.StartElement(name, pairs);
    }
    void EndElement(const char* name) override { client.EndElement(name); }
    // The tokenizer never hands over a NUL character, so the length is the text's.
    void Characters(const char* bytes, int length) override { client.Characters(bytes, length); }
    void Comment(const char* text) override { client.Comment(text); }
    void StartDocumentType(const char* name, const char*, const char*) override {
        const TaggedAttributes none(kAttributesGrowStep, kAttributesGrowStep, 0);
        client.DocumentType(name, none);
    }

private:
    ProxyParserClient& client;
};

// The client hears of the failure even when the message cannot be built or delivered.
void DeliverFailure(ProxyParserClient& client, const char* message) {
    GuardCall([&] { return client.ParseError(message) ? S_OK : E_FAIL; });
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
        ClientAudience audience(proxy);
        Tokenizer tokenizer(audience);
        if (!proxy.IsUsable() || !tokenizer.Ready()) {
            return E_FAIL;
        }
        proxy.StartDocument();
        const HRESULT result = GuardCall([&] { return body(proxy, tokenizer); });
        if (result == E_OUTOFMEMORY) {
            DeliverFailure(proxy, ParseErrorText(XML_ERROR_NO_MEMORY));
        }
        proxy.EndDocument();
        return SUCCEEDED(result) ? S_OK : E_FAIL;
    });
}

// Delivers the failure of a parse that did not end well.
HRESULT Conclude(ProxyParserClient& client, Tokenizer& tokenizer, Tokenizer::Result result) {
    switch (result) {
    case Tokenizer::Result::Parsed:
        return S_OK;
    case Tokenizer::Result::Failed:
        DeliverFailure(client, tokenizer.FailureMessage().c_str());
        return E_FAIL;
    case Tokenizer::Result::ReadFailed:
        DeliverFailure(client, kStreamingError);
        return E_FAIL;
    }
    return E_FAIL;
}

} // namespace

HRESULT RunParse(IDataTransfer& source, IDispatch* client) {
    return RunSession(client, [&](ProxyParserClient& proxy, Tokenizer& tokenizer) {
        return Conclude(proxy, tokenizer, tokenizer.Parse(source));
    });
}

// The text is converted into a buffer of its own, not a shared scratch buffer: a client may
// convert strings of its own during the parse while the tokenizer still reads this one.
HRESULT RunStringParse(BSTR xml, IDispatch* client) {
    return RunSession(client, [&](ProxyParserClient& proxy, Tokenizer& tokenizer) {
        const Text text = Utf8FromAutomationString(xml, false);
        return Conclude(proxy, tokenizer, tokenizer.Parse(text.c_str(), text.Length()));
    });
}

} // namespace Ostrel
