#include "Command.h"
#include "Components.h"
#include "DescriptorTransfer.h"
#include "EventPrinter.h"
#include "FailureReport.h"
#include "PendingError.h"
#include "SampleDocument.h"
#include "TemporaryFolder.h"
#include "host/Arguments.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace Ostrel {

namespace {

void Heading(const char* title) {
    std::printf("\n== %s\n", title);
}

// Lets `object` write through the tool's data sink onto standard output.
bool WriteThrough(LateBound& object, const char* member) {
    std::fflush(stdout);
    DescriptorTransfer output(STDOUT_FILENO);
    return object.Do(member, {ObjectArgument(&output)}) && output.Flush();
}

std::string TextOf(LateBound& element, const char* child) {
    LateBound found;
    std::string text;
    if (element.CallForObject("GetChild", {TextArgument(child)}, found)) {
        found.CallForText("GetText", {}, text);
    }
    return text;
}

// One line per product of the catalog; the last product goes to `last`.
bool Walk(LateBound& catalog, LateBound& last) {
    LONG count = 0;
    if (!catalog.CallForInteger("GetChildCount", {}, count)) {
        return false;
    }
    for (LONG i = 0; i < count; ++i) {
        LateBound child;
        std::string name;
        std::string sku;
        if (!catalog.CallForObject("GetChild", {IntegerArgument(i)}, child) ||
            !child.CallForText("GetName", {}, name)) {
            return false;
        }
        if (name != "product" ||
            !child.CallForText("GetAttributeByName", {TextArgument("sku")}, sku)) {
            continue;
        }
        std::printf("%-9s %-22s %6s\n", sku.c_str(), TextOf(child, "title").c_str(),
                    TextOf(child, "price").c_str());
        last = std::move(child);
    }
    return true;
}

bool Edit(LateBound& product) {
    LateBound note;
    return product.Do("SetAttribute", {TextArgument("stock"), TextArgument("120")}) &&
           product.CallForObject("AddChild", {TextArgument("note")}, note) &&
           note.Do("SetText", {TextArgument("back in stock")});
}

long long FileSize(const std::string& path) {
    struct stat info {};
    return stat(path.c_str(), &info) == 0 ? static_cast<long long>(info.st_size) : -1;
}

// The streaming parser's events for the text, one per line.
bool Stream(const std::string& xml, std::string& events) {
    LateBound parser;
    if (!CreateRegistered(kParserProgId, parser)) {
        return false;
    }
    char* buffer = nullptr;
    size_t size = 0;
    FILE* memory = open_memstream(&buffer, &size);
    if (memory == nullptr) {
        ReportFailure("Failed to collect the events");
        return false;
    }
    EventPrinter printer(memory);
    const bool parsed = parser.Do("ParseString", {TextArgument(xml), ObjectArgument(&printer)});
    // Closing writes what the stream still holds into the buffer, which may need memory.
    const bool collected = std::fclose(memory) == 0;
    if (collected) {
        events.assign(buffer, size);
    }
    std::free(buffer);
    if (!collected) {
        ReportFailure("Failed to collect the events");
        return false;
    }
    if (!parsed) {
        ReportFailure(printer.Error().empty() ? "Failed to stream the text" : printer.Error());
    }
    return parsed;
}

// "1 start-document, 12 start, ...": how many events of each kind, in the order of their first.
std::string CountKinds(const std::string& events) {
    std::vector<std::pair<std::string, int>> counts;
    for (size_t start = 0; start < events.size();) {
        const size_t end = events.find('\n', start);
        const std::string line = events.substr(start, end - start);
        const std::string kind = line.substr(0, line.find(' '));
        auto known = std::find_if(counts.begin(), counts.end(),
                                  [&](const auto& count) { return count.first == kind; });
        if (known == counts.end()) {
            counts.emplace_back(kind, 1);
        } else {
            ++known->second;
        }
        start = end == std::string::npos ? events.size() : end + 1;
    }
    std::string summary;
    for (const auto& count : counts) {
        summary += (summary.empty() ? "" : ", ") + std::to_string(count.second) + " " + count.first;
    }
    return summary;
}

bool SavesTheSame(LateBound& reloaded, const std::string& expected) {
    std::string text;
    return reloaded.CallForText("SaveToString", {}, text) && text == expected;
}

int ShowRoundTrips(LateBound& model, const std::string& xml) {
    TemporaryFolder folder("pravell-demo");
    if (!folder.IsCreated()) {
        return ReportSystemFailure("Failed to create a temporary folder", folder.ErrorNumber());
    }
    const std::string container = folder.PathOf("sample.pxc");
    const std::string plain = folder.PathOf("sample.xml");
    LateBound compressed;
    LateBound expanded;
    if (!model.Do("SaveCompressed", {TextArgument(container)})) {
        return ReportPendingFailure(model, "Failed to write compressed file: " + container);
    }
    if (!CreateRegistered(kModelProgId, compressed) || !CreateRegistered(kModelProgId, expanded)) {
        return kExitFailure;
    }
    if (!compressed.Do("LoadCompressed", {TextArgument(container)})) {
        return ReportPendingFailure(compressed, "Failed to open compressed file: " + container);
    }
    if (!compressed.Do("Save", {TextArgument(plain)})) {
        return ReportFailure(compressed, "Failed to write file: " + plain);
    }
    if (!expanded.Do("Load", {TextArgument(plain)})) {
        return ReportFailure(expanded, "Failed to load the document: " + plain);
    }
    const long long containerSize = FileSize(container);
    const auto textSize = static_cast<long long>(xml.size());
    const bool same = SavesTheSame(compressed, xml) && SavesTheSame(expanded, xml);
    Heading("Round trips: compressed container, then plain file");
    std::printf("XML text               %7lld bytes\n", textSize);
    std::printf("compressed container   %7lld bytes, %lld%% of the text\n", containerSize,
                (containerSize * 100 + textSize / 2) / textSize);
    std::printf("plain file             %7lld bytes, lines ending in CR LF\n", FileSize(plain));
    std::printf("both reloaded          %s\n", same ? "save the same text" : "DIFFER");
    return same ? kExitSuccess : ReportFailure("A round trip changed the document");
}

int ShowStream(const std::string& xml) {
    std::string events;
    if (!Stream(xml, events)) {
        return kExitFailure;
    }
    Heading("The saved text through the streaming parser");
    std::printf("%s\n", CountKinds(events).c_str());
    return kExitSuccess;
}

int RunDemo(const char* const*) {
    LateBound model;
    LateBound root;
    LateBound catalog;
    LateBound product;
    std::string xml;
    if (!CreateRegistered(kModelProgId, model)) {
        return kExitFailure;
    }
    std::printf("== The sample document, as the model saves it\n");
    if (!model.Do("LoadFromString", {TextArgument(kSampleDocument)}) ||
        !WriteThrough(model, "SaveToTransfer")) {
        return ReportFailure(model, "Failed to load and show the sample document");
    }
    Heading("Walking the tree: the products");
    if (!model.CallForObject("GetRoot", {}, root) ||
        !root.CallForObject("GetChild", {IntegerArgument(0)}, catalog) || !Walk(catalog, product) ||
        !product) {
        return ReportFailure("Failed to walk the sample document");
    }
    Heading("Editing the last product: stock changed, a note added");
    if (!Edit(product) || !WriteThrough(product, "WriteTo")) {
        return ReportFailure("Failed to edit the sample document");
    }
    if (!model.CallForText("SaveToString", {}, xml)) {
        return ReportFailure(model, "Failed to save the edited document");
    }
    const int roundTrips = ShowRoundTrips(model, xml);
    return roundTrips != kExitSuccess ? roundTrips : ShowStream(xml);
}

} // namespace

extern const Command kDemoCommand = {
    "demo",
    "",
    0,
    0,
    false,
    "take a built-in sample through every path: load, walk, edit, save, stream",
    "Creates a \"Corvantis.XMLModel\" and loads a small sample document built into the tool (a\n"
    "document type declaration, nested elements, attributes, content that needs CDATA,\n"
    "comments). Prints it as the model saves it, walks its products, edits one and prints\n"
    "that element, saves the document as a compressed container in a temporary folder and\n"
    "loads it into a second model, expands it to a plain file and loads that, and streams the\n"
    "text through a \"Corvantis.StreamingXMLParser\", printing what each step found. The\n"
    "folder is removed afterwards.\n",
    RunDemo,
};

} // namespace Ostrel
