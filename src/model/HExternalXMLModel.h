// The model object that the class factory creates: a new, empty document of its own.
#pragma once

#include "model/HDispatchXMLModel.h"

namespace Ostrel {

class HExternalXMLModel final : public HDispatchXMLModel {
public:
    // Throws std::bad_alloc when the model cannot be made.
    HExternalXMLModel();
};

} // namespace Ostrel
