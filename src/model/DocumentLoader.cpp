#include "model/DocumentLoader.h"

#include "model/XMLModel.h"
#include "parser/ParseErrorText.h"

#include <cstdint>
#include <cstring>

namespace Ostrel {

namespace {

bool IsWhiteSpace(char c) {
    constexpr uint64_t kBlanks = 1ull << ' ' | 1ull << '\t' | 1ull << '\n' | 1ull << '\r';
    const auto byte = static_cast<unsigned char>(c);
    return byte <= ' ' && (kBlanks >> byte & 1) != 0;
}

bool IsAllWhiteSpace(const char* chars, int length) {
    // Indentation is mostly blanks: eight at a time first.
    constexpr uint64_t kEightBlanks = 0x2020202020202020ull;
    int i = 0;
    for (; i + 8 <= length; i += 8) {
        uint64_t word = 0;
        std::memcpy(&word, chars + i, sizeof word);
        if (word != kEightBlanks) {
            break;
        }
    }
    for (; i < length; ++i) {
        if (!IsWhiteSpace(chars[i])) {
            return false;
        }
    }
    return true;
}

LONG LengthOf(const char* chars) {
    return static_cast<LONG>(std::strlen(chars));
}

} // namespace

DocumentLoader::DocumentLoader(XMLModel& model) : model(model), parser(XML_ParserCreate("utf-8")) {
    if (parser == nullptr) {
        return;
    }
    XML_SetUserData(parser, this);
    XML_SetElementHandler(parser, OnStartElement, OnEndElement);
    XML_SetCharacterDataHandler(parser, OnCharacterData);
    XML_SetCommentHandler(parser, OnComment);
    XML_SetDoctypeDeclHandler(parser, OnStartDoctype, nullptr);
}

DocumentLoader::~DocumentLoader() {
    if (parser != nullptr) {
        XML_ParserFree(parser);
    }
}

void DocumentLoader::Begin() {
    model.root.ClearNode();
    // Names of the previous document are gone with it; blocks still used elsewhere stay alive
    // through their own references.
    model.names.Clear();
    model.values.Clear();
    model.documentType = DocumentType();
    model.pendingText.Clear(true);
    model.openElements.Clear();
    model.openElements.Append(&model.root);
}

bool DocumentLoader::Feed(const char* bytes, LONG length, bool last) {
    if (XML_Parse(parser, bytes, length, last ? 1 : 0) == XML_STATUS_OK) {
        return true;
    }
    RecordParseError();
    return false;
}

void DocumentLoader::Abandon() {
    XML_Parse(parser, "", 0, 1);
}

void DocumentLoader::RecordParseError() {
    const int line = static_cast<int>(XML_GetCurrentLineNumber(parser));
    const int column = static_cast<int>(XML_GetCurrentColumnNumber(parser));
    model.errors.AppendError(Text::Format("XML Parse failed: %s (Line: %d, Column: %d)",
                                          ParseErrorText(XML_GetErrorCode(parser)), line, column));
}

void DocumentLoader::OnStartElement(void* data, const XML_Char* name, const XML_Char** attributes) {
    static_cast<DocumentLoader*>(data)->StartElement(name, attributes);
}

void DocumentLoader::OnEndElement(void* data, const XML_Char* name) {
    static_cast<DocumentLoader*>(data)->EndElement(name);
}

void DocumentLoader::OnCharacterData(void* data, const XML_Char* chars, int length) {
    static_cast<DocumentLoader*>(data)->CharacterData(chars, length);
}

void DocumentLoader::OnComment(void* data, const XML_Char* text) {
    auto* loader = static_cast<DocumentLoader*>(data);
    loader->FlushPendingText();
    XMLModel& model = loader->model;
    model.openElements[model.openElements.Count() - 1]->AddComment(
        model.values.Intern(text, LengthOf(text)));
}

void DocumentLoader::OnStartDoctype(void* data, const XML_Char* name, const XML_Char* systemId,
                                    const XML_Char* publicId, int) {
    DocumentType& type = static_cast<DocumentLoader*>(data)->model.documentType;
    type.name = Text(name);
    type.systemId = Text(systemId);
    type.publicId = Text(publicId);
}

void DocumentLoader::StartElement(const XML_Char* name, const XML_Char** attributes) {
    FlushPendingText();
    XMLNode* parent = model.openElements[model.openElements.Count() - 1];
    XMLNode* element = parent->CreateChild(Name(name));
    model.openElements.Append(element);
    LONG count = 0;
    while (attributes[2 * count] != nullptr) {
        ++count;
    }
    element->ReserveAttributes(count);
    for (const XML_Char** pair = attributes; pair[0] != nullptr; pair += 2) {
        element->AddAttribute(Name(pair[0]), model.values.Intern(pair[1], LengthOf(pair[1])));
    }
}

Text DocumentLoader::Name(const char* name) {
    // Length and both end letters tell apart names that share a prefix (item, items).
    const size_t length = std::strlen(name);
    const auto first = static_cast<unsigned char>(name[0]);
    const auto last = static_cast<unsigned char>(length == 0 ? 0 : name[length - 1]);
    Text& remembered = rememberedNames[(length * 37 + first * 11 + last) % kRememberedNames];
    if (std::strcmp(remembered.c_str(), name) != 0) {
        remembered = model.InternName(name, static_cast<LONG>(length));
    }
    return remembered;
}

void DocumentLoader::EndElement(const XML_Char* name) {
    FlushPendingText();
    GrowableArray<XMLNode*>& open = model.openElements;
    if (open.IsEmpty()) {
        model.errors.AppendError(
            (Text("XML Error.  ") + name + " endtag encountered out of place").c_str());
        return;
    }
    const XMLNode* popped = open[open.Count() - 1];
    open.Resize(-1);
    // The tokenizer has already matched the names exactly; the plain comparison settles nearly
    // every end tag without folding letters.
    if (popped->Name().Compare(name) != 0 && popped->Name().CompareNoCase(name) != 0) {
        model.errors.AppendError((Text("XML Error.  ") + name + " endtag encountered. " +
                                  popped->Name().c_str() + " expected")
                                     .c_str());
    }
}

void DocumentLoader::CharacterData(const XML_Char* chars, int length) {
    if (model.pendingText.Length() == 0 && length > 0 && IsWhiteSpace(chars[0]) &&
        IsAllWhiteSpace(chars + 1, length - 1)) {
        return;
    }
    model.pendingText.Append(chars, length);
}

void DocumentLoader::FlushPendingText() {
    TextBuffer& pending = model.pendingText;
    if (pending.Length() == 0) {
        return;
    }
    model.openElements[model.openElements.Count() - 1]->SetText(
        model.values.Intern(pending.c_str(), pending.Length()));
    pending.Clear(true);
}

} // namespace Ostrel
