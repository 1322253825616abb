#include "EventPrinter.h"

#include "host/Arguments.h"
#include "host/AutomationText.h"
#include "host/HeldException.h"
#include "host/LateBound.h"

namespace Ostrel {

namespace {

void AppendQuoted(std::string& line, const std::string& text) {
    static const char kHex[] = "0123456789abcdef";
    line += '"';
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        switch (c) {
        case '"':
            line += "\\\"";
            break;
        case '\\':
            line += "\\\\";
            break;
        case '\n':
            line += "\\n";
            break;
        case '\r':
            line += "\\r";
            break;
        case '\t':
            line += "\\t";
            break;
        default:
            if (byte < 0x20 || byte == 0x7f) {
                line += "\\x";
                line += kHex[byte >> 4];
                line += kHex[byte & 0xf];
            } else {
                line += c;
            }
        }
    }
    line += '"';
}

// Appends ` name="value"` for every attribute of the collection.
bool AppendAttributes(std::string& line, IDispatch* collection) {
    LateBound attributes = LateBound::Share(collection);
    LONG count = 0;
    if (!attributes || !attributes.CallForInteger("GetCount", {}, count)) {
        return false;
    }
    for (LONG i = 0; i < count; ++i) {
        BSTR name = nullptr;
        std::string value;
        const bool read = attributes.CallForText(
            "GetAttribute", {IntegerArgument(i), ReferenceArgument(VT_BSTR, &name)}, value);
        line += ' ';
        line += ToUtf8(name);
        line += '=';
        AppendQuoted(line, value);
        SysFreeString(name);
        if (!read) {
            return false;
        }
    }
    return true;
}

} // namespace

HRESULT EventPrinter::Print(const char* kind, BSTR name, IDispatch* attributes) {
    std::string line = kind;
    if (name != nullptr) {
        line += ' ';
        line += ToUtf8(name);
    }
    const bool complete = attributes == nullptr || AppendAttributes(line, attributes);
    line += '\n';
    std::fwrite(line.data(), 1, line.size(), output);
    return complete ? S_OK : E_FAIL;
}

HRESULT EventPrinter::PrintQuoted(const char* kind, BSTR text) {
    std::string line = kind;
    line += ' ';
    AppendQuoted(line, ToUtf8(text));
    line += '\n';
    std::fwrite(line.data(), 1, line.size(), output);
    return S_OK;
}

HRESULT EventPrinter::Characters(BSTR text) {
    return HoldExceptions([&] { return PrintQuoted("text", text); });
}

HRESULT EventPrinter::StartElement(BSTR name, IDispatch* attributes) {
    return HoldExceptions([&] { return Print("start", name, attributes); });
}

HRESULT EventPrinter::EndElement(BSTR name) {
    return HoldExceptions([&] { return Print("end", name, nullptr); });
}

HRESULT EventPrinter::Comment(BSTR text) {
    return HoldExceptions([&] { return PrintQuoted("comment", text); });
}

HRESULT EventPrinter::DocumentType(BSTR name, IDispatch* attributes) {
    return HoldExceptions([&] { return Print("doctype", name, attributes); });
}

HRESULT EventPrinter::ParseError(BSTR message) {
    return HoldExceptions([&] {
        error = ToUtf8(message);
        const std::string line = "error " + error + "\n";
        std::fwrite(line.data(), 1, line.size(), output);
        return S_OK;
    });
}

HRESULT EventPrinter::StartDocument() {
    return HoldExceptions([&] { return Print("start-document", nullptr, nullptr); });
}

HRESULT EventPrinter::EndDocument() {
    return HoldExceptions([&] { return Print("end-document", nullptr, nullptr); });
}

} // namespace Ostrel
