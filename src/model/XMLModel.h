// One XML document in memory: a root pseudo-element whose children are the document's top-level
// elements, loaded from XML text and saved back as indented XML.
//
// Failures of loading and saving append their message to `errors` without a separator; the
// model never clears it (the model object hands it over to the host, which empties it).
//
// A loaded document type declaration is kept as part of the document (its name and public and
// system identifiers; each load and Clear reset it) and saved on the line after the XML
// declaration; it never changes the declaration itself.
#pragma once

#include "errors/ErrorProvider.h"
#include "model/NameArena.h"
#include "model/XMLNode.h"
#include "output/XMLWriter.h"
#include "parser/TaggedAttributes.h"
#include "platform/com.h"
#include "text/GrowableArray.h"
#include "text/Text.h"
#include "text/TextBuffer.h"

namespace Ostrel {

class IDataTransfer;

struct DocumentType {
    Text name;
    Text publicId;
    Text systemId;
};

class XMLModel {
public:
    // Bytes per block of the compressed container.
    static constexpr uint32_t kContainerBlockSize = 1048576;
    // The arena of loaded attribute values, texts and comments: blocks of this size, holding
    // texts of up to kLongestArenaText bytes.
    static constexpr LONG kValueBlockSize = 16384;
    static constexpr LONG kLongestArenaText = 1024;

    XMLModel();
    virtual ~XMLModel();
    XMLModel(const XMLModel&) = delete;
    XMLModel& operator=(const XMLModel&) = delete;

    XMLNode& Root() { return root; }
    const XMLNode& Root() const { return root; }
    ErrorProvider& Errors() { return errors; }
    const DocumentType& GetDocumentType() const { return documentType; }

    // Empties the root (its name too) and the name arena, and forgets the document type.
    void Clear();
    // A copy of the name that shares a block of the name arena.
    Text InternName(const char* name, LONG length);

    // The load in progress, as DocumentLoader builds it: the open elements run from the root,
    // which stays open from construction on, to the innermost one, and the text collected for
    // the innermost one waits in the pending text (whose buffer stays between loads). BeginLoad
    // empties the model as Clear does, closes all but the root and takes no heap block.
    void BeginLoad();
    GrowableArray<XMLNode*>& OpenElements() { return openElements; }
    TextBuffer& PendingText() { return pendingText; }
    // A copy of an attribute value, text or comment that shares a block of the value arena.
    Text InternValue(const char* value, LONG length) { return values.Intern(value, length); }
    void SetDocumentType(const DocumentType& type) { documentType = type; }

    // Each answers true when the whole input was parsed; the previous document is gone once
    // parsing started, and a failed load leaves what was built up to the error.
    bool LoadTransfer(IDataTransfer& source);
    bool LoadFile(const Text& path);
    bool LoadString(const Text& xml);
    // The compressed container on a file; records nothing when the file does not open.
    bool LoadCompressed(const Text& path);

    // Each answers true when every byte reached the target. File saves replace the file only
    // when the whole save succeeded. Files and containers are written as UTF-8, the string as
    // held (XMLWriter::Encoding).
    bool SaveTransfer(IDataTransfer& target, XMLWriter::Encoding encoding);
    bool SaveFile(const Text& path);
    // On success `out` holds the whole document; on failure it is unchanged.
    bool SaveString(Text& out);
    bool SaveCompressed(const Text& path);
    // The element and its descendants; false at the first refused write or for an element
    // without a name.
    static bool WriteSubtree(const XMLNode& node, XMLWriter& writer);

private:
    XMLNode root;
    GrowableArray<XMLNode*> openElements;
    Text headerText;
    TaggedAttributes headerAttributes;
    ErrorProvider errors;
    TextBuffer pendingText;
    NameArena names;
    NameArena values;
    DocumentType documentType;
};

} // namespace Ostrel
