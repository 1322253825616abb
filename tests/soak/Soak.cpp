// The soak: one process that, round after round, does what long-running hosts do with the
// component, and holds that it keeps nothing between rounds.
//
//     soak [ROUNDS]   (10000 by default)
//
// Each round makes its objects as a host does (the class of a programmatic identifier, its
// factory, then only calls by name), loads a generated document of one shape and one of
// tests/data/documents, walks and edits the tree through node objects it holds and lets go of,
// saves to a scratch folder as a text file and as a container and reads both back, reloads
// after Clear, streams the document to parser clients from a string, a file and a host's stream,
// and fails a load and a parse on purpose. Every copy must come back as the same text.
//
// After each round every counted object is gone again and the parser clients have every
// reference back. At checkpoints it prints the resident memory (as it is, and once the heap has
// given back its free pages), the heap in use and the open files; the last round's trimmed
// resident memory must be within 2 MiB of round 100's, with as many files open. Under
// AddressSanitizer, whose quarantine holds freed memory back, only the files are compared; its leak
// check at exit holds the rest.
#include "GeneratedDocuments.h"
#include "dispatch/CountedObject.h"
#include "host/Arguments.h"
#include "host/Component.h"
#include "host/LateBound.h"
#include "platform/com.h"
#include "server/PravellServer.h"
#include "server/ServerRegistration.h"
#include "support/FileTestSupport.h"
#include "support/HostStreams.h"
#include "support/ParserClients.h"
#include "support/PrivateRegistry.h"
#include "support/TestSupport.h"

#include <malloc.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace Ostrel::Soak {

namespace {

using Testing::EventLog;
using Testing::LogText;
using Testing::RecordingClient;
using Testing::ScriptClient;
using Testing::ScriptStream;

constexpr long kRuleRound = 100;
constexpr long kMostGrowth = 2L * 1024 * 1024;
#ifdef PRAVELL_SOAK_SANITIZED
constexpr bool kMemoryRuleHolds = false;
#else
constexpr bool kMemoryRuleHolds = true;
#endif
// Node objects a walk holds at once.
constexpr size_t kMostHeldNodes = 400;

// A model and a parser that live through the whole run, as a host keeps its objects, so that
// what a long-lived object gathers round after round shows.
struct Kept {
    LateBound model;
    LateBound parser;
};

// What went wrong in the current round.
std::vector<std::string> failures;

void Expect(bool holds, const std::string& what) {
    if (!holds) {
        failures.push_back(what);
    }
}

long ResidentBytes() {
    long pages = 0;
    long resident = 0;
    std::ifstream("/proc/self/statm") >> pages >> resident;
    return resident * sysconf(_SC_PAGESIZE);
}

// The resident memory as it is, and once the heap has given back the pages it holds free. Rounds
// of large temporary texts leave free memory spread over the heap, where the allocator keeps it:
// bounded, but placed by chance, so that the first figure wanders by a megabyte or two between
// runs. What stays after trimming is what the process holds, and a leak shows there.
struct Memory {
    long resident = 0;
    long trimmed = 0;
    // The heap's own count of the bytes handed out and not freed (0 under the sanitizer, whose
    // allocator it does not see).
    size_t heapInUse = 0;
};

Memory MeasureMemory() {
    Memory memory;
    memory.resident = ResidentBytes();
    memory.heapInUse = mallinfo2().uordblks;
    malloc_trim(0);
    memory.trimmed = ResidentBytes();
    return memory;
}

long OpenFiles() {
    long count = 0;
    for (const auto& entry : std::filesystem::directory_iterator("/proc/self/fd")) {
        (void)entry;
        ++count;
    }
    return count;
}

// A new object of the class registered under `progId`, from the class's factory.
LateBound Create(const std::string& progId) {
    CLSID clsid;
    IClassFactory* factory = nullptr;
    IDispatch* object = nullptr;
    PravellServer* server = PravellServer::Running();
    if (FindClass(progId, clsid) == S_OK && server != nullptr &&
        server->FindFactory(clsid)->QueryInterface(IID_IClassFactory,
                                                   reinterpret_cast<void**>(&factory)) == S_OK) {
        Expect(factory->CreateInstance(nullptr, IID_IDispatch, reinterpret_cast<void**>(&object)) ==
                   S_OK,
               "creating " + progId);
        factory->Release();
    }
    Expect(object != nullptr, "no object of " + progId);
    return LateBound(object);
}

std::string TextOf(LateBound& object, const std::string& member,
                   std::vector<VARIANT> arguments = {}) {
    std::string text;
    Expect(object.CallForText(member, std::move(arguments), text),
           member + " failed: " + object.Failure());
    return text;
}

LONG IntegerOf(LateBound& object, const std::string& member, std::vector<VARIANT> arguments = {}) {
    LONG value = -1;
    Expect(object.CallForInteger(member, std::move(arguments), value), member + " failed");
    return value;
}

LateBound ObjectOf(LateBound& object, const std::string& member,
                   std::vector<VARIANT> arguments = {}) {
    LateBound value;
    Expect(object.CallForObject(member, std::move(arguments), value), member + " failed");
    return value;
}

void Do(LateBound& object, const std::string& member, std::vector<VARIANT> arguments = {}) {
    Expect(object.Do(member, std::move(arguments)), member + " failed: " + object.Failure());
}

bool SameObject(IDispatch* a, IDispatch* b) {
    IUnknown* identityA = nullptr;
    IUnknown* identityB = nullptr;
    a->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&identityA));
    b->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&identityB));
    const bool same = identityA != nullptr && identityA == identityB;
    for (IUnknown* identity : {identityA, identityB}) {
        if (identity != nullptr) {
            identity->Release();
        }
    }
    return same;
}

