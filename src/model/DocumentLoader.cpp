#include "model/DocumentLoader.h"

#include "model/XMLModel.h"
#include "parser/ParseErrorText.h"

#include <cstring>

namespace Ostrel {

namespace {

bool IsWhiteSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

bool IsAllWhiteSpace(const char* chars, int length) {
    for (int i = 0; i < length; ++i) {
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
    model.openElements[model.openElements.Count() - 1]->AddComment(Text(text));
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
    XMLNode* element = parent->CreateChild(model.InternName(name, LengthOf(name)));
    model.openElements.Append(element);
    for (const XML_Char** pair = attributes; pair[0] != nullptr; pair += 2) {
        element->AddAttribute(model.InternName(pair[0], LengthOf(pair[0])), Text(pair[1]));
    }
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
    if (popped->Name().CompareNoCase(name) != 0) {
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
        Text(pending.c_str(), pending.Length()));
    pending.Clear(true);
}

} // namespace Ostrel
