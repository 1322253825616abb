// What the model tests share: a new model object, the saved text of a model, its pending message, a
// readable picture of a subtree, and the comparison of a tree with its saved and reloaded self.
#pragma once

#include "model/XMLModel.h"
#include "support/LateBinding.h"
#include "support/TextTestSupport.h"

#include <string>
#include <vector>

namespace Ostrel {

// The declaration line every save starts with.
extern const char kDeclaration[];

// The model saved to a string (a failed save is a test failure).
std::string Saved(XMLModel& model);
std::string PendingError(XMLModel& model);

// The node and its descendants on one line: name, [attributes in order], "text", (comments)
// and {children}. Two trees are equal exactly when their pictures are.
std::string Picture(const XMLNode& node);

// The names of the root's descendants in document order.
std::vector<std::string> DocumentOrder(const XMLNode& root);

// Element for element, with the layout rule of saving: names, attributes, comments, the
// number of children and the texts of leaves must be equal; the reloaded text of an element
// with children or comments begins with the saved one (the line break and indentation that
// follow it in the saved text come back as text).
void ExpectReloadedTree(const XMLNode& saved, const XMLNode& reloaded);

// A new model object as the factory hands it out, with its first reference.
LateBound NewModel();

// The object as one of its dual interfaces, for direct calls; not referenced.
template <typename Interface>
Interface* As(IDispatch* object) {
    return static_cast<Interface*>(object);
}

} // namespace Ostrel