// Holds node objects breadth first from the root, reading what a host reads of each, until
// kMostHeldNodes are held; a child found by name is the object found by index.
void Walk(LateBound& root, std::vector<LateBound>& held) {
    // Room for every node up front, so that the node being read stays where it is.
    held.reserve(kMostHeldNodes);
    held.push_back(LateBound::Share(root));
    for (size_t i = 0; i < held.size() && held.size() < kMostHeldNodes; ++i) {
        LateBound& node = held[i];
        const LONG children = IntegerOf(node, "GetChildCount");
        TextOf(node, "GetText");
        const LONG attributes = IntegerOf(node, "GetAttributeCount");
        for (LONG a = 0; a < attributes && a < 3; ++a) {
            const std::string name = TextOf(node, "GetAttributeName", {IntegerArgument(a)});
            const std::string value = TextOf(node, "GetAttributeValue", {IntegerArgument(a)});
            // Names match without regard to letter case, so only the first is surely found.
            Expect(a > 0 || TextOf(node, "GetAttributeByName", {TextArgument(name)}) == value,
                   "the first attribute by name and by index");
        }
        for (LONG c = 0; c < children && c < 8 && held.size() < kMostHeldNodes; ++c) {
            held.push_back(ObjectOf(node, "GetChild", {IntegerArgument(c)}));
        }
        if (children > 0) {
            const std::string first = TextOf(held[held.size() - 1], "GetName");
            LateBound byName = ObjectOf(node, "GetChild", {TextArgument(first)});
            LateBound parent = ObjectOf(byName, "GetParent");
            Expect(parent.Get() != nullptr && SameObject(parent, node),
                   "a child's parent is its element's one object");
        }
    }
}

// Edits through held nodes, lets every other one go, and answers the text the model then saves.
std::string Edit(LateBound& model, std::vector<LateBound>& held, long round) {
    LateBound added = ObjectOf(held.back(), "AddChild", {TextArgument("added")});
    Do(added, "SetText", {IntegerArgument(static_cast<LONG>(round))});
    Do(added, "AddAttribute", {TextArgument("round"), IntegerArgument(static_cast<LONG>(round))});
    Do(added, "AddAttributeText", {TextArgument("by"), TextArgument("soak & \"co\"")});
    VARIANT share;
    VariantInit(&share);
    share.vt = VT_R8;
    share.dblVal = static_cast<double>(round) + 0.25;
    Do(added, "AddAttribute", {TextArgument("share"), share});
    Expect(!added.Do("GetChild", {TextArgument("missing")}), "a missing child was found");
    Do(held[held.size() / 2], "SetAttribute",
       {TextArgument("seen"), TextArgument("round " + std::to_string(round))});
    if (held.size() > 1) {
        Do(held[1], "SetName", {TextArgument("renamed")});
    }
    for (size_t i = 1; i + 1 < held.size(); i += 2) {
        held[i].Reset();
    }
    return TextOf(model, "SaveToString");
}

// A text saved with `edited` loads back as the model that saved `again` after loading `edited`
// once more, from a text file, a container and a host's stream; and goes out to a host's stream
// as the same bytes. (A saved text is not loaded back to itself: the text of an element with
// children takes in the line break and indentation that follow it.)
void ExpectComesBack(LateBound& copy, const std::string& edited, const std::string& again,
                     const std::string& file, const std::string& container) {
    Do(copy, "Load", {TextArgument(file)});
    Expect(TextOf(copy, "SaveToString") == again, "the text file came back otherwise");
    Do(copy, "LoadCompressed", {TextArgument(container)});
    Expect(TextOf(copy, "SaveToString") == again, "the container came back otherwise");
    ScriptStream source(edited);
    Do(copy, "LoadFromTransfer", {ObjectArgument(&source)});
    ScriptStream target;
    Do(copy, "SaveToTransfer", {ObjectArgument(&target)});
    Expect(target.written == again, "the stream came back otherwise");
    Expect(source.References() == 1 && target.References() == 1, "a stream kept a reference");
}

