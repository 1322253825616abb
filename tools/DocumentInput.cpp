#include "DocumentInput.h"

#include "Components.h"
#include "FailureReport.h"
#include "host/Arguments.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string>

namespace Ostrel {

DocumentInput::~DocumentInput() {
    source.reset();
    if (owned) {
        close(descriptor);
    }
}

bool DocumentInput::Open(const char* operand) {
    name = operand;
    if (std::strcmp(operand, "-") == 0) {
        name = "standard input";
        descriptor = STDIN_FILENO;
    } else {
        descriptor = open(operand, O_RDONLY | O_CLOEXEC);
        if (descriptor < 0) {
            ReportSystemFailure(std::string("Failed to open file: ") + operand, errno);
            return false;
        }
        owned = true;
    }
    source.emplace(descriptor);
    return true;
}

bool DocumentInput::ReportReadFailure() const {
    if (!source || source->ErrorNumber() == 0) {
        return false;
    }
    ReportSystemFailure(std::string("Failed to read ") + name, source->ErrorNumber());
    return true;
}

bool LoadModel(const char* operand, LateBound& model) {
    DocumentInput input;
    if (!input.Open(operand) || !CreateRegistered(kModelProgId, model)) {
        return false;
    }
    if (model.Do("LoadFromTransfer", {ObjectArgument(&input.Source())})) {
        return true;
    }
    if (!input.ReportReadFailure()) {
        ReportFailure(model, std::string("Failed to load the document: ") + operand);
    }
    return false;
}

} // namespace Ostrel
