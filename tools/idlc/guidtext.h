// The textual forms of an identifier that the generated files use.
#pragma once

#include "idlc/model.h"

namespace Ostrel::Idlc {

// {8-4-4-4-12} in upper-case hexadecimal, as the registry and the type library file write it.
std::string GuidRegistryText(const Guid& guid);
// A brace initializer of the platform's GUID structure.
std::string GuidInitializer(const Guid& guid);

} // namespace Ostrel::Idlc
