// Documents of varied shape made from a seed, so that a soak round can be run again alone: the
// same seed gives the same bytes on every run and every system (the generator is our own, not
// the standard library's distributions, whose results differ between implementations).
#pragma once

#include <cstdint>
#include <string>

namespace Ostrel::Soak {

// A well-formed UTF-8 document whose shape the seed draws.
std::string GeneratedDocument(uint64_t seed);

} // namespace Ostrel::Soak
