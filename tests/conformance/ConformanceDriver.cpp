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
// counts and every document that does not behave so; the exit status is 1 when there is one.
#include "model/XMLModel.h"
#include "parser/ParseErrorText.h"
#include "streaming/ParseEngine.h"
#include "support/ParserClients.h"
#include "support/TestSupport.h"
#include "support/TreeComparison.h"
#include "transfer/TextFile.h"

#include <expat.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace Ostrel {
namespace {

namespace fs = std::filesystem;

struct SuiteTest {
    std::string id;
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
            tests.push_back({AttributeOf(child, "ID"),
                             (childBase / AttributeOf(child, "URI")).lexically_normal().string()});
        } else {
            CollectTests(child, childBase, tests);
        }
    }
}

// The string as a JSON string literal; the bytes are UTF-8, only quotes, backslashes and control
// characters are escaped.
std::string JsonString(const std::string& text) {
    std::string out = "\"";
    for (const unsigned char byte : text) {
        char escaped[8];
        std::snprintf(escaped, sizeof escaped, byte < 0x20 ? "\\u%04x" : "%c", byte);
        out += std::string(byte == '"' || byte == '\\' ? "\\" : "") + escaped;
    }
    return out + "\"";
}

// The elements below `node` as a JSON array, each {"name", "attributes" (pairs in the model's
// order), "text", "comments", "children"}, for the independent reader to hold against what it
// reads.
std::string TreeJson(const XMLNode& node) {
    std::string out = "[";
    for (LONG i = 0; i < node.ChildCount(); ++i) {
        const XMLNode& child = *node.ChildAt(i);
        const TaggedAttributes& attributes = child.Attributes();
        out += std::string(i > 0 ? "," : "") + "{\"name\":" + JsonString(child.Name().c_str()) +
               ",\"attributes\":[";
        for (LONG a = 0; a < attributes.Count(); ++a) {
            out += std::string(a > 0 ? "," : "") + "[" + JsonString(attributes.NameAt(a).c_str()) +
                   "," + JsonString(attributes.ValueAt(a).c_str()) + "]";
        }
        out += "],\"text\":" + JsonString(child.GetText().c_str()) + ",\"comments\":[";
        for (LONG c = 0; c < child.CommentCount(); ++c) {
            out += (c > 0 ? "," : "") + JsonString(child.CommentAt(c).c_str());
        }
        out += "],\"children\":" + TreeJson(child) + "}";
    }
    return out + "]";
}

// The tokenizer's verdict: empty when it accepts the bytes, else its message and position.
std::string TokenizerFailure(const std::string& bytes) {
    XML_Parser parser = XML_ParserCreate("utf-8");
    std::string failure;
    if (XML_Parse(parser, bytes.data(), static_cast<int>(bytes.size()), XML_TRUE) !=
        XML_STATUS_OK) {
        failure = std::string(ParseErrorText(XML_GetErrorCode(parser))) +
                  " (Line: " + std::to_string(XML_GetCurrentLineNumber(parser)) +
                  ", Column: " + std::to_string(XML_GetCurrentColumnNumber(parser)) + ")";
    }
    XML_ParserFree(parser);
    return failure;
}

std::string PendingError(XMLModel& model) {
    Text message;
    model.Errors().GetError(message);
    return message.c_str();
}

// What the streaming parser answers for the file, as the parser object reads it: "" when it
// parses, else "failed: " and its events from the first ParseError on.
std::string StreamingFailures(const std::string& path) {
    TextFile file{Text(path.c_str())};
    Testing::RecordingClient client;
    // A file that does not open fails the parse as unreadable.
    file.Open(false);
    const bool parsed = RunParse(file, &client) == S_OK;
    const std::string log = Testing::LogText(client.events);
    const size_t error = log.find("ParseError ");
    return (parsed ? "" : "failed: ") + (error == std::string::npos ? "" : log.substr(error));
}

// What went otherwise for the document than `failure` (the tokenizer's verdict, empty for an
// accepted document) says, empty when nothing; after a round trip, the saved text and the
// loaded tree.
std::string Examine(const std::string& path, const std::string& failure, Text& saved,
                    std::string& tree) {
    XMLModel model;
    const std::string answered =
        model.LoadFile(Text(path.c_str())) ? "" : "failed: " + PendingError(model);
    const std::string streamed = StreamingFailures(path);
    if (answered != (failure.empty() ? "" : "failed: XML Parse failed: " + failure) ||
        streamed !=
            (failure.empty() ? "" : "failed: ParseError '" + failure + "'\nEndDocument\n")) {
        return "the tokenizer answers \"" + failure + "\", the model \"" + answered +
               "\", the streaming parser \"" + streamed + "\"";
    }
    if (!failure.empty()) {
        return "";
    }
    XMLModel reloaded;
    if (!model.SaveString(saved) || !reloaded.LoadString(saved)) {
        return "the saved text does not load: " + PendingError(model) + PendingError(reloaded);
    }
    const std::string difference = TreeDifference(model, reloaded);
    tree = difference.empty() ? TreeJson(model.Root()) : "";
    return difference.empty() ? "" : "the reloaded tree differs: " + difference;
}

int Run(const fs::path& suite, const fs::path& output) {
    XMLModel manifest;
    if (!manifest.LoadFile(Text((suite / "cleaned" / "xmlconf-flattened.xml").string().c_str()))) {
        std::printf("the manifest does not load: %s\n", PendingError(manifest).c_str());
        return 1;
    }
    std::vector<SuiteTest> tests;
    CollectTests(manifest.Root(), fs::path(), tests);

    fs::remove_all(output);
    fs::create_directories(output / "saved");
    std::ofstream trees(output / "trees.jsonl", std::ios::binary);
    std::ofstream listed(output / "tests.txt", std::ios::binary);
    int roundTripped = 0;
    int findings = 0;
    for (const SuiteTest& test : tests) {
        listed << test.id << '\n';
        const std::string path = (suite / "xmlconf" / test.uri).string();
        // The model and the streaming parser read files as text files, whose data ends at the
        // first byte 26 (control-Z): the tokenizer is given the bytes before it.
        const std::string bytes = ReadWholeFile(path);
        const std::string failure = TokenizerFailure(bytes.substr(0, bytes.find('\x1a')));
        Text saved;
        std::string tree;
        const std::string finding = Examine(path, failure, saved, tree);
        if (!tree.empty()) {
            const std::string file = "saved/" + std::to_string(++roundTripped) + ".xml";
            WriteWholeFile((output / file).string(), saved.c_str());
            trees << "{\"id\":" << JsonString(test.id) << ",\"document\":" << JsonString(test.uri)
                  << ",\"saved\":" << JsonString(file) << ",\"tree\":" << tree << "}\n";
        }
        if (!finding.empty()) {
            ++findings;
            std::printf("FINDING %s (%s): %s\n", test.id.c_str(), test.uri.c_str(),
                        finding.c_str());
        }
    }
    std::printf("documents %zu, round-tripped %d, findings %d\n", tests.size(), roundTripped,
                findings);
    return findings == 0 && !tests.empty() ? 0 : 1;
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
