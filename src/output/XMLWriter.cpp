#include "output/XMLWriter.h"

#include "parser/TaggedAttributes.h"
#include "transfer/IDataTransfer.h"

#include <cstring>

namespace Ostrel {

namespace {

const char kDefaultBody[] = "xml version='1.0' encoding='UTF-8' ";
const char kSentinel[] = "Stack Underflow";
const char kCDataStart[] = "<![CDATA[";
const char kCDataEnd[] = "]]>";
// Where content holds "]]>", one section ends after "]]" and the next starts with ">".
const char kCDataSplit[] = "]]]]><![CDATA[>";
constexpr LONG kIndentUnit = 3;

template <size_t N>
constexpr LONG LengthOf(const char (&)[N]) {
    return static_cast<LONG>(N - 1);
}

LONG LengthOf(const char* chars) {
    return static_cast<LONG>(std::strlen(chars));
}

// The reference that replaces a byte of an attribute value, or null for a byte kept as it is.
const char* AttributeReference(unsigned char c) {
    switch (c) {
    case '&':
        return "&amp;";
    case '<':
        return "&lt;";
    case '>':
        return "&gt;";
    case '\'':
        return "&apos;";
    case '\t':
        return "&#9;";
    case '\n':
        return "&#10;";
    case '\r':
        return "&#13;";
    default:
        return nullptr;
    }
}

bool NeedsCData(const char* content) {
    return std::strpbrk(content, "&<>") != nullptr;
}

void AppendCData(TextBuffer& out, const char* content) {
    out.Append(kCDataStart, LengthOf(kCDataStart));
    const char* run = content;
    for (const char* end = std::strstr(run, kCDataEnd); end != nullptr;
         end = std::strstr(run, kCDataEnd)) {
        out.Append(run, static_cast<LONG>(end - run));
        out.Append(kCDataSplit, LengthOf(kCDataSplit));
        run = end + LengthOf(kCDataEnd);
    }
    out.Append(run, -1);
    out.Append(kCDataEnd, LengthOf(kCDataEnd));
}

} // namespace

XMLWriter::XMLWriter(IDataTransfer* target)
    : target(target), tagStack(10), declarationBody(kDefaultBody), declarationWritten(false) {
    tagStack.Append(Text(kSentinel));
}

bool XMLWriter::WriteDeclaration(const Text& body, const TaggedAttributes* attributes) {
    line.Clear(true);
    line.Append("<?", 2);
    AppendText(body.IsEmpty() ? declarationBody : body);
    AppendAttributes(attributes);
    line.Append("?>\n", 3);
    declarationWritten = true;
    return WriteLine();
}

bool XMLWriter::WriteDocumentType(const Text& name, const Text& publicId, const Text& systemId) {
    EnsureDeclaration();
    if (name.IsEmpty()) {
        return false;
    }
    line.Clear(true);
    line.Append("<!DOCTYPE ", 10);
    AppendText(name);
    auto appendLiteral = [this](const Text& literal) {
        const char quote = std::strchr(literal.c_str(), '"') != nullptr ? '\'' : '"';
        line.Append(" ", 1);
        line.Append(&quote, 1);
        AppendText(literal);
        line.Append(&quote, 1);
    };
    if (!publicId.IsEmpty()) {
        line.Append(" PUBLIC", 7);
        appendLiteral(publicId);
        appendLiteral(systemId);
    } else if (!systemId.IsEmpty()) {
        line.Append(" SYSTEM", 7);
        appendLiteral(systemId);
    }
    line.Append(">\n", 2);
    return WriteLine();
}

bool XMLWriter::WriteStartTag(const Text& name, const TaggedAttributes* attributes,
                              const Text& text) {
    EnsureDeclaration();
    if (name.IsEmpty()) {
        return false;
    }
    StartLine(Depth());
    line.Append("<", 1);
    AppendText(name);
    PushName(name);
    AppendAttributes(attributes);
    line.Append(">", 1);
    AppendText(text);
    line.Append("\n", 1);
    return WriteLine();
}

bool XMLWriter::WriteElement(const Text& name, const TaggedAttributes* attributes,
                             const Text& content) {
    EnsureDeclaration();
    StartLine(Depth());
    line.Append("<", 1);
    AppendText(name);
    AppendAttributes(attributes);
    if (content.IsEmpty()) {
        line.Append("/>\n", 3);
    } else {
        line.Append(">", 1);
        AppendContent(content);
        line.Append("</", 2);
        AppendText(name);
        line.Append(">\n", 2);
    }
    return WriteLine();
}

bool XMLWriter::WriteEndTag() {
    EnsureDeclaration();
    const Text name = PopName();
    StartLine(Depth());
    line.Append("</", 2);
    AppendText(name);
    line.Append(">\n", 2);
    return WriteLine();
}

bool XMLWriter::WriteComment(const Text& text) {
    line.Clear(true);
    line.Append("<!--", 4);
    AppendText(text);
    line.Append("-->", 3);
    return WriteLine();
}

bool XMLWriter::ProtectContent(Text& content) {
    if (!NeedsCData(content.c_str())) {
        return true;
    }
    TextBuffer protectedContent;
    AppendCData(protectedContent, content.c_str());
    content = protectedContent;
    return true;
}

void XMLWriter::EnsureDeclaration() {
    if (!declarationWritten) {
        WriteDeclaration(Text(), nullptr);
    }
}

void XMLWriter::StartLine(LONG depth) {
    line.Clear(true);
    line.AppendRepeated(' ', kIndentUnit * depth);
}

void XMLWriter::AppendText(const Text& text) {
    line.Append(text.c_str(), text.Length());
}

void XMLWriter::AppendAttributes(const TaggedAttributes* attributes) {
    if (attributes == nullptr) {
        return;
    }
    for (const TextPair& pair : attributes->Pairs()) {
        line.Append(" ", 1);
        AppendText(pair.name);
        line.Append("=", 1);
        AppendAttributeValue(pair.value);
    }
}

void XMLWriter::AppendAttributeValue(const Text& value) {
    const char* chars = value.c_str();
    const char quote = std::strchr(chars, '"') != nullptr ? '\'' : '"';
    line.Append(&quote, 1);
    const char* run = chars;
    for (const char* at = chars; *at != 0; ++at) {
        const char* reference = AttributeReference(static_cast<unsigned char>(*at));
        if (reference != nullptr) {
            line.Append(run, static_cast<LONG>(at - run));
            line.Append(reference, LengthOf(reference));
            run = at + 1;
        }
    }
    line.Append(run, -1);
    line.Append(&quote, 1);
}

void XMLWriter::AppendContent(const Text& content) {
    if (NeedsCData(content.c_str())) {
        AppendCData(line, content.c_str());
    } else {
        AppendText(content);
    }
}

void XMLWriter::PushName(const Text& name) {
    tagStack.Append(name);
}

Text XMLWriter::PopName() {
    const Text name = tagStack[tagStack.Count() - 1];
    tagStack.Resize(-1);
    if (tagStack.IsEmpty()) {
        tagStack.Append(Text(kSentinel));
    }
    return name;
}

bool XMLWriter::WriteLine() {
    return target != nullptr && target->Write(line.c_str(), line.Length());
}

} // namespace Ostrel
