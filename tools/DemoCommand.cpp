#include "Command.h"
#include "DescriptorTransfer.h"
#include "FailureReport.h"
#include "SampleDocument.h"
#include "TemporaryFolder.h"
#include "TreeComparison.h"
#include "model/XMLModel.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstring>

namespace Ostrel {

namespace {

bool WriteLine(DescriptorTransfer& output, const Text& line) {
    return output.Write(line.c_str(), line.Length()) && output.Write("\n", 1);
}

// The size of the XML text that a save writes, and of the container that holds it.
struct Sizes {
    LONG text = 0;
    int64_t container = 0;
};

bool Measure(XMLModel& model, const Text& container, Sizes& sizes) {
    Text xml;
    struct stat info;
    if (!model.SaveString(xml) || stat(container.c_str(), &info) != 0) {
        return false;
    }
    sizes.text = xml.Length();
    sizes.container = static_cast<int64_t>(info.st_size);
    return true;
}

Text Verdict(const TreeComparison& comparison, const XMLModel& model) {
    if (!comparison.Same()) {
        return Text("DIFFERENT at ") + comparison.Difference().c_str();
    }
    return Text::Format(
        "the same: %d elements, %d attributes, %d comments, document type \"%s\"",
        static_cast<int>(comparison.Elements()), static_cast<int>(comparison.Attributes()),
        static_cast<int>(comparison.Comments()), model.GetDocumentType().name.c_str());
}

bool WriteSummary(DescriptorTransfer& output, const Sizes& sizes, const Text& verdict) {
    const auto percent = static_cast<int>((sizes.container * 100 + sizes.text / 2) / sizes.text);
    return WriteLine(output, Text("\n== Round trip through a compressed container")) &&
           WriteLine(output, Text::Format("XML text               %7d bytes",
                                          static_cast<int>(sizes.text))) &&
           WriteLine(output, Text::Format("compressed container   %7lld bytes, %d%% of the text",
                                          static_cast<long long>(sizes.container), percent)) &&
           WriteLine(output, Text("reloaded tree          ") + verdict.c_str());
}

int RunDemo(const char* const*) {
    XMLModel original;
    if (!original.LoadString(Text(kSampleDocument))) {
        return ReportFailure(original, Text("Failed to load the sample document"));
    }
    DescriptorTransfer output(STDOUT_FILENO);
    if (!WriteLine(output, Text("== The sample document, as the document model saves it")) ||
        !original.SaveTransfer(output)) {
        return ReportOutputFailure(output);
    }

    TemporaryFolder folder("pravell-demo");
    if (!folder.IsCreated()) {
        return ReportFailure(Text("Failed to create a temporary folder: ") +
                             std::strerror(folder.ErrorNumber()));
    }
    const Text container = folder.PathOf("sample.pxc");
    if (!original.SaveCompressed(container)) {
        return ReportFailure(original,
                             Text("Failed to write compressed file: ") + container.c_str());
    }
    XMLModel reloaded;
    if (!reloaded.LoadCompressed(container)) {
        return ReportFailure(reloaded,
                             Text("Failed to open compressed file: ") + container.c_str());
    }
    Sizes sizes;
    if (!Measure(original, container, sizes)) {
        return ReportFailure(Text("Failed to measure the compressed file: ") + container.c_str());
    }

    const TreeComparison comparison(original, reloaded);
    if (!WriteSummary(output, sizes, Verdict(comparison, original)) || !output.Flush()) {
        return ReportOutputFailure(output);
    }
    if (!comparison.Same()) {
        return ReportFailure(Text("The compressed round trip changed the document"));
    }
    return kExitSuccess;
}

} // namespace

extern const Command kDemoCommand = {
    "demo",
    "",
    0,
    false,
    "show formatting and a compressed round trip on a built-in sample",
    "Loads a small sample document built into the tool (a document type declaration, nested\n"
    "elements, attributes, content that needs CDATA, comments), prints it as the document\n"
    "model saves it, saves it as a compressed container in a temporary folder, loads the\n"
    "container into a second model and prints the sizes of the XML text and of the container\n"
    "and whether the reloaded tree is the same as the original. The folder is removed\n"
    "afterwards.\n",
    RunDemo,
};

} // namespace Ostrel
