#include "model/XMLNode.h"

#include "model/HDispatchXMLNode.h"
#include "text/GlobalPool.h"

#include <algorithm>
#include <new>
#include <utility>

namespace Ostrel {

namespace {

constexpr int16_t kNodesPerChunk = 1000;
constexpr int16_t kDoomedStep = 10;
// Arrays of nodes longer than this grow in proportion to their length instead of by their
// step: an allocator that moves a block on every growth (sanitizers do, and so may other
// platforms' heaps) would otherwise copy the array of a million children 100,000 times.
constexpr LONG kProportionalGrowthFrom = 1000;

// Shared by every model of the process; stable, because nodes are referred to by address.
GlobalPool nodePool = {sizeof(XMLNode), kNodesPerChunk, true, nullptr};

void AppendNode(GrowableArray<XMLNode*>& nodes, XMLNode* node) {
    const LONG count = nodes.Count();
    if (nodes.Spare() == 0 && count >= kProportionalGrowthFrom) {
        nodes.SetSize(count, count + std::min<LONG>(count / 2, INT16_MAX));
    }
    nodes.Append(node);
}

} // namespace

XMLNode::XMLNode(Text name, XMLNode* parent)
    : attributes(kAttributeStep, kAttributeStep, kAttributeThreshold), name(std::move(name)),
      children(kChildStep), comments(nullptr), parent(parent), wrapper(nullptr),
      wrapperLink(nullptr) {}

XMLNode::~XMLNode() {
    DetachWrapper();
    DestroySubtrees(children);
    delete comments;
}

XMLNode* XMLNode::CreateChild(Text childName) {
    XMLNode* child = new (nodePool.Allocate()) XMLNode(std::move(childName), this);
    try {
        AppendNode(children, child);
    } catch (...) {
        // A child its parent cannot hold is reached by no walk: its record would never return.
        child->DestroyNode();
        throw;
    }
    return child;
}

XMLNode* XMLNode::FindChild(const Text& childName) const {
    for (XMLNode* child : children) {
        if (child->name.CompareNoCase(childName.c_str()) == 0) {
            return child;
        }
    }
    return nullptr;
}

XMLNode* XMLNode::ChildAt(LONG index) const {
    return index < 0 || index >= children.Count() ? nullptr : children[index];
}

void XMLNode::SetTextInteger(LONG value) {
    Text number;
    number.SetInteger(value, 10);
    text = number;
}

void XMLNode::SetTextReal(double value) {
    Text number;
    number.SetReal(value, 16);
    text = number;
}

bool XMLNode::AddAttribute(Text attributeName, Text value) {
    return attributes.AddPair(std::move(attributeName), std::move(value));
}

bool XMLNode::AddAttributeInteger(const Text& attributeName, LONG value) {
    Text number;
    number.SetInteger(value, 10);
    return attributes.Add(attributeName, number);
}

bool XMLNode::AddAttributeReal(const Text& attributeName, double value) {
    Text number;
    number.SetReal(value, 16);
    return attributes.Add(attributeName, number);
}

bool XMLNode::SetAttribute(const Text& attributeName, const Text& value) {
    LONG index = 0;
    if (attributes.FindIndex(attributeName, &index)) {
        return attributes.SetValueAt(index, value);
    }
    return attributes.Add(attributeName, value);
}

bool XMLNode::FindAttribute(const Text& attributeName, LONG* index) const {
    return attributes.FindIndex(attributeName, index);
}

void XMLNode::CompactChildren(BlockMemory::Placement placement) noexcept {
    const LONG count = children.Count();
    if (count == 0) {
        return;
    }
    try {
        children.SetSize(count, count, placement);
    } catch (const std::bad_alloc&) {
        // The spare room stays; nothing else depends on it.
    }
}

void XMLNode::AddComment(const Text& comment) {
    if (comments == nullptr) {
        comments = new GrowableArray<Text>(kCommentStep);
    }
    comments->Append(comment);
}

void XMLNode::ClearNode() {
    DestroySubtrees(children);
    name = Text();
    text = Text();
    delete comments;
    comments = nullptr;
    attributes.Clear();
}

void XMLNode::DestroyNode() {
    this->~XMLNode();
    nodePool.Free(this);
}

HDispatchXMLNode* XMLNode::GetWrapper() {
    HDispatchXMLNode* object = wrapper != nullptr ? wrapper : new HDispatchXMLNode(this);
    object->AddRef();
    return object;
}

void XMLNode::LinkWrapper(HDispatchXMLNode* object, XMLNode** link) {
    wrapper = object;
    wrapperLink = link;
}

void XMLNode::UnlinkWrapper() {
    wrapper = nullptr;
    wrapperLink = nullptr;
}

void XMLNode::DetachWrapper() {
    if (wrapperLink != nullptr) {
        *wrapperLink = nullptr;
    }
    UnlinkWrapper();
}

void XMLNode::DestroySubtrees(GrowableArray<XMLNode*>& roots) {
    // Every node is listed before its record goes, so each destructor below finds an empty
    // child array and the walk needs no recursion. The list only grows: taking nodes off its
    // end would shrink (and maybe copy) it every few nodes.
    GrowableArray<XMLNode*> doomed(kDoomedStep);
    for (XMLNode* root : roots) {
        Doom(doomed, root);
    }
    roots.Clear();
    for (LONG i = 0; i < doomed.Count(); ++i) {
        XMLNode* node = doomed[i];
        for (XMLNode* child : node->children) {
            Doom(doomed, child);
        }
        node->children.Clear();
        node->DestroyNode();
    }
}

void XMLNode::Doom(GrowableArray<XMLNode*>& doomed, XMLNode* node) noexcept {
    // This runs in destructors, where running out of memory must not end the process: a node
    // the list has no room for goes at once, and its own destructor walks its subtree.
    try {
        AppendNode(doomed, node);
    } catch (...) {
        node->DestroyNode();
    }
}

} // namespace Ostrel
