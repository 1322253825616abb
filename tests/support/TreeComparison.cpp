#include "support/TreeComparison.h"

#include <vector>

namespace Ostrel {

namespace {

using Fields = std::vector<std::string>;

// What a reload keeps exactly: the name, the attributes in order, the comments, the number of
// children and a leaf's text, each list after its count, so that nodes with equal fields are equal.
Fields KeptExactly(const XMLNode& node) {
    const TaggedAttributes& attributes = node.Attributes();
    Fields fields{node.Name().c_str(), std::to_string(attributes.Count()) + " attributes"};
    for (LONG i = 0; i < attributes.Count(); ++i) {
        fields.insert(fields.end(), {attributes.NameAt(i).c_str(), attributes.ValueAt(i).c_str()});
    }
    fields.push_back(std::to_string(node.CommentCount()) + " comments");
    for (LONG i = 0; i < node.CommentCount(); ++i) {
        fields.push_back(node.CommentAt(i).c_str());
    }
    fields.push_back(std::to_string(node.ChildCount()) + " children");
    if (node.ChildCount() == 0 && node.CommentCount() == 0) {
        fields.push_back(node.GetText().c_str());
    }
    return fields;
}

// The document type and the number of top elements; the document's own comments (those outside
// its elements) are not saved.
Fields Heading(const XMLModel& model) {
    const DocumentType& type = model.GetDocumentType();
    return {type.name.c_str(), type.publicId.c_str(), type.systemId.c_str(),
            std::to_string(model.Root().ChildCount()) + " top elements"};
}

std::string Changed(const std::string& path, const Fields& before, const Fields& after) {
    std::string text = path + ":";
    for (const Fields* fields : {&before, &after}) {
        for (const std::string& field : *fields) {
            text += " \"" + field + "\"";
        }
        text += fields == &before ? " became" : "";
    }
    return text;
}

} // namespace

std::string TreeDifference(const XMLModel& saved, const XMLModel& reloaded) {
    if (Heading(saved) != Heading(reloaded)) {
        return Changed("/", Heading(saved), Heading(reloaded));
    }
    // An explicit stack of the pairs whose children are still to compare, with their paths, as
    // deep documents would exhaust the call stack.
    struct Pair {
        const XMLNode* saved;
        const XMLNode* reloaded;
        std::string path;
    };
    std::vector<Pair> pending{{&saved.Root(), &reloaded.Root(), "/"}};
    while (!pending.empty()) {
        const Pair pair = pending.back();
        pending.pop_back();
        for (LONG i = pair.saved->ChildCount() - 1; i >= 0; --i) {
            const XMLNode& child = *pair.saved->ChildAt(i);
            const XMLNode& other = *pair.reloaded->ChildAt(i);
            const std::string path =
                pair.path + child.Name().c_str() + "[" + std::to_string(i) + "]/";
            const std::string text = child.GetText().c_str();
            if (KeptExactly(child) != KeptExactly(other)) {
                return Changed(path, KeptExactly(child), KeptExactly(other));
            }
            if (std::string(other.GetText().c_str()).compare(0, text.size(), text) != 0) {
                return Changed(path, {text}, {other.GetText().c_str()});
            }
            pending.push_back({&child, &other, path});
        }
    }
    return std::string();
}

} // namespace Ostrel
