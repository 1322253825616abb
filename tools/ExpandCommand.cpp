#include "Command.h"
#include "FailureReport.h"
#include "model/XMLModel.h"

namespace Ostrel {

namespace {

int RunExpand(const char* const* operands) {
    XMLModel model;
    if (!model.LoadCompressed(Text(operands[0]))) {
        return ReportFailure(model, Text("Failed to open compressed file: ") + operands[0]);
    }
    if (!model.SaveFile(Text(operands[1]))) {
        return ReportFailure(model, Text("Failed to write file: ") + operands[1]);
    }
    return kExitSuccess;
}

} // namespace

extern const Command kExpandCommand = {
    "expand",
    "IN OUT",
    2,
    false,
    "save the compressed container IN as indented XML in OUT",
    "Loads the compressed container IN into the document model and saves the document to OUT\n"
    "as indented XML, as the model saves files: lines end in a carriage return and a line\n"
    "feed. A container that is damaged anywhere fails as a whole. OUT is replaced only when\n"
    "the whole document was written.\n",
    RunExpand,
};

} // namespace Ostrel
