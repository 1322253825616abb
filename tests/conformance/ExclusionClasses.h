#pragma once

#include <string>

namespace Ostrel {

const char* ExclusionClassOf(const std::string& document, const std::string& finding);

} // namespace Ostrel
