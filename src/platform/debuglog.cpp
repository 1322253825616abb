#include "platform/debuglog.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace Ostrel {

namespace {

bool DebugEnabled() {
    const char* setting = std::getenv("PRAVELL_PLATFORM_DEBUG");
    return setting != nullptr && *setting != '\0' && std::strcmp(setting, "0") != 0;
}

} // namespace

void PlatformDebug(const char* format, ...) {
    if (!DebugEnabled()) {
        return;
    }
    va_list arguments;
    va_start(arguments, format);
    std::fputs("pravell-platform: ", stderr);
    std::vfprintf(stderr, format, arguments);
    std::fputc('\n', stderr);
    va_end(arguments);
}

} // namespace Ostrel
