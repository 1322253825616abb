#include "support/ParserClients.h"

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

HRESULT RecordingClient::QueryInterface(REFIID riid, void** object) {
    if (riid == IID_IUnknown || riid == IID_IDispatch || riid == IID_IDispatchXMLParserClient) {
        *object = static_cast<IDispatchXMLParserClient*>(this);
        AddRef();
        return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
}

HRESULT RecordingClient::Log(const std::string& line) {
    events.push_back(line);
    if (afterEvent) {
        afterEvent(*this);
    }
    return answer;
}

HRESULT RecordingClient::Characters(BSTR text) {
    return Log("Characters '" + Utf8(text) + "'");
}

HRESULT RecordingClient::StartElement(BSTR name, IDispatch* attributes) {
    if (keepAttributes) {
        attributes->AddRef();
        kept.push_back(attributes);
    }
    return Log("StartElement " + Utf8(name) + " " + DescribeAttributes(attributes));
}

HRESULT RecordingClient::EndElement(BSTR name) {
    return Log("EndElement " + Utf8(name));
}

HRESULT RecordingClient::Comment(BSTR text) {
    return Log("Comment '" + Utf8(text) + "'");
}

HRESULT RecordingClient::DocumentType(BSTR name, IDispatch* attributes) {
    return Log("DocumentType " + Utf8(name) + " " + DescribeAttributes(attributes));
}

HRESULT RecordingClient::ParseError(BSTR message) {
    return Log("ParseError '" + Utf8(message) + "'");
}

HRESULT RecordingClient::StartDocument() {
    return Log("StartDocument");
}

HRESULT RecordingClient::EndDocument() {
    return Log("EndDocument");
}

ScriptClient::ScriptClient()
    : names{"Characters",   "StartElement", "EndElement",    "Comment",
            "DocumentType", "ParseError",   "StartDocument", "EndDocument"} {}

HRESULT ScriptClient::QueryInterface(REFIID riid, void** object) {
    if (riid == IID_IUnknown || riid == IID_IDispatch) {
        *object = static_cast<IDispatch*>(this);
        AddRef();
        return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
}

HRESULT ScriptClient::GetIDsOfNames(REFIID, LPOLESTR* asked, UINT count, LCID, DISPID* ids) {
    ++lookups;
    EXPECT_EQ(count, 1u);
    const std::string wanted =
        Lower(Utf8(asked[0], static_cast<UINT>(std::char_traits<OLECHAR>::length(asked[0]))));
    for (size_t i = 0; i < names.size(); ++i) {
        if (Lower(names[i]) == wanted) {
            ids[0] = static_cast<DISPID>(i + 1);
            return S_OK;
        }
    }
    ids[0] = DISPID_UNKNOWN;
    return DISP_E_UNKNOWNNAME;
}

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
            line += quoted ? " '" + Utf8(argument.bstrVal) + "'" : " " + Utf8(argument.bstrVal);
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
