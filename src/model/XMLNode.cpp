#include "model/XMLNode.h"

#include "model/HDispatchXMLNode.h"
#include "text/GlobalPool.h"

#include <new>

namespace Ostrel {

namespace {

constexpr int16_t kNodesPerChunk = 1000;
// The destruction walk's stack may hold a whole generation of a wide tree.
constexpr int16_t kPendingStep = 1024;

// Shared by every model of the process; stable, because nodes are referred to by address.
GlobalPool nodePool = {sizeof(XMLNode), kNodesPerChunk, true, nullptr};

} // namespace

XMLNode::XMLNode(const Text& name, XMLNode* parent)
    : attributes(kAttributeStep, kAttributeStep, kAttributeThreshold), name(name),
      children(kChildStep), comments(nullptr), parent(parent), wrapper(nullptr),
      wrapperLink(nullptr) {}

XMLNode::~XMLNode() {
    DetachWrapper();
    DestroySubtrees(children);
    delete comments;
}

XMLNode* XMLNode::CreateChild(const Text& childName) {
    void* record = nodePool.Allocate();
    XMLNode* child = new (record) XMLNode(childName, this);
    children.Append(child);
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

bool XMLNode::AddAttribute(const Text& attributeName, const Text& value) {
    return attributes.Add(attributeName, value);
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
    // Children are moved onto an explicit stack before their parent's record goes, so each
    // destructor below finds an empty child array and the walk needs no recursion.
    GrowableArray<XMLNode*> pending(kPendingStep);
    for (XMLNode* root : roots) {
        pending.Append(root);
    }
    roots.Clear();
    while (!pending.IsEmpty()) {
        XMLNode* node = pending[pending.Count() - 1];
        pending.Resize(-1);
        for (XMLNode* child : node->children) {
            pending.Append(child);
        }
        node->children.Clear();
        node->DestroyNode();
    }
}

} // namespace Ostrel
