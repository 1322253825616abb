// The soak: one process that, round after round, does what long-running hosts do with the
// component, and holds that it keeps nothing between rounds.
//
//     soak [ROUNDS]   (10000 by default)
//
// Each round makes its objects as a host does (the class of a programmatic identifier, its
// factory, then only calls by name). It loads a generated document (GeneratedDocuments.h: the
// round is the seed, the same bytes on every run), walks and edits the tree through node
// objects it holds and lets go of, saves it as a text file and as a container, clears and
// reloads it, and reads both files and a host's stream back into a model kept for the whole run,
// whose load of a broken document must then fail with its own description alone. It streams the
// saved text to parser clients from a string, a file and a host's stream, and fails a parse on
// purpose. Every copy must come back the same.
//
// After each round every counted object is gone again and the clients and streams have every
// reference back. At checkpoints it prints the resident memory and the open files; after round
// 100 the memory must stay within 2 MiB of round 100's, with as many files open. Under
// AddressSanitizer, whose quarantine holds freed memory back, only the files are compared; its
// leak check at exit holds the rest.
#include "GeneratedDocuments.h"
#include "dispatch/CountedObject.h"
#include "host/Component.h"
#include "server/PravellServer.h"
#include "server/ServerRegistration.h"
#include "support/FileTestSupport.h"
#include "support/HostStreams.h"
#include "support/LateBinding.h"
#include "support/ParserClients.h"
#include "support/PrivateRegistry.h"

#include <malloc.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <utility>
#include <vector>

namespace Ostrel::Soak {

namespace {

using namespace Testing;

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

// Holds node objects breadth first from the root, reading what a host reads of each, until
// kMostHeldNodes are held.
std::vector<LateBound> Walk(IDispatch* model) {
    std::vector<LateBound> held;
    // Room for every node up front, so that the node being read stays where it is.
    held.reserve(kMostHeldNodes);
    held.push_back(Must(model, "GetRoot").Object());
    for (size_t i = 0; i < held.size(); ++i) {
        IDispatch* node = held[i];
        Must(node, "GetName");
        Must(node, "GetText");
        Must(node, "GetAttributeCount");
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
    Expect(ReadWholeFile(file) == OnDisk(edited), "the file holds another text");
    ScriptStream written;
    Must(held.back(), "WriteTo", {ObjectArgument(&written)});
    Expect(written.written.rfind("<?xml", 0) == 0, "a node wrote no declaration");

    Must(model, "Clear");
    Expect(Call(held.back(), "GetName").code != S_OK, "a node of a cleared document answers");
    held.clear();
    Must(model, "LoadFromString", {TextArgument(edited)});
    const std::string again = Must(model, "SaveToString").Text();
    for (const auto& [member, path] : {std::pair("Load", file), {"LoadCompressed", container}}) {
        Must(kept, member, {TextArgument(path)});
        Expect(Must(kept, "SaveToString").Text() == again, path + " came back otherwise");
    }
    ScriptStream source(edited);
    ScriptStream target;
    Must(kept, "LoadFromTransfer", {ObjectArgument(&source)});
    Must(kept, "SaveToTransfer", {ObjectArgument(&target)});
    Expect(target.written == again, "the stream came back otherwise");
    // A failure hands over its one description: nothing of an earlier one stays behind.
    const Outcome failed = Call(kept, "LoadFromString", {TextArgument(Broken(xml))});
    Expect(failed.code != S_OK && failed.description.rfind("XML Parse failed: ", 0) == 0 &&
               failed.description.find("XML Parse failed", 1) == std::string::npos,
           "half a document failed with \"" + failed.description + "\"");
    Expect(source.References() + target.References() + written.References() == 3,
           "a stream kept a reference");

    const LateBound root = Must(model, "GetRoot").Object();
    model.Reset();
    Expect(Call(root, "GetChildCount").code != S_OK, "the root of a released model answers");
    return edited;
}

// The log with each run of text as one event, since where the parser's pieces end depends on
// where its input comes from.
std::string Joined(const EventLog& events) {
    const std::string between = "'\nCharacters '";
    std::string log = LogText(events);
    for (size_t at = log.find(between); at != std::string::npos; at = log.find(between, at)) {
        log.erase(at, between.size());
    }
    return log;
}

// The saved text streamed to a compiled client from a string by a new parser, and by the kept
// parser to a script's client from the file and to a compiled client from a host's stream; then
// a parse that fails.
void ThroughTheParser(IDispatch* kept, const std::string& saved, const std::string& file,
                      long round) {
    LateBound parser = Create("Corvantis.StreamingXMLParser");
    RecordingClient fromString;
    fromString.keepAttributes = round % 3 == 0;
    ScriptClient fromFile;
    RecordingClient fromStream;
    RecordingClient failing;
    ScriptStream source(saved);
    Must(parser, "ParseString", {TextArgument(saved), ObjectArgument(&fromString)});
    Must(kept, "ParseFile", {TextArgument(file), ObjectArgument(&fromFile)});
    Must(kept, "ParseStream", {ObjectArgument(&source), ObjectArgument(&fromStream)});
    Call(kept, "ParseString", {TextArgument(Broken(saved)), ObjectArgument(&failing)});
    const std::string log = Joined(fromString.events);
    Expect(Joined(fromFile.events) == log && Joined(fromStream.events) == log,
           "the file or the stream streamed otherwise");
    Expect(Joined(failing.events).find("\nParseError '") != std::string::npos,
           "a broken document parsed without a ParseError");
    parser.Reset();
    for (IDispatch* attributes : fromString.kept) {
        attributes->Release();
    }
    Expect(fromString.References() + fromFile.References() + fromStream.References() +
                   failing.References() + source.References() ==
               5,
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
        const std::string xml = GeneratedDocument(static_cast<uint64_t>(round));
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
