#include "Command.h"
#include "Components.h"
#include "FailureReport.h"
#include "PendingError.h"
#include "host/Arguments.h"

#include <string>

namespace Ostrel {

namespace {

int RunExpand(const char* const* operands) {
    LateBound model;
    if (!CreateRegistered(kModelProgId, model)) {
        return kExitFailure;
    }
    if (!model.Do("LoadCompressed", {TextArgument(operands[0])})) {
        return ReportPendingFailure(model,
                                    std::string("Failed to open compressed file: ") + operands[0]);
    }
    if (!model.Do("Save", {TextArgument(operands[1])})) {
        return ReportFailure(model, std::string("Failed to write file: ") + operands[1]);
    }
    return kExitSuccess;
}

} // namespace

extern const Command kExpandCommand = {
    "expand",
    "IN OUT",
    2,
    2,
    false,
    "save the compressed container IN as indented XML in OUT",
    "Loads the compressed container IN into a \"Corvantis.XMLModel\" (LoadCompressed) and\n"
    "saves the document to OUT as indented XML (Save), as the model saves files: lines end in\n"
    "a carriage return and a line feed. A container that is damaged anywhere fails as a\n"
    "whole. OUT is replaced only when the whole document was written.\n",
    RunExpand,
};

} // namespace Ostrel
