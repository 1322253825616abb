// Builds a model's tree from the tokenizer's events during one load.
//
// Character data is collected in the model's pending text and given to the element that is on
// top of the open-element stack at the next start tag, end tag or comment, replacing what that
// element had: an element keeps the last run of text flushed into it. A piece of white space that
// arrives while nothing is collected is dropped whole.
//
// Element and attribute names repeat throughout a document. The loader remembers the names it
// interned, one per slot of a small table keyed by length and end letters, and hands out another
// share of a remembered name: a name is copied into the arena when it is first met or when
// another name has taken its slot since.
#pragma once

#include "platform/com.h"
#include "text/Text.h"

#include <expat.h>

namespace Ostrel {

class XMLModel;

class DocumentLoader {
public:
    // Creates the tokenizer (fixed UTF-8 input, no namespace processing); Ready() tells whether
    // that worked.
    explicit DocumentLoader(XMLModel& model);
    ~DocumentLoader();
    DocumentLoader(const DocumentLoader&) = delete;
    DocumentLoader& operator=(const DocumentLoader&) = delete;

    bool Ready() const { return parser != nullptr; }
    // Empties the tree and the load state; the previous document is gone from here on.
    void Begin();
    // Hands one piece to the tokenizer; on an error records the parse message and answers false.
    bool Feed(const char* bytes, LONG length, bool last);
    // After a failure in a piece that was not the last: one empty last piece, answer ignored.
    void Abandon();

private:
    static void XMLCALL OnStartElement(void* data, const XML_Char* name,
                                       const XML_Char** attributes);
    static void XMLCALL OnEndElement(void* data, const XML_Char* name);
    static void XMLCALL OnCharacterData(void* data, const XML_Char* chars, int length);
    static void XMLCALL OnComment(void* data, const XML_Char* text);
    static void XMLCALL OnStartDoctype(void* data, const XML_Char* name, const XML_Char* systemId,
                                       const XML_Char* publicId, int hasInternalSubset);

    void StartElement(const XML_Char* name, const XML_Char** attributes);
    void EndElement(const XML_Char* name);
    void CharacterData(const XML_Char* chars, int length);
    void FlushPendingText();
    void RecordParseError();
    // The name as a text of the model's name arena.
    Text Name(const char* name);

    static constexpr size_t kRememberedNames = 256;

    XMLModel& model;
    XML_Parser parser;
    Text rememberedNames[kRememberedNames];
};

} // namespace Ostrel
