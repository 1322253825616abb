#include "model/TreeInTransfer.h"

#include "model/XMLNode.h"

namespace Ostrel {

TreeInTransfer* TreeInTransfer::first = nullptr;

TreeInTransfer::TreeInTransfer(const XMLNode& root) : root(&root), next(first) {
    first = this;
}

TreeInTransfer::~TreeInTransfer() {
    // Operations end in the reverse order of their start; the search keeps the list whole
    // whatever the order.
    TreeInTransfer** link = &first;
    while (*link != this) {
        link = &(*link)->next;
    }
    *link = next;
}

bool TreeInTransfer::Lists(const XMLNode& node) {
    const XMLNode* top = &node;
    while (top->Parent() != nullptr) {
        top = top->Parent();
    }
    for (const TreeInTransfer* tree = first; tree != nullptr; tree = tree->next) {
        if (tree->root == top) {
            return true;
        }
    }
    return false;
}

} // namespace Ostrel
