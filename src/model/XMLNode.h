// One element of a document tree: a name, an ordered attribute collection, one text value,
// child elements in creation order and an optional list of comments.
//
// Every node other than a model's root lives in a record of the process-wide, stable node pool,
// so its address is its identity for as long as it exists: parents, the loader's stack of open
// elements and node objects refer to it by address.
//
// A node may be represented by one node object at a time (`wrapper`). The node holds no
// reference on it; instead it knows the address of the object's own pointer to the node
// (`wrapperLink`) and writes null there when it is destroyed, which detaches the object.
//
// Destroying a subtree walks it without recursion, so that no document depth can exhaust the
// stack.
#pragma once

#include "parser/TaggedAttributes.h"
#include "platform/com.h"
#include "text/GrowableArray.h"
#include "text/Text.h"

#include <utility>

namespace Ostrel {

class HDispatchXMLNode;

class XMLNode {
public:
    // Attribute collections keep insertion order up to five pairs and sort beyond.
    static constexpr int16_t kAttributeStep = 5;
    static constexpr uint16_t kAttributeThreshold = 5;
    static constexpr int16_t kChildStep = 10;
    static constexpr int16_t kCommentStep = 10;

    XMLNode(Text name, XMLNode* parent);
    ~XMLNode();
    XMLNode(const XMLNode&) = delete;
    XMLNode& operator=(const XMLNode&) = delete;

    // A new last child from the node pool, with that name and nothing else.
    XMLNode* CreateChild(Text name);
    // The first child whose name equals `name` without regard to ASCII letter case, or null.
    XMLNode* FindChild(const Text& name) const;
    // Null for an index outside 0..ChildCount() - 1.
    XMLNode* ChildAt(LONG index) const;
    LONG ChildCount() const { return children.Count(); }
    XMLNode* Parent() const { return parent; }

    const Text& Name() const { return name; }
    void SetName(const Text& value) { name = value; }
    const Text& GetText() const { return text; }
    void SetText(Text value) { text = std::move(value); }
    void SetTextInteger(LONG value);
    // Sixteen significant digits; a whole number keeps its decimal point.
    void SetTextReal(double value);

    // Adds without looking for the name first; false when a sorted collection already has it.
    // Takes the texts by value so that a caller's temporaries are moved in, not shared.
    bool AddAttribute(Text name, Text value);
    bool AddAttributeInteger(const Text& name, LONG value);
    bool AddAttributeReal(const Text& name, double value);
    // Replaces the value of the first attribute of that name, else adds the pair.
    bool SetAttribute(const Text& name, const Text& value);
    // Position of the first attribute of that name (letter case ignored); *index untouched
    // when there is none.
    bool FindAttribute(const Text& name, LONG* index) const;
    const TaggedAttributes& Attributes() const { return attributes; }
    // Room for exactly `count` attributes, when the element has none yet: a loaded element's
    // attribute count is known before the first is added.
    void ReserveAttributes(LONG count, BlockMemory::Placement placement) {
        attributes.Reserve(count, placement);
    }
    // Moves the children's array into a block of exactly their number, placed as asked: a loaded
    // element's children are final at its end tag, and the spare room of the growth steps would
    // otherwise stay idle for the document's life. Keeps the array as it is when no block can be
    // had.
    void CompactChildren(BlockMemory::Placement placement) noexcept;

    void AddComment(const Text& comment);
    LONG CommentCount() const { return comments == nullptr ? 0 : comments->Count(); }
    const Text& CommentAt(LONG index) const { return (*comments)[index]; }

    // Destroys every descendant and empties name, text, comments and attributes; the parent
    // and the node object link stay.
    void ClearNode();
    // Detaches the node object, clears the node and returns its record to the node pool. The
    // caller has already taken it out of its parent's children or is destroying the parent.
    void DestroyNode();

    // The node's object when one is linked, else null; adds no reference and makes none.
    HDispatchXMLNode* ExistingWrapper() const { return wrapper; }
    // The node's object with one reference for the caller: the current one, or a new one
    // linked both ways. Throws std::bad_alloc when none can be made.
    HDispatchXMLNode* GetWrapper();
    // Links the node object both ways: `link` is the address of its pointer to this node.
    void LinkWrapper(HDispatchXMLNode* object, XMLNode** link);
    // Forgets the node object without touching it (it is going away).
    void UnlinkWrapper();

private:
    // Writes null into the node object's pointer to this node, if one is linked.
    void DetachWrapper();
    // Destroys the given nodes and all their descendants.
    static void DestroySubtrees(GrowableArray<XMLNode*>& roots);
    static void Doom(GrowableArray<XMLNode*>& doomed, XMLNode* node) noexcept;

    TaggedAttributes attributes;
    Text name;
    Text text;
    GrowableArray<XMLNode*> children;
    GrowableArray<Text>* comments;
    XMLNode* parent;
    HDispatchXMLNode* wrapper;
    XMLNode** wrapperLink;
};

} // namespace Ostrel
