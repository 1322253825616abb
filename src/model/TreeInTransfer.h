// A document tree that a load or save is building or walking while it calls host code: the
// Read or Write of a host's stream, inside LoadFromTransfer or SaveToTransfer. That code may
// call the same model again; the model and node objects ask Contains first and refuse whatever
// would change or free the tree, which the operation holds pointers into.
//
// The trees in transfer form a list through the operations' own stack frames, empty outside
// them, so that the question costs one load in the normal case. Calls into the component are
// delivered one at a time, and host code runs inside the call that made it, so one process-wide
// list serves every model.
#pragma once

namespace Ostrel {

class XMLNode;

class TreeInTransfer {
public:
    // Lists the tree under `root` until the object goes.
    explicit TreeInTransfer(const XMLNode& root);
    ~TreeInTransfer();
    TreeInTransfer(const TreeInTransfer&) = delete;
    TreeInTransfer& operator=(const TreeInTransfer&) = delete;

    // Whether `node` is an element, or the root, of a tree in transfer.
    static bool Contains(const XMLNode& node) { return first != nullptr && Lists(node); }

private:
    static bool Lists(const XMLNode& node);

    static TreeInTransfer* first;
    const XMLNode* root;
    TreeInTransfer* next;
};

} // namespace Ostrel
