#include "support/TreeComparison.h"

#include <cstring>
#include <utility>
#include <vector>

namespace Ostrel {

namespace {

std::string Quoted(const Text& text) {
    return "\"" + std::string(text.c_str()) + "\"";
}

std::string Changed(const char* what, const Text& before, const Text& after) {
    return std::string(what) + " " + Quoted(before) + " became " + Quoted(after);
}

bool StartsWith(const Text& text, const Text& start) {
    return std::strncmp(text.c_str(), start.c_str(), std::strlen(start.c_str())) == 0;
}

std::string NodeDifference(const XMLNode& saved, const XMLNode& reloaded) {
    if (saved.Name() != reloaded.Name()) {
        return Changed("name", saved.Name(), reloaded.Name());
    }
    const TaggedAttributes& before = saved.Attributes();
    const TaggedAttributes& after = reloaded.Attributes();
    if (before.Count() != after.Count()) {
        return std::to_string(before.Count()) + " attributes became " +
               std::to_string(after.Count());
    }
    for (LONG i = 0; i < before.Count(); ++i) {
        if (before.NameAt(i) != after.NameAt(i)) {
            return Changed("attribute name", before.NameAt(i), after.NameAt(i));
        }
        if (before.ValueAt(i) != after.ValueAt(i)) {
            return Changed("attribute value", before.ValueAt(i), after.ValueAt(i));
        }
    }
    if (saved.CommentCount() != reloaded.CommentCount()) {
        return std::to_string(saved.CommentCount()) + " comments became " +
               std::to_string(reloaded.CommentCount());
    }
    for (LONG i = 0; i < saved.CommentCount(); ++i) {
        if (saved.CommentAt(i) != reloaded.CommentAt(i)) {
            return Changed("comment", saved.CommentAt(i), reloaded.CommentAt(i));
        }
    }
    if (saved.ChildCount() != reloaded.ChildCount()) {
        return std::to_string(saved.ChildCount()) + " children became " +
               std::to_string(reloaded.ChildCount());
    }
    const bool leaf = saved.ChildCount() == 0 && saved.CommentCount() == 0;
    const bool textKept = leaf ? saved.GetText() == reloaded.GetText()
                               : StartsWith(reloaded.GetText(), saved.GetText());
    return textKept ? std::string() : Changed("text", saved.GetText(), reloaded.GetText());
}

} // namespace

std::string TreeDifference(const XMLModel& saved, const XMLModel& reloaded) {
    const DocumentType& before = saved.GetDocumentType();
    const DocumentType& after = reloaded.GetDocumentType();
    if (before.name != after.name) {
        return Changed("document type", before.name, after.name);
    }
    if (before.publicId != after.publicId) {
        return Changed("public identifier", before.publicId, after.publicId);
    }
    if (before.systemId != after.systemId) {
        return Changed("system identifier", before.systemId, after.systemId);
    }
    // The document's own comments (those outside its elements) are not saved, so the walk
    // starts at the top elements; it uses an explicit stack, as deep documents would exhaust
    // the call stack.
    struct Pair {
        const XMLNode* saved;
        const XMLNode* reloaded;
        std::string path;
    };
    std::vector<Pair> pending;
    const auto pushChildren = [&pending](const XMLNode& saved, const XMLNode& reloaded,
                                         const std::string& path) {
        for (LONG i = saved.ChildCount() - 1; i >= 0; --i) {
            const XMLNode* child = saved.ChildAt(i);
            pending.push_back({child, reloaded.ChildAt(i),
                               path + child->Name().c_str() + "[" + std::to_string(i) + "]/"});
        }
    };
    if (saved.Root().ChildCount() != reloaded.Root().ChildCount()) {
        return std::to_string(saved.Root().ChildCount()) + " top elements became " +
               std::to_string(reloaded.Root().ChildCount());
    }
    pushChildren(saved.Root(), reloaded.Root(), "/");
    while (!pending.empty()) {
        Pair pair = std::move(pending.back());
        pending.pop_back();
        std::string difference = NodeDifference(*pair.saved, *pair.reloaded);
        if (!difference.empty()) {
            return pair.path + ": " + difference;
        }
        pushChildren(*pair.saved, *pair.reloaded, pair.path);
    }
    return std::string();
}

} // namespace Ostrel
