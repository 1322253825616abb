#include "support/ParserClients.h"

#include "support/LateBinding.h"

namespace Ostrel::Testing {

namespace {

const std::vector<std::string> kEventNames = {"Characters",    "StartElement", "EndElement",
                                              "Comment",       "DocumentType", "ParseError",
                                              "StartDocument", "EndDocument"};

} // namespace

std::string LogText(const EventLog& events) {
    std::string log;
    for (const std::string& event : events) {
        for (char c : event) {
            log += c == '\n' ? "\\n" : c == '\r' ? "\\r" : std::string(1, c);
        }
        log += '\n';
    }
    return log;
}

std::string DescribeAttributes(IDispatch* attributes) {
    IDispatchTaggedAttributes* typed = nullptr;
    if (attributes == nullptr ||
        attributes->QueryInterface(IID_IDispatchTaggedAttributes,
                                   reinterpret_cast<void**>(&typed)) != S_OK) {
        return "[not attributes]";
    }
    LONG count = 0;
    typed->GetCount(&count);
    std::string text = "[";
    for (LONG i = 0; i < count; ++i) {
        BSTR name = nullptr;
        BSTR value = nullptr;
        typed->GetAttribute(i, &name, &value);
        text += (i > 0 ? "," : "") + TakeUtf8(name) + "=" + TakeUtf8(value);
    }
    typed->Release();
    return text + "]";
}

HRESULT RecordingClient::Heard(const std::string& event, BSTR text, IDispatch* attributes) {
    std::string line = event;
    if (event == "Characters" || event == "Comment" || event == "ParseError") {
        line += " '" + ToUtf8(text) + "'";
    } else if (text != nullptr) {
        line += " " + ToUtf8(text);
    }
    if (attributes != nullptr) {
        line += " " + DescribeAttributes(attributes);
    }
    if (keepAttributes && event == "StartElement") {
        attributes->AddRef();
        kept.push_back(attributes);
    }
    events.push_back(line);
    if (afterEvent) {
        afterEvent(*this);
    }
    return answer;
}

ScriptClient::ScriptClient() : ScriptObject(kEventNames) {}

// Arguments arrive last first: the name or text, then a tag's attributes.
HRESULT ScriptClient::Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* params, VARIANT*,
                             EXCEPINFO*, UINT*) {
    const UINT count = params->cArgs;
    BSTR text = count > 0 ? params->rgvarg[count - 1].bstrVal : nullptr;
    IDispatch* attributes = count > 1 ? params->rgvarg[0].pdispVal : nullptr;
    // Only the identifiers of its names are ever called, 1 to 8.
    return heard.Heard(kEventNames.at(static_cast<size_t>(id - 1)), text, attributes);
}

} // namespace Ostrel::Testing
