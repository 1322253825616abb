// Diagnostics for whoever sets up a machine: why the registry file was refused, why a server
// library did not load. Silent unless the environment variable PRAVELL_PLATFORM_DEBUG is set to
// something other than "" or "0"; then each message is one line on standard error.
#pragma once

namespace Ostrel {

void PlatformDebug(const char* format, ...) __attribute__((format(printf, 1, 2)));

} // namespace Ostrel
