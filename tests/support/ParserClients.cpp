#include "support/ParserClients.h"

#include "support/LateBinding.h"

#include <gtest/gtest.h>

#include <cctype>

namespace Ostrel::Testing {

namespace {

std::string Lower(std::string text) {
    for (char& c : text) {
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return text;
}

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

HRESULT RecordingClient::Log(const std::string& line) {
    events.push_back(line);
    if (afterEvent) {
        afterEvent(*this);
    }
    return answer;
}

HRESULT RecordingClient::Characters(BSTR text) {
    return Log("Characters '" + ToUtf8(text) + "'");
}

HRESULT RecordingClient::StartElement(BSTR name, IDispatch* attributes) {
    if (keepAttributes) {
        attributes->AddRef();
        kept.push_back(attributes);
    }
    return Log("StartElement " + ToUtf8(name) + " " + DescribeAttributes(attributes));
}

HRESULT RecordingClient::EndElement(BSTR name) {
    return Log("EndElement " + ToUtf8(name));
}

HRESULT RecordingClient::Comment(BSTR text) {
    return Log("Comment '" + ToUtf8(text) + "'");
}

HRESULT RecordingClient::DocumentType(BSTR name, IDispatch* attributes) {
    return Log("DocumentType " + ToUtf8(name) + " " + DescribeAttributes(attributes));
}

HRESULT RecordingClient::ParseError(BSTR message) {
    return Log("ParseError '" + ToUtf8(message) + "'");
}

HRESULT RecordingClient::StartDocument() {
    return Log("StartDocument");
}

HRESULT RecordingClient::EndDocument() {
    return Log("EndDocument");
}

ScriptClient::ScriptClient()
    : ScriptObject({"Characters", "StartElement", "EndElement", "Comment", "DocumentType",
                    "ParseError", "StartDocument", "EndDocument"}) {}

// Arguments arrive last first.
HRESULT ScriptClient::Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params, VARIANT*,
                             EXCEPINFO*, UINT*) {
    if (id < 1 || static_cast<size_t>(id) > names.size() || (flags & DISPATCH_METHOD) == 0) {
        return DISP_E_MEMBERNOTFOUND;
    }
    std::string line = names[static_cast<size_t>(id - 1)];
    const std::string kind = Lower(line);
    for (UINT i = params->cArgs; i-- > 0;) {
        const VARIANT& argument = params->rgvarg[i];
        if (argument.vt == VT_BSTR) {
            const bool quoted =
                kind != "startelement" && kind != "endelement" && kind != "documenttype";
            line += quoted ? " '" + ToUtf8(argument.bstrVal) + "'" : " " + ToUtf8(argument.bstrVal);
        } else if (argument.vt == VT_DISPATCH) {
            line += " " + DescribeAttributes(argument.pdispVal);
        } else {
            line += " ?";
        }
    }
    events.push_back(line);
    return S_OK;
}

} // namespace Ostrel::Testing
