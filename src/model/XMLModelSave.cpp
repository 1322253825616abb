#include "model/XMLModel.h"
#include "transfer/DataFile.h"
#include "transfer/StreamCompression.h"
#include "transfer/TextBufferDataTransfer.h"
#include "transfer/TextFile.h"

namespace Ostrel {

namespace {

// An element whose end tag is still due, and the next of its children to write.
struct OpenElement {
    const XMLNode* node;
    LONG nextChild;
};

constexpr int16_t kOpenElementStep = 64;

// Writes a leaf element whole, or an element's start tag (with its text protected) and its
// comments; `opened` tells whether its children and end tag are still due. An element without
// a name cannot be written: a save would otherwise produce "</>".
bool WriteOpening(const XMLNode& node, XMLWriter& writer, bool& opened) {
    opened = false;
    if (node.Name().IsEmpty()) {
        return false;
    }
    if (node.ChildCount() == 0 && node.CommentCount() == 0) {
        return writer.WriteElement(node.Name(), &node.Attributes(), node.GetText());
    }
    Text text = node.GetText();
    XMLWriter::ProtectContent(text);
    if (!writer.WriteStartTag(node.Name(), &node.Attributes(), text)) {
        return false;
    }
    for (LONG i = 0; i < node.CommentCount(); ++i) {
        if (!writer.WriteComment(node.CommentAt(i))) {
            return false;
        }
    }
    opened = true;
    return true;
}

} // namespace

bool XMLModel::WriteSubtree(const XMLNode& node, XMLWriter& writer) {
    // Depth first without recursion, so that no document depth can exhaust the stack.
    bool opened = false;
    if (!WriteOpening(node, writer, opened)) {
        return false;
    }
    if (!opened) {
        return true;
    }
    GrowableArray<OpenElement> open(kOpenElementStep);
    open.Append({&node, 0});
    while (!open.IsEmpty()) {
        OpenElement& innermost = open[open.Count() - 1];
        if (innermost.nextChild == innermost.node->ChildCount()) {
            if (!writer.WriteEndTag()) {
                return false;
            }
            open.Resize(-1);
            continue;
        }
        const XMLNode* child = innermost.node->ChildAt(innermost.nextChild++);
        if (!WriteOpening(*child, writer, opened)) {
            return false;
        }
        if (opened) {
            open.Append({child, 0});
        }
    }
    return true;
}

bool XMLModel::SaveTransfer(IDataTransfer& target, XMLWriter::Encoding encoding) {
    XMLWriter writer(&target, encoding);
    if (!writer.WriteDeclaration(headerText, &headerAttributes)) {
        return false;
    }
    if (!documentType.name.IsEmpty() &&
        !writer.WriteDocumentType(documentType.name, documentType.publicId,
                                  documentType.systemId)) {
        return false;
    }
    for (LONG i = 0; i < root.ChildCount(); ++i) {
        if (!WriteSubtree(*root.ChildAt(i), writer)) {
            return false;
        }
    }
    return true;
}

bool XMLModel::SaveFile(const Text& path) {
    // A document saved under a temporary name nobody knows would be lost: an empty path fails.
    TextFile file(path);
    if (path.IsEmpty() || !file.Create()) {
        errors.AppendError(Text("Failed to create file: ") + path.c_str());
        return false;
    }
    return SaveTransfer(file, XMLWriter::Encoding::Utf8) && file.Commit();
}

bool XMLModel::SaveString(Text& out) {
    TextBufferDataTransfer buffer;
    if (!SaveTransfer(buffer, XMLWriter::Encoding::AsHeld)) {
        return false;
    }
    out = buffer.GetText(); // NOLINT(cppcoreguidelines-slicing): a Text shares the value
    return true;
}

bool XMLModel::SaveCompressed(const Text& path) {
    DataFile file(path);
    if (path.IsEmpty() || !file.Create()) {
        return false;
    }
    bool saved = false;
    {
        // The stream writes its closing block when it goes, before the file is committed; a
        // refused write there makes the commit fail.
        StreamCompression stream(&file, kContainerBlockSize);
        saved = SaveTransfer(stream, XMLWriter::Encoding::Utf8);
        saved = stream.Finish() && saved;
    }
    // A file that is not committed leaves the old one in place.
    return saved && file.Commit();
}

} // namespace Ostrel
