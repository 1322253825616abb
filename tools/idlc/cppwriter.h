// Writes the C++ declarations of a Model (`<name>_idl.h`) and the definitions of its
// identifiers (`<name>_idl_i.cpp`), in the shape of the Windows IDL compiler's header and
// identifier outputs, so that portable code includes the same header on both platforms.
#pragma once

#include "idlc/model.h"

namespace Ostrel::Idlc {

std::string WriteHeader(const Model& model);
std::string WriteIdentifiers(const Model& model, const std::string& headerName);

} // namespace Ostrel::Idlc
