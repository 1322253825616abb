// The text form of the registry file (described at the top of registry.cpp).
#pragma once

#include "platform/regtree.h"

#include <string>

namespace Ostrel {

std::string FormatRegistry(const RegistryKey& root);

// Fills an empty root from the text. Damaged text answers false, with the line and the reason
// in problem; root may then hold part of the keys and must not be written back.
bool ParseRegistry(const std::string& text, RegistryKey& root, std::string& problem);

} // namespace Ostrel
