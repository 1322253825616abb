// Writes a Model as a type library in the platform layer's text format (described with the
// reader, in platform/typelibfile.h).
#pragma once

#include "idlc/model.h"

namespace Ostrel::Idlc {

std::string WriteTypeLibrary(const Model& model);

} // namespace Ostrel::Idlc
