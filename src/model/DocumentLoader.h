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

#include "parser/ITokenizerAudience.h"
#include "parser/Tokenizer.h"
#include "platform/com.h"
#include "text/BlockMemory.h"
#include "text/Text.h"

namespace Ostrel {

class IDataTransfer;
class XMLModel;
class XMLNode;

class DocumentLoader final : public ITokenizerAudience {
public:
    explicit DocumentLoader(XMLModel& model);
    DocumentLoader(const DocumentLoader&) = delete;
    DocumentLoader& operator=(const DocumentLoader&) = delete;

    // Each answers true when the whole input was parsed. Otherwise the model's errors get
    // "XML Parse failed: there was an error streaming in data" for a failed read, or "XML Parse
    // failed: " and the tokenizer's failure message. When the tokenizer cannot be created the
    // answer is false and the model unchanged; otherwise the previous document is gone once the
    // load starts.
    bool Load(IDataTransfer& source);
    // The text as one last piece.
    bool Load(const Text& xml);

private:
    bool Begin();
    bool Finish(Tokenizer::Result result);

    void StartElement(const char* name, const char** attributes) override;
    void EndElement(const char* name) override;
    void Characters(const char* bytes, int length) override;
    void Comment(const char* text) override;
    void StartDocumentType(const char* name, const char* systemId, const char* publicId) override;

    void FlushPendingText();
    // The element that text and comments go to.
    XMLNode* Innermost();
    // The name as a text of the model's name arena.
    Text Name(const char* name);

    static constexpr size_t kRememberedNames = 256;

    XMLModel& model;
    Tokenizer tokenizer;
    Text rememberedNames[kRememberedNames];
    // Elements made by this load, and where their attribute and child arrays go.
    size_t elements = 0;
    BlockMemory::Placement arrays = BlockMemory::Placement::Heap;
};

} // namespace Ostrel
