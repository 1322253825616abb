// Any bytes through the streaming parse engine to a compiled client that holds the events to
// their grammar: StartDocument first and once; EndDocument last and once; at most one
// ParseError, followed by nothing but EndDocument, exactly when the parse answers E_FAIL; end
// tags that close the open start tags by name; at most one document type, before the first
// start tag and with no attributes; attributes sorted by name, letter case aside, none twice.
// Text that survives the trip through an automation string must also parse from a string, in
// one piece, into the same events as from the transfer, in pieces (text runs joined), and within
// one piece with the same message (where a piece ends inside a token that fails, the tokenizer
// may name another fault at another place than with the whole text).
#include "FuzzSupport.h"
#include "host/AutomationText.h"
#include "host/HostObject.h"
#include "pravell_idl.h"
#include "streaming/ParseEngine.h"
#include "support/FileTestSupport.h"
#include "utils_idl.h"

#include <vector>

using namespace Ostrel;
using namespace Ostrel::Fuzzing;

namespace {

class GrammarClient final
    : public HostObject<IDispatchXMLParserClient, IID_IDispatchXMLParserClient> {
public:
    HRESULT STDMETHODCALLTYPE StartDocument() override {
        Expect(!started, "StartDocument came twice");
        started = true;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE StartElement(BSTR name, IDispatch* attributes) override {
        Within("StartElement");
        Expect(!name || SysStringLen(name) > 0, "a start tag without a name");
        CheckAttributes(attributes, false);
        open.push_back(ToUtf8(name));
        log.push_back("StartElement " + open.back());
        elements = true;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE EndElement(BSTR name) override {
        Within("EndElement");
        Expect(!open.empty(), "an end tag with no start tag open");
        Expect(open.back() == ToUtf8(name), "end tag " + ToUtf8(name) + " closes " + open.back());
        open.pop_back();
        log.push_back("EndElement " + ToUtf8(name));
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Characters(BSTR text) override {
        Within("Characters");
        if (log.empty() || log.back().rfind("Characters ", 0) != 0) {
            log.push_back("Characters ");
        }
        log.back() += ToUtf8(text);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Comment(BSTR text) override {
        log.push_back("Comment " + ToUtf8(text));
        return Within("Comment");
    }
    HRESULT STDMETHODCALLTYPE DocumentType(BSTR name, IDispatch* attributes) override {
        Within("DocumentType");
        log.push_back("DocumentType " + ToUtf8(name));
        Expect(!doctype && !elements, "a document type after another or after a start tag");
        doctype = true;
        CheckAttributes(attributes, true);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE ParseError(BSTR text) override {
        Within("ParseError");
        Expect(SysStringLen(text) > 0, "a ParseError without a message");
        failed = true;
        message = ToUtf8(text);
        log.push_back("ParseError");
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE EndDocument() override {
        Expect(started && !ended, "EndDocument without StartDocument or twice");
        Expect(failed || open.empty(),
               "a parse ended well with " + std::to_string(open.size()) + " element(s) open");
        ended = true;
        return S_OK;
    }

    // After the parse answered `result`.
    void Finish(HRESULT result) {
        Expect(ended, "no EndDocument");
        Expect(result == (failed ? E_FAIL : S_OK),
               "the answer " + std::to_string(result) + " does not match the ParseError calls");
        Expect(References() == 1, "the engine kept a reference to its client");
    }

    // The events, text runs joined, without attributes, and the ParseError's message.
    std::vector<std::string> log;
    std::string message;

private:
    static void Expect(bool holds, const std::string& violation) {
        if (!holds) {
            Finding(violation);
        }
    }

    HRESULT Within(const char* event) {
        Expect(started && !ended && !failed, std::string(event) + " outside the document");
        return S_OK;
    }

    // Reads the attributes through their interface, as a compiled host does.
    static void CheckAttributes(IDispatch* attributes, bool empty) {
        Expect(attributes != nullptr, "an event without its attributes object");
        void* found = nullptr;
        Expect(attributes->QueryInterface(IID_IDispatchTaggedAttributes, &found) == S_OK,
               "an attributes object without its interface");
        auto* tagged = static_cast<IDispatchTaggedAttributes*>(found);
        LONG count = -1;
        Expect(tagged->GetCount(&count) == S_OK && count >= 0 && (!empty || count == 0),
               "an attributes count of " + std::to_string(count));
        Text previous;
        for (LONG i = 0; i < count; ++i) {
            BSTR name = nullptr;
            BSTR value = nullptr;
            Expect(tagged->GetAttribute(i, &name, &value) == S_OK, "an attribute out of reach");
            const std::string text = ToUtf8(name);
            SysFreeString(name);
            SysFreeString(value);
            Expect(i == 0 || previous.CompareNoCase(text.c_str()) < 0,
                   std::string("attribute ") + text + " after " + previous.c_str());
            previous = text.c_str();
        }
        tagged->Release();
    }

    std::vector<std::string> open;
    bool started = false;
    bool ended = false;
    bool failed = false;
    bool elements = false;
    bool doctype = false;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string bytes = Bytes(data, size);
    MemoryTransfer source(bytes);
    GrammarClient client;
    client.Finish(RunParse(source, &client));
    const Bstr text(bytes);
    if (bytes.find('\0') == std::string::npos && ToUtf8(text) == bytes) {
        GrammarClient whole;
        whole.Finish(RunStringParse(text, &whole));
        if (whole.log != client.log || (bytes.size() < 10000 && whole.message != client.message)) {
            Finding("a string and a transfer parse into other events or with another message");
        }
    }
    return 0;
}
