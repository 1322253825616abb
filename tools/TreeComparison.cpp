#include "TreeComparison.h"

#include "model/XMLModel.h"

#include <cstring>
#include <vector>

namespace Ostrel {

namespace {

struct NodePair {
    const XMLNode* saved;
    const XMLNode* reloaded;
    Text path;
};

bool SameDocumentType(const DocumentType& a, const DocumentType& b) {
    return a.name == b.name && a.publicId == b.publicId && a.systemId == b.systemId;
}

bool SameAttributes(const TaggedAttributes& a, const TaggedAttributes& b) {
    if (a.Count() != b.Count()) {
        return false;
    }
    for (LONG i = 0; i < a.Count(); ++i) {
        if (a.NameAt(i) != b.NameAt(i) || a.ValueAt(i) != b.ValueAt(i)) {
            return false;
        }
    }
    return true;
}

bool SameComments(const XMLNode& a, const XMLNode& b) {
    if (a.CommentCount() != b.CommentCount()) {
        return false;
    }
    for (LONG i = 0; i < a.CommentCount(); ++i) {
        if (a.CommentAt(i) != b.CommentAt(i)) {
            return false;
        }
    }
    return true;
}

bool StartsWith(const Text& text, const Text& prefix) {
    return std::strncmp(text.c_str(), prefix.c_str(), static_cast<size_t>(prefix.Length())) == 0;
}

// The child's path: its name, with its place among the siblings of that name when it has any.
Text ChildPath(const Text& parentPath, const XMLNode& parent, LONG index) {
    const Text& name = parent.ChildAt(index)->Name();
    LONG position = 0;
    LONG namesakes = 0;
    for (LONG i = 0; i < parent.ChildCount(); ++i) {
        if (parent.ChildAt(i)->Name() == name) {
            ++namesakes;
            position += i <= index ? 1 : 0;
        }
    }
    Text path = parentPath + "/";
    path.Append(name.c_str());
    if (namesakes > 1) {
        path.Append(Text::Format("[%d]", static_cast<int>(position)).c_str());
    }
    return path;
}

} // namespace

TreeComparison::TreeComparison(const XMLModel& saved, const XMLModel& reloaded) {
    if (!SameDocumentType(saved.GetDocumentType(), reloaded.GetDocumentType())) {
        difference = "document type";
        return;
    }
    // Children are pushed last first, so that the first difference found is the first in
    // document order.
    std::vector<NodePair> pending{{&saved.Root(), &reloaded.Root(), Text()}};
    while (!pending.empty() && Same()) {
        const NodePair pair = pending.back();
        pending.pop_back();
        const char* differs = nullptr;
        if (pair.saved != &saved.Root()) {
            Count(*pair.saved);
            differs = CompareElements(*pair.saved, *pair.reloaded);
        }
        if (differs == nullptr && pair.saved->ChildCount() != pair.reloaded->ChildCount()) {
            differs = "children";
        }
        if (differs != nullptr) {
            difference = (pair.path.IsEmpty() ? Text("/") : pair.path) + ": ";
            difference.Append(differs);
            return;
        }
        for (LONG i = pair.saved->ChildCount() - 1; i >= 0; --i) {
            pending.push_back({pair.saved->ChildAt(i), pair.reloaded->ChildAt(i),
                               ChildPath(pair.path, *pair.saved, i)});
        }
    }
}

const char* TreeComparison::CompareElements(const XMLNode& saved, const XMLNode& reloaded) {
    if (saved.Name() != reloaded.Name()) {
        return "name";
    }
    if (!SameAttributes(saved.Attributes(), reloaded.Attributes())) {
        return "attributes";
    }
    if (!SameComments(saved, reloaded)) {
        return "comments";
    }
    const bool textOnTagLine = saved.ChildCount() > 0 || saved.CommentCount() > 0;
    const bool textKept = textOnTagLine ? StartsWith(reloaded.GetText(), saved.GetText())
                                        : reloaded.GetText() == saved.GetText();
    return textKept ? nullptr : "text";
}

void TreeComparison::Count(const XMLNode& node) {
    ++elements;
    attributes += node.Attributes().Count();
    comments += node.CommentCount();
}

} // namespace Ostrel
