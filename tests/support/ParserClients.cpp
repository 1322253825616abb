#include "support/ParserClients.h"

#include "support/LateBinding.h"

namespace Ostrel::Testing {

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

HRESULT RecordingClient::Log(const std::string& line) {
    events.push_back(line);
    if (afterEvent) {
        afterEvent(*this);
    }
    return answer;
}

HRESULT RecordingClient::StartElement(BSTR name, IDispatch* attributes) {
    if (keepAttributes) {
        attributes->AddRef();
        kept.push_back(attributes);
    }
    return Log("StartElement " + ToUtf8(name) + " " + DescribeAttributes(attributes));
}

ScriptClient::ScriptClient()
    : ScriptObject({"Characters", "StartElement", "EndElement", "Comment", "DocumentType",
                    "ParseError", "StartDocument", "EndDocument"}) {}

HRESULT ScriptClient::Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* params, VARIANT*,
                             EXCEPINFO*, UINT*) {
    // Arguments arrive last first: the name or text, then the attributes.
    const UINT count = params->cArgs;
    BSTR text = count > 0 ? params->rgvarg[count - 1].bstrVal : nullptr;
    IDispatch* attributes = count > 1 ? params->rgvarg[0].pdispVal : nullptr;
    switch (id) {
    case 1:
        return heard.Characters(text);
    case 2:
        return heard.StartElement(text, attributes);
    case 3:
        return heard.EndElement(text);
    case 4:
        return heard.Comment(text);
    case 5:
        return heard.DocumentType(text, attributes);
    case 6:
        return heard.ParseError(text);
    case 7:
        return heard.StartDocument();
    case 8:
        return heard.EndDocument();
    }
    return DISP_E_MEMBERNOTFOUND;
}

} // namespace Ostrel::Testing
