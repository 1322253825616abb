// Stops the process on a broken contract between the text subsystem and its caller (an index out
// of range, an impossible size). Such a call has no sensible answer, and going on would read or
// write memory that belongs to something else.
#pragma once

namespace Ostrel {

[[noreturn]] void ProgrammingError(const char* what);

} // namespace Ostrel
