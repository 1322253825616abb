#include "Command.h"
#include "FailureReport.h"
#include "model/XMLModel.h"

namespace Ostrel {

namespace {

int RunCompress(const char* const* operands) {
    XMLModel model;
    if (!model.LoadFile(Text(operands[0]))) {
        return ReportFailure(model, Text("Failed to load the document: ") + operands[0]);
    }
    if (!model.SaveCompressed(Text(operands[1]))) {
        return ReportFailure(model, Text("Failed to write compressed file: ") + operands[1]);
    }
    return kExitSuccess;
}

} // namespace

extern const Command kCompressCommand = {
    "compress",
    "IN OUT",
    2,
    false,
    "save the XML document IN as the compressed container OUT",
    "Loads the XML document IN into the document model and saves it to OUT as a compressed\n"
    "container: a fixed header followed by zlib-compressed blocks of the indented XML text\n"
    "(the text that `pravell format IN` prints). OUT is replaced only when the whole container\n"
    "was written.\n",
    RunCompress,
};

} // namespace Ostrel
