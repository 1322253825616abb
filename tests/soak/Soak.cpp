// The soak: one process that, round after round, does what long-running hosts do with the
// component, and holds that it keeps nothing between rounds.
//
//     soak [ROUNDS]   (10000 by default)
//
// Each round makes its objects as a host does (the class of a programmatic identifier, its
// factory, then only calls by name). It loads a generated document (Generator below: the round
// is the seed), walks and edits the tree through node objects it holds and lets go of, saves it
// as a text file and as a container, clears and reloads it, and reads both files and a host's
// stream back into a model kept for the whole run, whose load of a broken document must then fail
// with its own description alone; every copy must come back the same. It streams the saved text to
// parser clients from a string, a file and a host's stream, and fails a parse on purpose.
//
// After each round every counted object is gone again and the clients and streams have every
// reference back. At checkpoints it prints the resident memory and the open files; after round
// 100 the memory must stay within 2 MiB of round 100's, with as many files open. Under
// AddressSanitizer, whose quarantine holds freed memory back, only the files are compared; its
// leak check at exit holds the rest.
#include "dispatch/CountedObject.h"
#include "host/Component.h"
#include "server/PravellServer.h"
#include "server/ServerRegistration.h"
#include "support/HostStreams.h"
#include "support/LateBinding.h"
#include "support/ParserClients.h"
#include "support/PrivateRegistry.h"
#include "support/TestSupport.h"

#include <malloc.h>
#include <unistd.h>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <string>
#include <utility>
#include <vector>

namespace Ostrel::Soak {

namespace {

using namespace Testing;

// Names beyond ASCII and with every punctuation a name may hold.
constexpr std::array<const char*, 9> kNames = {
    "item", "row",    "entry", "gr\303\266\303\237e",  "data-set",
    "a",    "node_1", "x.y",   "\303\211l\303\251ment"};

// Words of text: references the writer must escape again, characters of two, three and four
// bytes, quotes, and line breaks. The first kLeadingWords start no blank.
constexpr size_t kLeadingWords = 12;
constexpr std::array<const char*, 16> kWords = {
    "lorem",       "ipsum",        "&amp;",        "&lt;tag&gt;",
    "caf\xC3\xA9", "\xE2\x82\xAC", "\xE2\x98\x83", "\xF0\x9F\x8C\x8D",
    "\"quoted\"",  "it's",         "12345",        "&#x263A;",
    "\n",          "  ",           "dolor",        "&#38;"};

// Attribute values: quotes of both kinds, references, and line breaks and tabs, both as
// references (kept) and as themselves (read as blanks).
constexpr std::array<const char*, 8> kValues = {"plain",
                                                "&quot;both&quot; 'quotes'",
                                                "a &amp; b",
                                                "caf\xC3\xA9",
                                                "",
                                                "\xE2\x98\x83 snow",
                                                "line&#10;break&#9;tab&#13;",
                                                "raw\tbreak\n"};

// No child and no text is added past this size.
constexpr size_t kMostBytes = 30000;

// A document whose shape and content the seed draws: the same seed gives the same bytes on every
// run and every system (the generator is our own, not the standard library's distributions, whose
// results differ between implementations), so that a round can be run again alone.
struct Generator {
    explicit Generator(uint64_t seed) : state(seed) {}

    // The random sequence first, so that it is there when the bounds below are drawn.
    uint64_t state;
    std::string xml;
    // The shape's bounds: deep chains, elements with thousands of children, dozens of
    // attributes (past the point where an element sorts them), texts across the tokenizer's
    // pieces, comments before and between children.
    const size_t levels = Pick({1, 2, 12, 200});
    const size_t children = Pick({1, 8, 2000});
    const size_t attributes = Pick({0, 3, 80});
    const size_t text = Pick({0, 40, 25000});
    const size_t commentOneIn = Pick({0, 2, 10});

