#include "PendingError.h"

#include "Command.h"
#include "FailureReport.h"
#include "host/Arguments.h"

namespace Ostrel {

int ReportPendingFailure(LateBound& model, const std::string& fallback) {
    if (model.Do("LoadFromTransfer", {ObjectArgument(nullptr)})) {
        return ReportFailure(fallback);
    }
    return ReportFailure(model, fallback);
}

} // namespace Ostrel
