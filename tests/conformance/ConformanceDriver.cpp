// The conformance round trip over the XML conformance suite: every test document of the suite's
// manifest is put to the tokenizer alone, to the model and to the streaming parser, which must
// agree with it.
//
// - The tokenizer alone, created as the system creates it (input read as UTF-8 whatever the
//   document declares, no external entity read), decides whether a document is accepted.
// - An accepted document loads into the model from its file, is saved to a text, reloads from
//   that text to the same tree by the round-trip rule, and parses with the streaming parser
//   without a failure. The saved text goes to OUTPUT/saved/ and the loaded tree to
//   OUTPUT/trees.jsonl, where the independent reader holds them against each other.
// - A rejected document fails to load with exactly the tokenizer's message and position, and the
//   streaming parser delivers that message in exactly one ParseError.
//
// Usage: conformance_driver SUITE OUTPUT, SUITE being the suite package's folder. Prints the
// counts and every document that does not behave so, with the class it belongs to; the exit
// status is 1 when one of them belongs to no known class.
#include "TreeJson.h"
#include "model/XMLModel.h"
#include "parser/ParseErrorText.h"
#include "streaming/ParseEngine.h"
#include "support/ParserClients.h"
#include "support/TestSupport.h"
#include "support/TreeComparison.h"
#include "transfer/TextFile.h"

#include <expat.h>

#include <climits>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

