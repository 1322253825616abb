#include "PendingError.h"

#include "Command.h"
#include "FailureReport.h"

namespace Ostrel {

int ReportPendingFailure(LateBound& model, const std::string& fallback) {
    if (model.Do("LoadFromTransfer", {LateBound::Object(nullptr)})) {
        return ReportFailure(fallback);
    }
    return ReportFailure(model, fallback);
}

} // namespace Ostrel
