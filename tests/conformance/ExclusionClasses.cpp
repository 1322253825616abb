#include "ExclusionClasses.h"

namespace Ostrel {

const char* ExclusionClassOf(const std::string&, const std::string&) {
    return nullptr;
}

} // namespace Ostrel