namespace Ostrel {
namespace {

namespace fs = std::filesystem;

struct SuiteTest {
    std::string id;
    std::string type;
    // Relative to the suite's folder of documents.
    std::string uri;
};

std::string AttributeOf(const XMLNode& node, const char* name) {
    LONG index = 0;
    return node.FindAttribute(Text(name), &index) ? node.Attributes().ValueAt(index).c_str() : "";
}

// The tests of the flattened manifest, in its order, their documents resolved against the
// xml:base of the test cases around them.
void CollectTests(const XMLNode& node, const fs::path& base, std::vector<SuiteTest>& tests) {
    for (LONG i = 0; i < node.ChildCount(); ++i) {
        const XMLNode& child = *node.ChildAt(i);
        const fs::path childBase = base / AttributeOf(child, "xml:base");
        if (child.Name() == "TEST") {
            tests.push_back({AttributeOf(child, "ID"), AttributeOf(child, "TYPE"),
                             (childBase / AttributeOf(child, "URI")).lexically_normal().string()});
        } else {
            CollectTests(child, childBase, tests);
        }
    }
}

int Clamped(XML_Size position) {
    return position > static_cast<XML_Size>(INT_MAX) ? INT_MAX : static_cast<int>(position);
}

// The tokenizer's verdict: empty when it accepts the bytes, else its message and position.
std::string TokenizerFailure(const std::string& bytes) {
    XML_Parser parser = XML_ParserCreate("utf-8");
    std::string failure;
    if (XML_Parse(parser, bytes.data(), static_cast<int>(bytes.size()), XML_TRUE) !=
        XML_STATUS_OK) {
        failure =
            Text::Format("%s (Line: %d, Column: %d)", ParseErrorText(XML_GetErrorCode(parser)),
                         Clamped(XML_GetCurrentLineNumber(parser)),
                         Clamped(XML_GetCurrentColumnNumber(parser)))
                .c_str();
    }
    XML_ParserFree(parser);
    return failure;
}

std::string PendingError(XMLModel& model) {
    Text message;
    model.Errors().GetError(message);
    return message.c_str();
}

// The streaming parser's failures over the file, as the parser object reads it.
std::vector<std::string> StreamingFailures(const std::string& path) {
    TextFile file{Text(path.c_str())};
    Testing::RecordingClient client;
    std::vector<std::string> failures;
    if (!file.Open(false)) {
        return {"the file did not open"};
    }
    const bool parsed = RunParse(file, &client) == S_OK;
    for (const std::string& event : client.events) {
        if (event.rfind("ParseError ", 0) == 0) {
            failures.push_back(event);
        }
    }
    if (!parsed && failures.empty()) {
        failures.push_back("failed without a ParseError");
    }
    return failures;
}

std::string Listed(const std::vector<std::string>& events) {
    std::string list;
    for (const std::string& event : events) {
        list += (list.empty() ? "" : "; ") + event;
    }
    return list.empty() ? "none" : list;
}

// What one document came to when it was examined.
struct Outcome {
    bool messageMatched = false;
    bool roundTripped = false;
    Text saved;
    std::string tree;
};

// What went otherwise than `failure` (the tokenizer's verdict, empty for an accepted document)
// says for the document; empty when nothing.
std::string Examine(const std::string& path, const std::string& failure, Outcome& outcome) {
    XMLModel model;
    const bool loaded = model.LoadFile(Text(path.c_str()));
    const std::vector<std::string> streamed = StreamingFailures(path);
    if (!failure.empty()) {
        const std::string error = PendingError(model);
        if (loaded) {
            return "the model accepts what the tokenizer rejects: " + failure;
        }
        if (error != "XML Parse failed: " + failure) {
            return "the model fails with \"" + error + "\", the tokenizer with \"" + failure + "\"";
        }
        if (streamed.size() != 1 || streamed[0] != "ParseError '" + failure + "'") {
            return "the streaming parser reports " + Listed(streamed) + ", the tokenizer \"" +
                   failure + "\"";
        }
        outcome.messageMatched = true;
        return "";
    }
    if (!loaded) {
        return "the model rejects what the tokenizer accepts: " + PendingError(model);
    }
    if (!streamed.empty()) {
        return "the streaming parser reports " + Listed(streamed);
    }
    XMLModel reloaded;
    if (!model.SaveString(outcome.saved)) {
        return "the save failed: " + PendingError(model);
    }
    if (!reloaded.LoadString(outcome.saved)) {
        return "the saved text does not load: " + PendingError(reloaded);
    }
    const std::string difference = TreeDifference(model, reloaded);
    if (!difference.empty()) {
        return "the reloaded tree differs: " + difference;
    }
    outcome.roundTripped = true;
    outcome.tree = TreeJson(model);
    return "";
}

// Documents that the model and the streaming parser read otherwise than the tokenizer alone, for
// a described reason; each answers the name of its class when the document is one of them.
//
// The model and the streaming parser read files as text files, whose data ends at the first
// byte 26 (control-Z): such a document must be answered as the bytes before that byte are.
const char* ExclusionClassOf(const std::string& path, const std::string& bytes) {
    const size_t end = bytes.find('\x1a');
    Outcome outcome;
    if (end != std::string::npos &&
        Examine(path, TokenizerFailure(bytes.substr(0, end)), outcome).empty()) {
        return "a byte 26 ends a text file's data";
    }
    return nullptr;
}

struct Counts {
    int total = 0;
    int accepted = 0;
    int roundTripped = 0;
    int rejected = 0;
    int messagesMatching = 0;
};

int Run(const fs::path& suite, const fs::path& output) {
    XMLModel manifest;
    const fs::path manifestPath = suite / "cleaned" / "xmlconf-flattened.xml";
    if (!manifest.LoadFile(Text(manifestPath.string().c_str()))) {
        std::printf("the manifest %s does not load: %s\n", manifestPath.string().c_str(),
                    PendingError(manifest).c_str());
        return 1;
    }
    std::vector<SuiteTest> tests;
    CollectTests(manifest.Root(), fs::path(), tests);

    fs::remove_all(output);
    fs::create_directories(output / "saved");
    std::ofstream trees(output / "trees.jsonl", std::ios::binary);
    std::ofstream listed(output / "tests.txt", std::ios::binary);
    Counts counts;
    std::map<std::string, int> classCounts;
    int unexplained = 0;
    for (const SuiteTest& test : tests) {
        ++counts.total;
        listed << test.id << '\n';
        const std::string path = (suite / "xmlconf" / test.uri).string();
        const std::string bytes = ReadWholeFile(path);
        const std::string failure = TokenizerFailure(bytes);
        Outcome outcome;
        const std::string finding = Examine(path, failure, outcome);
        ++(failure.empty() ? counts.accepted : counts.rejected);
        counts.messagesMatching += outcome.messageMatched ? 1 : 0;
        if (outcome.roundTripped) {
            ++counts.roundTripped;
            const std::string file = "saved/" + std::to_string(counts.total) + ".xml";
            WriteWholeFile((output / file).string(), outcome.saved.c_str());
            trees << "{\"id\":" << JsonString(test.id.c_str())
                  << ",\"document\":" << JsonString(test.uri.c_str())
                  << ",\"saved\":" << JsonString(file.c_str()) << ",\"tree\":" << outcome.tree
                  << "}\n";
        }
        if (finding.empty()) {
            continue;
        }
        const char* exclusion = ExclusionClassOf(path, bytes);
        if (exclusion == nullptr) {
            ++unexplained;
            std::printf("FINDING %s (%s, %s): %s\n", test.id.c_str(), test.type.c_str(),
                        test.uri.c_str(), finding.c_str());
        } else {
            ++classCounts[exclusion];
            std::printf("excluded %s [%s] (%s, %s): %s\n", test.id.c_str(), exclusion,
                        test.type.c_str(), test.uri.c_str(), finding.c_str());
        }
    }
    std::printf("documents %d, accepted %d, round-tripped %d, rejected %d, rejection messages "
                "matching %d\n",
                counts.total, counts.accepted, counts.roundTripped, counts.rejected,
                counts.messagesMatching);
    for (const auto& [name, count] : classCounts) {
        std::printf("excluded as %s: %d\n", name.c_str(), count);
    }
    std::printf("unexplained: %d\n", unexplained);
    return unexplained == 0 && counts.total > 0 ? 0 : 1;
}

} // namespace
} // namespace Ostrel

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s SUITE OUTPUT\n", argv[0]);
        return 2;
    }
    return Ostrel::Run(argv[1], argv[2]);
}
