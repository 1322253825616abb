// Lets test failures show a text's value instead of its bytes.
#pragma once

#include "text/Text.h"

#include <ostream>

namespace Ostrel {

inline void PrintTo(const Text& text, std::ostream* out) {
    *out << '"' << text.c_str() << '"';
}

} // namespace Ostrel
