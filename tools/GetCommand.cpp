#include "Command.h"
#include "DocumentInput.h"
#include "FailureReport.h"
#include "host/Arguments.h"

#include <cstdio>
#include <string>
#include <vector>

namespace Ostrel {

namespace {

// The steps of a path such as "catalog/book/@id": element names, starting with the document
// element, and at most one attribute, last. Empty when the path is not of that shape.
std::vector<std::string> Steps(const std::string& path) {
    std::vector<std::string> steps;
    size_t start = 0;
    for (;;) {
        const size_t slash = path.find('/', start);
        steps.push_back(path.substr(start, slash - start));
        const std::string& step = steps.back();
        const bool attribute = !step.empty() && step[0] == '@';
        if (step.empty() || step == "@" ||
            (attribute && (slash != std::string::npos || steps.size() == 1))) {
            return {};
        }
        if (slash == std::string::npos) {
            return steps;
        }
        start = slash + 1;
    }
}

std::string Joined(const std::vector<std::string>& steps, size_t count) {
    std::string path;
    for (size_t i = 0; i < count; ++i) {
        path += (i == 0 ? "" : "/") + steps[i];
    }
    return path;
}

int RunGet(const char* const* operands) {
    const std::vector<std::string> steps = Steps(operands[1]);
    if (steps.empty()) {
        std::fprintf(stderr,
                     "pravell: not a path: %s (element names separated by /, optionally ending "
                     "in @attribute)\nTry 'pravell help get'.\n",
                     operands[1]);
        return kExitUsage;
    }
    LateBound node;
    LateBound model;
    if (!LoadModel(operands[0], model)) {
        return kExitFailure;
    }
    if (!model.CallForObject("GetRoot", {}, node)) {
        return ReportFailure(model, "Failed to reach the root element");
    }
    std::string value;
    for (size_t i = 0; i < steps.size(); ++i) {
        const std::string& step = steps[i];
        LateBound next;
        if (step[0] == '@') {
            if (!node.CallForText("GetAttributeByName", {TextArgument(step.substr(1))}, value)) {
                return ReportFailure("no attribute " + step.substr(1) + " on " + Joined(steps, i) +
                                     " in " + operands[0]);
            }
            break;
        }
        if (!node.CallForObject("GetChild", {TextArgument(step)}, next)) {
            return ReportFailure("no element " + Joined(steps, i + 1) + " in " + operands[0]);
        }
        node = std::move(next);
        if (i + 1 == steps.size() && !node.CallForText("GetText", {}, value)) {
            return ReportFailure(node, "Failed to read the text of " + Joined(steps, i + 1));
        }
    }
    value += '\n';
    std::fwrite(value.data(), 1, value.size(), stdout);
    return kExitSuccess;
}

} // namespace

extern const Command kGetCommand = {
    "get",
    "FILE|- PATH",
    2,
    2,
    true,
    "print the text of an element or the value of an attribute",
    "Loads the XML document FILE, or standard input for -, into a \"Corvantis.XMLModel\" and\n"
    "walks PATH from the top: element names separated by /, the first child of each name\n"
    "(letter case ignored), optionally ending in @NAME for an attribute of the last element.\n"
    "Prints the element's text or the attribute's value and a line feed, for example\n"
    "  pravell get catalog.xml catalog/book/title\n"
    "  pravell get catalog.xml catalog/book/@id\n"
    "A path that leads nowhere exits 1 and names the first step that does not exist.\n",
    RunGet,
};

} // namespace Ostrel
