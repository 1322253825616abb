#include "Command.h"
#include "DescriptorTransfer.h"
#include "DocumentInput.h"
#include "FailureReport.h"
#include "host/Arguments.h"

#include <unistd.h>

#include <cerrno>

namespace Ostrel {

namespace {

int ReportOutputFailure(const DescriptorTransfer& output) {
    const int error = output.ErrorNumber();
    if (error == 0) {
        return ReportFailure("Failed to write the document to standard output");
    }
    return ReportSystemFailure("Failed to write to standard output", error);
}

int RunFormat(const char* const* operands) {
    LateBound model;
    if (!LoadModel(operands[0], model)) {
        return kExitFailure;
    }
    DescriptorTransfer output(STDOUT_FILENO);
    if (!model.Do("SaveToTransfer", {ObjectArgument(&output)}) || !output.Flush()) {
        return ReportOutputFailure(output);
    }
    return kExitSuccess;
}

} // namespace

extern const Command kFormatCommand = {
    "format",
    "FILE|-",
    1,
    1,
    true,
    "print an XML document indented, as the document model saves it",
    "Loads the XML document FILE, or standard input for -, into a \"Corvantis.XMLModel\"\n"
    "through the tool's own data source (LoadFromTransfer) and prints it as the model saves\n"
    "it (SaveToTransfer): the XML declaration, the document type declaration when the\n"
    "document has one, then one element per line indented by three blanks per level.\n"
    "Content holding &, < or > is put in CDATA sections; comments before the document element\n"
    "and processing instructions are not kept. Lines end in a line feed.\n",
    RunFormat,
};

} // namespace Ostrel
