#include "FailureReport.h"

#include "Command.h"
#include "host/LateBound.h"

#include <cstdio>
#include <cstring>

namespace Ostrel {

int ReportFailure(const std::string& message) {
    std::fprintf(stderr, "pravell: %s\n", message.c_str());
    return kExitFailure;
}

int ReportFailure(const LateBound& object, const std::string& fallback) {
    return ReportFailure(object.Failure().empty() ? fallback : object.Failure());
}

int ReportSystemFailure(const std::string& message, int error) {
    return ReportFailure(message + ": " + std::strerror(error));
}

std::string HexStatus(const std::string& message, HRESULT status) {
    char code[16];
    std::snprintf(code, sizeof code, "0x%08X", static_cast<unsigned>(status));
    return message + " (" + code + ")";
}

} // namespace Ostrel
