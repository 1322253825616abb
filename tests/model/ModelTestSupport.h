// What the model tests share: a new model object, the saved text of a model, its pending message
// and the names of its elements.
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

// The names of the root's descendants in document order.
std::vector<std::string> DocumentOrder(const XMLNode& root);

// A new model object as the factory hands it out, with its first reference.
LateBound NewModel();

// The object as one of its dual interfaces, for direct calls; not referenced.
template <typename Interface>
Interface* As(IDispatch* object) {
    return static_cast<Interface*>(object);
}

} // namespace Ostrel
