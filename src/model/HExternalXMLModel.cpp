#include "model/HExternalXMLModel.h"

namespace Ostrel {

HExternalXMLModel::HExternalXMLModel() : HDispatchXMLModel(std::make_unique<XMLModel>()) {}

} // namespace Ostrel
