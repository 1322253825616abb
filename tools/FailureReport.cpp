#include "FailureReport.h"

#include "Command.h"
#include "DescriptorTransfer.h"
#include "model/XMLModel.h"

#include <cstdio>
#include <cstring>

namespace Ostrel {

int ReportFailure(XMLModel& model, const Text& fallback) {
    Text message;
    if (model.Errors().HasError()) {
        model.Errors().GetError(message);
    }
    return ReportFailure(message.IsEmpty() ? fallback : message);
}

int ReportFailure(const Text& message) {
    std::fprintf(stderr, "pravell: %s\n", message.c_str());
    return kExitFailure;
}

int ReportOutputFailure(const DescriptorTransfer& output) {
    const int error = output.ErrorNumber();
    if (error == 0) {
        return ReportFailure(Text("Failed to write the document to standard output"));
    }
    return ReportFailure(Text("Failed to write to standard output: ") + std::strerror(error));
}

} // namespace Ostrel
