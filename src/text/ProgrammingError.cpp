#include "text/ProgrammingError.h"

#include <cstdio>
#include <cstdlib>

namespace Ostrel {

void ProgrammingError(const char* what) {
    std::fprintf(stderr, "Pravell: programming error: %s\n", what);
    std::fflush(stderr);
    std::abort();
}

} // namespace Ostrel
