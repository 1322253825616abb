// How the tool tells the user on standard error why an operation failed: "pravell: " and one
// line of text, in the system's own words when it gave any.
#pragma once

#include "platform/com.h"

#include <string>

namespace Ostrel {

class LateBound;

// Answers the failure exit status.
int ReportFailure(const std::string& message);
// The description of the object's last failed call, or `fallback` when it gave none.
int ReportFailure(const LateBound& object, const std::string& fallback);
// `errno` in words after the message: "message: No such file or directory".
int ReportSystemFailure(const std::string& message, int error);
// "message (0x80004005)".
std::string HexStatus(const std::string& message, HRESULT status);

} // namespace Ostrel
