// The compressed loads and saves of the model publish no error information: what they record
// (a parse error inside a container, for instance) stays pending in the model until an
// operation that publishes. A load from a null source publishes exactly what is pending and
// nothing else, so the tool can still name the real reason.
#pragma once

#include "host/LateBound.h"

#include <string>

namespace Ostrel {

// Reports the model's pending message, or `fallback` when it has none; answers the failure
// exit status.
int ReportPendingFailure(LateBound& model, const std::string& fallback);

} // namespace Ostrel