// A damaged container's failure waits for the next failure that hands over a description and
// goes out at its front, once.
void ExpectFailuresHandedOverOnce(LateBound& model, const std::string& container,
                                  const std::string& xml) {
    const std::string damaged = container + ".damaged";
    const std::string bytes = ReadWholeFile(container);
    WriteWholeFile(damaged, bytes.substr(0, bytes.size() - 10));
    Expect(!model.Do("LoadCompressed", {TextArgument(damaged)}) && model.Failure().empty(),
           "a damaged container loaded or told why: " + model.Failure());
    const std::string streaming = "XML Parse failed: there was an error streaming in data";
    for (const std::string& before : {streaming, std::string()}) {
        Expect(!model.Do("LoadFromString", {TextArgument(xml.substr(0, xml.size() / 2))}),
               "half a document loaded");
        Expect(model.Failure().rfind(before + "XML Parse failed: ", 0) == 0 &&
                   model.Failure().find(streaming, before.size()) == std::string::npos,
               "half a document failed with " + model.Failure());
    }
}

// A generated document through the model: load, walk, edit, save, clear, reload, read back.
std::string ThroughTheModel(Kept& kept, const std::string& xml, const std::string& scratch,
                            long round) {
    const std::string file = scratch + "/saved.xml";
    const std::string container = scratch + "/saved.pxc";
    LateBound model = Create("Corvantis.XMLModel");
    Do(model, "LoadFromString", {TextArgument(xml)});
    const std::string loaded = TextOf(model, "SaveToString");
    std::vector<LateBound> held;
    {
        LateBound root = ObjectOf(model, "GetRoot");
        Walk(root, held);
    }
    const std::string edited = Edit(model, held, round);
    Expect(edited.size() > loaded.size(), "the edits did not reach the saved text");
    Do(model, "Save", {TextArgument(file)});
    Do(model, "SaveCompressed", {TextArgument(container)});
    Expect(ReadWholeFile(file) == OnDisk(edited), "the file holds another text");
    ScriptStream written;
    Do(held.back(), "WriteTo", {ObjectArgument(&written)});
    Expect(written.written.rfind("<?xml", 0) == 0, "a node wrote no declaration");

    LateBound node = std::move(held.back());
    held.clear();
    Do(model, "Clear");
    Expect(!node.Do("GetName"), "a node of a cleared document still answers");
    {
        LateBound root = ObjectOf(model, "GetRoot");
        Expect(IntegerOf(root, "GetChildCount") == 0, "a cleared document has elements");
    }
    Do(model, "LoadFromString", {TextArgument(edited)});
    ExpectComesBack(kept.model, edited, TextOf(model, "SaveToString"), file, container);
    ExpectFailuresHandedOverOnce(model, container, xml);
    // A node that outlives its model.
    node = ObjectOf(model, "GetRoot");
    model.Reset();
    Expect(!node.Do("GetChildCount"), "the root of a released model still answers");
    return edited;
}

// One of tests/data/documents loads or fails as its files say.
void DataDocument(const std::string& path) {
    const std::string base = path.substr(0, path.size() - 4);
    LateBound model = Create("Corvantis.XMLModel");
    const bool loaded = model.Do("Load", {TextArgument(path)});
    const bool fails = std::filesystem::exists(base + ".error");
    Expect(loaded != fails, path + (fails ? " loaded" : " failed: " + model.Failure()));
    if (fails) {
        Expect(model.Failure() == ReadWholeFile(base + ".error"),
               path + " failed with " + model.Failure());
    }
    if (std::filesystem::exists(base + ".saved")) {
        Expect(TextOf(model, "SaveToString") == ReadWholeFile(base + ".saved"),
               path + " saved otherwise");
    }
}

// The log with each run of text as one event, since where the parser's pieces end depends on
// where its input comes from.
std::string Joined(const EventLog& events) {
    const std::string characters = "Characters '";
    EventLog joined;
    for (const std::string& event : events) {
        if (event.rfind(characters, 0) == 0 && !joined.empty() &&
            joined.back().rfind(characters, 0) == 0) {
            joined.back().pop_back();
            joined.back() += event.substr(characters.size());
        } else {
            joined.push_back(event);
        }
    }
    return LogText(joined);
}

