#include "Command.h"
#include "DescriptorTransfer.h"
#include "FailureReport.h"
#include "model/XMLModel.h"

#include <unistd.h>

#include <cstring>

namespace Ostrel {

namespace {

bool Load(XMLModel& model, const char* operand) {
    if (std::strcmp(operand, "-") != 0) {
        return model.LoadFile(Text(operand));
    }
    DescriptorTransfer input(STDIN_FILENO);
    return model.LoadTransfer(input);
}

int RunFormat(const char* const* operands) {
    XMLModel model;
    if (!Load(model, operands[0])) {
        return ReportFailure(model, Text("Failed to load the document: ") + operands[0]);
    }
    DescriptorTransfer output(STDOUT_FILENO);
    if (!model.SaveTransfer(output) || !output.Flush()) {
        return ReportOutputFailure(output);
    }
    return kExitSuccess;
}

} // namespace

extern const Command kFormatCommand = {
    "format",
    "FILE|-",
    1,
    true,
    "print an XML document indented, as the document model saves it",
    "Loads the XML document FILE, or standard input for -, into the document model and prints\n"
    "it on standard output as the model saves it: the XML declaration, the document type if\n"
    "the document has one, then one element per line indented by three blanks per level.\n"
    "Content holding &, < or > is put in CDATA sections; comments before the document element\n"
    "and processing instructions are not kept. Lines end in a line feed.\n",
    RunFormat,
};

} // namespace Ostrel
