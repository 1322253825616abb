// How the tool tells the user on standard error why an operation failed: "pravell: " and one
// line of text, in the model's own words when it recorded any.
#pragma once

#include "text/Text.h"

namespace Ostrel {

class XMLModel;
class DescriptorTransfer;

// The model's pending message, or `fallback` when it recorded none (a container that does not
// open, a save that failed while writing). Answers the failure exit status.
int ReportFailure(XMLModel& model, const Text& fallback);
int ReportFailure(const Text& message);
// Standard output refused the bytes (a closed pipe, a full disk).
int ReportOutputFailure(const DescriptorTransfer& output);

} // namespace Ostrel