    // splitmix64: small, fast, and the same sequence everywhere.
    size_t Below(size_t bound) {
        uint64_t z = (state += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return static_cast<size_t>((z ^ (z >> 31)) % bound);
    }
    size_t Pick(std::initializer_list<size_t> choices) {
        return choices.begin()[Below(choices.size())];
    }

    // A run of text, when wanted. It never starts with a blank: where a piece of the input ends
    // inside the blanks that start a run, a load drops them, so such a text would come back from
    // one source and not from another.
    void Words(bool wanted) {
        if (!wanted || text == 0 || xml.size() >= kMostBytes) {
            return;
        }
        xml += kWords[Below(kLeadingWords)];
        for (const size_t end = xml.size() + Below(text); xml.size() < end;) {
            xml += ' ' + std::string(kWords[Below(kWords.size())]);
        }
    }

    // Attribute names are distinct, as a well-formed tag needs; some differ from an earlier one
    // only in letter case, which an element sorted by name keeps only once.
    void Element(size_t depth) {
        const std::string name = kNames[Below(kNames.size())] + std::to_string(Below(100));
        xml += '<' + name;
        for (size_t i = 0, count = Below(attributes + 1); i < count; ++i) {
            const bool upper = i > 0 && Below(8) == 0;
            const std::string value = kValues[Below(kValues.size())];
            const char quote = value.find('\'') == std::string::npos && Below(2) == 0 ? '\'' : '"';
            xml += ' ' + std::string(upper ? "A" : "a") + std::to_string(i - (upper ? 1 : 0)) +
                   '=' + quote + value + quote;
        }
        xml += '>';
        const size_t count = depth < levels ? Below(children) + 1 : 0;
        for (size_t i = 0; i < count && xml.size() < kMostBytes; ++i) {
            Words(Below(2) == 0);
            xml += commentOneIn > 0 && Below(commentOneIn) == 0
                       ? "<!-- caf\xC3\xA9 - \xE2\x98\x83 <not a tag> &amp; -->"
                       : "";
            xml += Below(32) == 0 ? "<![CDATA[<raw> & ]]>" : Below(32) == 0 ? "<?pi data?>" : "";
            Element(depth + 1);
        }
        Words(count == 0 || Below(2) == 0);
        xml += "</" + name + '>';
    }

    std::string Document() {
        xml += Below(2) == 0 ? "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n" : "";
        xml += Below(3) == 0 ? "<!DOCTYPE doc>\n" : "";
        // Comments outside the top element, which a save leaves out.
        const std::string outside = commentOneIn > 0 ? "<!-- outside -->" : "";
        xml += outside;
        Element(0);
        return xml + outside;
    }
};

constexpr long kRuleRound = 100;
constexpr long kMostGrowth = 2L * 1024 * 1024;
// Node objects a walk holds at once.
constexpr size_t kMostHeldNodes = 400;

// What went wrong in the current round.
std::vector<std::string> failures;

void Expect(bool holds, const std::string& what) {
    if (!holds) {
        failures.push_back(what);
    }
}

// The resident memory once the heap has given back the pages it holds free. Rounds of large
// temporary texts leave free memory spread over the heap, where the allocator keeps it: bounded,
// but placed by chance, so that the untrimmed figure wanders by a megabyte or two between runs.
// What stays after trimming is what the process holds, and a leak shows there.
long TrimmedResidentBytes() {
    malloc_trim(0);
    long pages = 0;
    long resident = 0;
    std::ifstream("/proc/self/statm") >> pages >> resident;
    return resident * sysconf(_SC_PAGESIZE);
}

long OpenFiles() {
    const std::filesystem::directory_iterator files("/proc/self/fd");
    return static_cast<long>(std::distance(begin(files), end(files)));
}

// A new object of the class registered under `progId`, from the class's factory.
LateBound Create(const char* progId) {
    CLSID clsid{};
    IDispatch* object = nullptr;
    Expect(FindClass(progId, clsid) == S_OK &&
               PravellServer::Running()->FindFactory(clsid)->CreateInstance(
                   nullptr, IID_IDispatch, reinterpret_cast<void**>(&object)) == S_OK,
           std::string("creating ") + progId);
    return LateBound(object);
}

// Calls by name a member that must succeed.
Outcome Must(IDispatch* object, const std::string& member, std::vector<VARIANT> arguments = {}) {
    Outcome outcome = Call(object, member, std::move(arguments));
    Expect(outcome.code == S_OK, member + " failed: " + outcome.description);
    return outcome;
}

// The document cut in the middle of its tree, where a load or a parse fails.
std::string Broken(const std::string& xml) {
    return xml.substr(0, xml.size() / 2) + "<";
}

// Holds node objects breadth first from the root, reading the text of each, until
// kMostHeldNodes are held.
std::vector<LateBound> Walk(IDispatch* model) {
    std::vector<LateBound> held;
    held.push_back(Must(model, "GetRoot").Object());
    for (size_t i = 0; i < held.size(); ++i) {
        // The object itself, which stays where it is when the vector grows.
        IDispatch* node = held[i];
        Must(node, "GetText");
        const Outcome children = Must(node, "GetChildCount");
        for (LONG c = 0;
             children.value.vt == VT_I4 && c < children.value.lVal && held.size() < kMostHeldNodes;
             ++c) {
            held.push_back(Must(node, "GetChild", {IntegerArgument(c)}).Object());
        }
    }
    return held;
}

// A generated document through a new model: load, walk, edit (answering the edited text), save
// as a text file and as a container, clear, reload. The kept model reads both files and a host's
// stream back to the text that the new one saves after the reload. (A saved text is not loaded
// back to itself: the text of an element with children takes in the line break and indentation
// that follow it.)
std::string ThroughTheModel(IDispatch* kept, const std::string& xml, const std::string& file,
                            long round) {
    const std::string container = file + ".pxc";
    LateBound model = Create("Corvantis.XMLModel");
    Must(model, "LoadFromString", {TextArgument(xml)});
    std::vector<LateBound> held = Walk(model);
    // Edits through held nodes, then lets every other one go.
    const LateBound added = Must(held.back(), "AddChild", {TextArgument("added")}).Object();
    Must(added, "SetText", {IntegerArgument(static_cast<LONG>(round))});
    Must(added, "AddAttribute", {TextArgument("share"), Typed(round + 0.25, VT_R8)});
    Must(added, "AddAttributeText", {TextArgument("by"), TextArgument("soak & \"co\"")});
    Must(held[held.size() / 2], "SetAttribute", {TextArgument("seen"), TextArgument("yes")});
    Must(held[1], "SetName", {TextArgument("renamed")});
    for (size_t i = 1; i + 1 < held.size(); i += 2) {
        held[i].Reset();
    }
    const std::string edited = Must(model, "SaveToString").Text();
    Must(model, "Save", {TextArgument(file)});
    Must(model, "SaveCompressed", {TextArgument(container)});
    ScriptStream stream(edited);
    Must(held.back(), "WriteTo", {ObjectArgument(&stream)});

    Must(model, "Clear");
    Expect(Call(held.back(), "GetName").code != S_OK, "a node of a cleared document answers");
    held.clear();
    Must(model, "LoadFromString", {TextArgument(edited)});
    const std::string again = Must(model, "SaveToString").Text();
    for (const auto& [member, path] : {std::pair("Load", file), {"LoadCompressed", container}}) {
        Must(kept, member, {TextArgument(path)});
        Expect(Must(kept, "SaveToString").Text() == again, path + " came back otherwise");
    }
    Must(kept, "LoadFromTransfer", {ObjectArgument(&stream)});
    stream.written.clear();
    Must(kept, "SaveToTransfer", {ObjectArgument(&stream)});
    Expect(stream.written == again, "the stream came back otherwise");
    // A failure hands over its one description: nothing of an earlier one stays behind.
    const Outcome failed = Call(kept, "LoadFromString", {TextArgument(Broken(xml))});
    Expect(failed.code != S_OK && failed.description.rfind("XML Parse failed: ", 0) == 0 &&
               failed.description.find("XML Parse failed", 1) == std::string::npos,
           "half a document failed with \"" + failed.description + "\"");
    Expect(stream.References() == 1, "the stream kept a reference");
    return edited;
}

// The saved text streamed by the kept parser to a compiled client (which keeps the attributes
// objects every third round) from a string and from a host's stream, and to a script's client
// from the file; then a parse that fails.
void ThroughTheParser(IDispatch* kept, const std::string& saved, const std::string& file,
                      long round) {
    RecordingClient client;
    client.keepAttributes = round % 3 == 0;
    ScriptClient fromFile;
    ScriptStream source(saved);
    Must(kept, "ParseString", {TextArgument(saved), ObjectArgument(&client)});
    Must(kept, "ParseFile", {TextArgument(file), ObjectArgument(&fromFile)});
    Must(kept, "ParseStream", {ObjectArgument(&source), ObjectArgument(&client)});
    Call(kept, "ParseString", {TextArgument(Broken(saved)), ObjectArgument(&client)});
    for (IDispatch* attributes : client.kept) {
        attributes->Release();
    }
    Expect(client.References() + fromFile.References() + source.References() == 3,
           "the parser kept a reference");
}

int Run(long rounds) {
    PrivateRegistry registry;
    // The component lives in this process, so that its count of live objects can be read.
    if (!PravellServer::Start(nullptr) || RegisterServer(*PravellServer::Running()) != S_OK) {
        std::printf("the component did not start and register\n");
        return 1;
    }
    ScratchDirectory scratch;
    const std::string file = scratch.Path() + "/saved.xml";
    LateBound keptModel = Create("Corvantis.XMLModel");
    LateBound keptParser = Create("Corvantis.StreamingXMLParser");
    const LONG liveAtStart = LiveObjectCount();
    long memoryAtRule = 0;
    long filesAtRule = 0;
    for (long round = 1; round <= rounds && failures.empty(); ++round) {
        const std::string xml = Generator(static_cast<uint64_t>(round)).Document();
        ThroughTheParser(keptParser, ThroughTheModel(keptModel, xml, file, round), file, round);
        Expect(LiveObjectCount() == liveAtStart,
               "objects outlived the round: " + std::to_string(LiveObjectCount() - liveAtStart));
        if (round == kRuleRound || round % (rounds / 10 + 1) == 0 || round == rounds) {
            const long memory = TrimmedResidentBytes();
            const long files = OpenFiles();
            std::printf("round %ld: resident %ld KiB, %ld open files\n", round, memory / 1024,
                        files);
            std::fflush(stdout);
            memoryAtRule = round == kRuleRound ? memory : memoryAtRule;
            filesAtRule = round == kRuleRound ? files : filesAtRule;
            Expect(round <= kRuleRound || files == filesAtRule,
                   "more files open than at round 100");
            // Not under AddressSanitizer, whose quarantine holds freed memory back.
            Expect(round <= kRuleRound || !PRAVELL_SOAK_HOLDS_MEMORY ||
                       memory - memoryAtRule <= kMostGrowth,
                   "the resident memory grew by more than 2 MiB since round 100");
        }
        for (const std::string& failure : failures) {
            std::printf("round %ld (%zu bytes): %s\n", round, xml.size(), failure.c_str());
        }
    }
    keptModel.Reset();
    keptParser.Reset();
    PravellServer::Stop();
    std::printf(failures.empty() ? "soak passed\n" : "soak failed\n");
    return failures.empty() ? 0 : 1;
}

} // namespace

} // namespace Ostrel::Soak

int main(int argc, char** argv) {
    const long rounds = argc > 1 ? std::atol(argv[1]) : 10000;
    if (argc > 2 || rounds < 1) {
        std::fprintf(stderr, "usage: soak [ROUNDS]\n");
        return 2;
    }
    return Ostrel::Soak::Run(rounds);
}
