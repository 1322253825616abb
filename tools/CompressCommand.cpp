#include "Command.h"
#include "Components.h"
#include "FailureReport.h"
#include "PendingError.h"
#include "host/Arguments.h"

#include <string>

namespace Ostrel {

namespace {

int RunCompress(const char* const* operands) {
    LateBound model;
    if (!CreateRegistered(kModelProgId, model)) {
        return kExitFailure;
    }
    if (!model.Do("Load", {TextArgument(operands[0])})) {
        return ReportFailure(model, std::string("Failed to load the document: ") + operands[0]);
    }
    if (!model.Do("SaveCompressed", {TextArgument(operands[1])})) {
        return ReportPendingFailure(model,
                                    std::string("Failed to write compressed file: ") + operands[1]);
    }
    return kExitSuccess;
}

} // namespace

extern const Command kCompressCommand = {
    "compress",
    "IN OUT",
    2,
    2,
    false,
    "save the XML document IN as the compressed container OUT",
    "Loads the XML document IN into a \"Corvantis.XMLModel\" (Load) and saves it to OUT as a\n"
    "compressed container (SaveCompressed): a fixed header followed by zlib-compressed blocks\n"
    "of the indented XML text (the text that `pravell format IN` prints). OUT is replaced only\n"
    "when the whole container was written.\n",
    RunCompress,
};

} // namespace Ostrel