// The saved text streamed from a string, the file and a host's stream, to a compiled client, a
// script's client and one that keeps attributes objects; then a parse that fails. A new parser
// reads the string and the file, the kept one the rest.
void ThroughTheParser(Kept& kept, const std::string& saved, const std::string& scratch,
                      long round) {
    const std::string file = scratch + "/saved.xml";
    LateBound parser = Create("Corvantis.StreamingXMLParser");
    RecordingClient fromString;
    fromString.keepAttributes = round % 3 == 0;
    ScriptClient fromFile;
    RecordingClient fromStream;
    ScriptStream source(saved);
    Do(parser, "ParseString", {TextArgument(saved), ObjectArgument(&fromString)});
    Do(parser, "ParseFile", {TextArgument(file), ObjectArgument(&fromFile)});
    Do(kept.parser, "ParseStream", {ObjectArgument(&source), ObjectArgument(&fromStream)});
    const std::string log = Joined(fromString.events);
    Expect(Joined(fromFile.events) == log, "the file streamed otherwise");
    Expect(Joined(fromStream.events) == log, "the stream streamed otherwise");

    RecordingClient failing;
    Expect(!kept.parser.Do("ParseString", {TextArgument(saved.substr(0, saved.size() / 2)),
                                           ObjectArgument(&failing)}),
           "half a document parsed");
    Expect(failing.events.size() >= 2 &&
               failing.events[failing.events.size() - 2].rfind("ParseError", 0) == 0,
           "a failed parse reported no error");
    parser.Reset();
    for (IDispatch* attributes : fromString.kept) {
        attributes->Release();
    }
    for (const RecordingClient* client : {&fromString, &fromStream, &failing}) {
        Expect(client->References() == 1, "the parser kept a client's reference");
    }
    Expect(fromFile.References() == 1 && source.References() == 1, "the parser kept a reference");
}

int Run(long rounds) {
    PrivateRegistry registry;
    // The component lives in this process, so that its count of live objects can be read.
    if (!PravellServer::Start(nullptr) || RegisterServer(*PravellServer::Running()) != S_OK) {
        std::printf("the component did not start and register\n");
        return 1;
    }
    ScratchDirectory scratch;
    std::vector<std::string> documents;
    for (const std::string& name : ListDirectory(PRAVELL_TEST_DATA "/documents")) {
        if (name.size() > 4 && name.compare(name.size() - 4, 4, ".xml") == 0) {
            documents.push_back(PRAVELL_TEST_DATA "/documents/" + name);
        }
    }
    Kept kept{Create("Corvantis.XMLModel"), Create("Corvantis.StreamingXMLParser")};
    const LONG liveAtStart = LiveObjectCount();
    Memory atRule;
    Memory last;
    long filesAtRule = 0;
    int status = 0;
    for (long round = 1; round <= rounds && status == 0; ++round) {
        const auto shape = static_cast<Shape>(round % kShapes);
        const std::string xml = GeneratedDocument(shape, static_cast<uint64_t>(round));
        const std::string saved = ThroughTheModel(kept, xml, scratch.Path(), round);
        ThroughTheParser(kept, saved, scratch.Path(), round);
        DataDocument(documents[static_cast<size_t>(round) % documents.size()]);
        Expect(LiveObjectCount() == liveAtStart,
               "objects outlived the round: " + std::to_string(LiveObjectCount() - liveAtStart));
        if (!failures.empty()) {
            std::printf("round %ld (%s, %zu bytes):\n", round, ShapeName(shape), xml.size());
            for (const std::string& failure : failures) {
                std::printf("  %s\n", failure.c_str());
            }
            status = 1;
        }
        if (round == 1 || round == kRuleRound || round % (rounds / 10 + 1) == 0 ||
            round == rounds) {
            last = MeasureMemory();
            std::printf("round %ld: resident %ld KiB, %ld KiB trimmed, heap in use %zu KiB, %ld "
                        "open files\n",
                        round, last.resident / 1024, last.trimmed / 1024, last.heapInUse / 1024,
                        OpenFiles());
            std::fflush(stdout);
        }
        if (round == kRuleRound) {
            atRule = last;
            filesAtRule = OpenFiles();
        }
    }
    if (status == 0 && rounds > kRuleRound) {
        if (OpenFiles() != filesAtRule) {
            std::printf("open files: %ld at round %ld, %ld at the last\n", filesAtRule, kRuleRound,
                        OpenFiles());
            status = 1;
        }
        const long growth = last.trimmed - atRule.trimmed;
        std::printf("from round %ld to the last the resident memory grew %ld KiB, %ld KiB "
                    "trimmed%s\n",
                    kRuleRound, (last.resident - atRule.resident) / 1024, growth / 1024,
                    kMemoryRuleHolds ? "" : " (not held: the sanitizer keeps freed memory back)");
        if (kMemoryRuleHolds && growth > kMostGrowth) {
            status = 1;
        }
    }
    PravellServer::Stop();
    std::printf(status == 0 ? "soak passed\n" : "soak failed\n");
    return status;
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
