// The registered component seen from a host, on both systems (on Windows a compiled host run
// under Wine against the system's own libraries): objects made through the platform by
// programmatic identifier and their factories by class identifier, every operation invoked by
// the identifier that its type information gives it, with clients and streams of the host's own
// (a compiled host's and a script's), failures described through the platform, the factories'
// answers, and the library unloaded by the platform once nothing holds it.
#include "host/Component.h"
#include "host/ComponentLibrary.h"
#include "pravell_idl.h"
#include "support/HostStreams.h"
#include "support/LateBinding.h"
#include "support/ParserClients.h"
#include "support/PrivateRegistry.h"
#include "support/TypeLibSupport.h"

#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

namespace Ostrel::Testing {
namespace {

// Whether the library is still loaded once the platform has unloaded every library that
// DllCanUnloadNow lets go.
bool StaysLoaded() {
    CoFreeUnusedLibraries();
    return GetModuleHandleA(PRAVELL_COMPONENT_NAME) != nullptr;
}

// The operations of the object's own interface by name, with the identifiers that the object's
// type information gives them.
std::map<std::string, DISPID> OperationsOf(IDispatch* object) {
    ITypeInfo* dispatchHalf = nullptr;
    EXPECT_EQ(object->GetTypeInfo(0, 0, &dispatchHalf), S_OK);
    ITypeInfo* info = InterfaceHalfOf(dispatchHalf);
    dispatchHalf->Release();
    TYPEATTR* attributes = nullptr;
    EXPECT_EQ(info->GetTypeAttr(&attributes), S_OK);
    std::map<std::string, DISPID> operations;
    for (UINT i = 0; i < attributes->cFuncs; ++i) {
        FUNCDESC* function = nullptr;
        EXPECT_EQ(info->GetFuncDesc(i, &function), S_OK);
        BSTR name = nullptr;
        info->GetDocumentation(function->memid, &name, nullptr, nullptr, nullptr);
        operations[TakeUtf8(name)] = function->memid;
        info->ReleaseFuncDesc(function);
    }
    info->ReleaseTypeAttr(attributes);
    info->Release();
    return operations;
}

// A string in quotes, a node by its name, an array as {a,b}, anything else as its text.
std::string Describe(const VARIANT& value) {
    if (value.vt == VT_DISPATCH) {
        return "node " + Describe(Call(value.pdispVal, "GetName").value);
    }
    if (value.vt == (VT_ARRAY | VT_BSTR)) {
        std::string items;
        for (const std::string& item : StringsOf(value)) {
            items += (items.empty() ? "" : ",") + item;
        }
        return "{" + items + "}";
    }
    Outcome text;
    // Windows declares the source writable.
    EXPECT_EQ(VariantChangeType(&text.value, const_cast<VARIANT*>(&value), 0, VT_BSTR), S_OK);
    return value.vt == VT_BSTR ? "\"" + text.Text() + "\"" : text.Text();
}

// One probe's object, with what its arguments refer to and what it observes.
struct Probe {
    explicit Probe(const std::string& kind) {
        const bool parsing = kind == "parser" || kind == "attributes";
        EXPECT_EQ(CreateComponent(parsing ? "Corvantis.StreamingXMLParser" : "Corvantis.XMLModel",
                                  parsing ? object : model),
                  S_OK);
        if (kind == "attributes") {
            RecordingClient parsed;
            parsed.keepAttributes = true;
            Call(object, "ParseString",
                 {TextArgument("<x b='2' a='1'/>"), ObjectArgument(&parsed)});
            object = LateBound(parsed.kept.at(0));
        } else if (!parsing) {
            Call(model, "LoadFromString", {TextArgument("<doc a='1' b='2'>dt<c1/></doc>")});
            object = kind == "node" ? CallForObject(CallForObject(model, "GetRoot"), "GetChild",
                                                    {IntegerArgument(0)})
                                    : LateBound::Share(model);
        }
    }
    ~Probe() { VariantClear(&received); }

    VARIANT Argument(const std::string& word) {
        const size_t colon = word.find(':');
        const std::string kind = word.substr(0, colon);
        const std::string payload = colon == std::string::npos ? "" : word.substr(colon + 1);
        if (word.front() == '"') {
            return TextArgument(word.substr(1, word.size() - 2));
        }
        if (word.find_first_not_of("0123456789") == std::string::npos) {
            return IntegerArgument(std::stol(word));
        }
        if (kind == "client") {
            return ObjectArgument(&client);
        }
        if (kind == "stream" || kind == "script") {
            StreamState& state = kind == "stream" ? static_cast<StreamState&>(stream) : script;
            state.source = payload;
            return ObjectArgument(kind == "stream" ? static_cast<IDispatch*>(&stream) : &script);
        }
        if (kind == "array") {
            std::vector<std::string> items;
            std::istringstream parts(payload);
            for (std::string item; std::getline(parts, item, ',');) {
                items.push_back(item);
            }
            return StringsArgument(items);
        }
        if (kind == "out" || kind == "outvar") {
            received.vt = kind == "out" ? VT_BSTR : VT_EMPTY;
            return kind == "out" ? ReferenceArgument(VT_BSTR, &received.bstrVal)
                                 : ReferenceArgument(VT_VARIANT, &received);
        }
        if (kind == "data") {
            return TextArgument(std::string(PRAVELL_TEST_DATA) + "/" + payload);
        }
        EXPECT_EQ(kind, "file") << "unknown argument " << word;
        WriteWholeFile(file, payload);
        return TextArgument(file);
    }

    // The observed text on one line, its line ends written as \r and \n.
    std::string Observe(const std::string& observation, const Outcome& outcome) {
        EXPECT_TRUE(stream.writes == 0 || stream.writeType == (VT_ARRAY | VT_I1))
            << "a compiled host's sink gets signed bytes";
        const std::string observed = observation == "result"    ? Describe(outcome.value)
                                     : observation == "failure" ? outcome.description
                                     : observation == "out"     ? Describe(received)
                                     : observation == "document"
                                         ? Call(model, "SaveToString").Text()
                                     : observation == "stream"     ? stream.written + script.written
                                     : observation == "events"     ? LogText(client.events)
                                     : observation == "attributes" ? DescribeAttributes(object)
                                     : observation == "file"       ? ReadWholeFile(file)
                                                                   : Saved(observation);
        std::string escaped;
        for (char c : observed) {
            escaped += c == '\r' ? "\\r" : c == '\n' ? "\\n" : std::string(1, c);
        }
        return escaped;
    }

    // After the operation: the model saved to the scratch file (the file's bytes, or the file
    // loaded again and saved to a string), the model saved or the object written to the stream.
    std::string Saved(const std::string& observation) {
        const bool written = observation == "written";
        if (written || observation == "streamed") {
            Call(written ? object : model, written ? "WriteTo" : "SaveToTransfer",
                 {ObjectArgument(&stream)});
            return stream.written;
        }
        Call(model, "Save", {TextArgument(file)});
        if (observation == "saved") {
            return ReadWholeFile(file);
        }
        Call(model, "Load", {TextArgument(file)});
        return Call(model, "SaveToString").Text();
    }

    LateBound model;
    LateBound object;
    ScratchDirectory scratch;
    const std::string file = scratch.Path() + "/probe";
    EarlyStream stream;
    ScriptStream script;
    RecordingClient client;
    VARIANT received{};
};

// The component registered in the test's own registry (under Wine the platform's activation
// reads the machine's classes, where regsvr32 registered it for the whole run), as a compiled
// host calls it.
//
// Every dispatch identifier that the type information gives an operation, invoked through
// IDispatch::Invoke, lands on the operation of that name: a wrong order in the type information
// or a misplaced vtable slot would send a host's call to a neighbour. The probes are the rows of
// data/server/probes.txt, which says how to read them; an operation without one fails.
//
// A class factory is one object a class, is no dispatch object, refuses aggregation without
// keeping the outer object, and destroys an object that lacks the interface asked for; the
// library itself answers a class it does not serve without touching the out pointer. The
// platform keeps the library while a host holds one of its objects (a node after its model has
// gone included) or a lock on a factory, and unloads it once nothing holds it.
TEST(ComponentHost, EveryOperationLandsOnItsNamesakeAndEveryHoldKeepsTheLibrary) {
    PrivateRegistry registry;
    ASSERT_TRUE(SUCCEEDED(CoInitialize(nullptr)));
    ASSERT_EQ(ComponentLibrary(PRAVELL_COMPONENT).Register(), S_OK);
    // The holds come first: a failure's description is formatted in the library's process-wide
    // buffers, which the library keeps for its whole life and which an unload would lose.
    IClassFactory* factory = nullptr;
    IClassFactory* again = nullptr;
    for (IClassFactory** out : {&factory, &again}) {
        ASSERT_EQ(CoGetClassObject(CLSID_StreamingXMLParser, CLSCTX_INPROC_SERVER, nullptr,
                                   IID_IClassFactory, reinterpret_cast<void**>(out)),
                  S_OK);
    }
    EXPECT_EQ(factory, again);
    again->Release();
    void* object = &object;
    EXPECT_EQ(factory->QueryInterface(IID_IDispatch, &object), E_NOINTERFACE);
    EXPECT_EQ(object, nullptr);
    RecordingClient outer;
    object = &object;
    EXPECT_EQ(factory->CreateInstance(&outer, IID_IUnknown, &object), CLASS_E_NOAGGREGATION);
    EXPECT_EQ(object, nullptr);
    EXPECT_EQ(outer.References(), 1u);
    object = &object;
    EXPECT_EQ(factory->CreateInstance(nullptr, IID_ISupportErrorInfo, &object), E_FAIL);
    EXPECT_EQ(object, nullptr);
    {
        const ComponentLibrary library(PRAVELL_COMPONENT);
        object = &object;
        EXPECT_EQ(library.GetClassObject(IID_IDispatchXMLParser, IID_IClassFactory, &object),
                  E_FAIL);
        EXPECT_EQ(object, &object);
    }
    EXPECT_EQ(factory->LockServer(TRUE), S_OK);
    EXPECT_EQ(factory->LockServer(TRUE), S_OK);
    EXPECT_EQ(factory->LockServer(FALSE), S_OK);
    EXPECT_TRUE(StaysLoaded()) << "one lock is left";
    EXPECT_EQ(factory->LockServer(FALSE), S_OK);
    factory->Release();
    EXPECT_FALSE(StaysLoaded());

    Probe node("node");
    node.model.Reset();
    EXPECT_TRUE(StaysLoaded()) << "a node still holds the library";
    node.object.Reset();
    EXPECT_FALSE(StaysLoaded());

    std::map<std::string, std::map<std::string, DISPID>> unprobed;
    for (const char* kind : {"model", "node", "parser", "attributes"}) {
        unprobed[kind] = OperationsOf(Probe(kind).object);
    }
    const auto operations = unprobed;
    std::ifstream probes(std::string(PRAVELL_TEST_DATA) + "/server/probes.txt");
    for (std::string line; std::getline(probes, line);) {
        std::istringstream words(line);
        std::string kind;
        std::string operation;
        if (!(words >> kind >> operation) || kind[0] == '#') {
            continue;
        }
        SCOPED_TRACE(line);
        const auto id = operations.at(kind).find(operation);
        ASSERT_NE(id, operations.at(kind).end()) << "no such operation";
        unprobed[kind].erase(operation);

        Probe probe(kind);
        std::vector<VARIANT> arguments;
        for (std::string word; words >> word && word != "->";) {
            arguments.push_back(probe.Argument(word));
        }
        std::string observation;
        std::string expected;
        words >> observation >> std::ws;
        std::getline(words, expected);
        const Outcome outcome = Invoke(probe.object, id->second, std::move(arguments));
        EXPECT_EQ(outcome.code == S_OK, observation != "failure") << outcome.description;
        if (expected[0] == '^') {
            expected = AnsiAsUtf8(expected.substr(1));
        }
        const std::string observed = probe.Observe(observation, outcome);
        EXPECT_TRUE(expected[0] == '~' ? observed.find(expected.substr(1)) != std::string::npos
                                       : observed == expected)
            << observed << " against " << expected;
    }
    for (const auto& [kind, left] : unprobed) {
        for (const auto& [operation, id] : left) {
            ADD_FAILURE() << "no probe for " << kind << " " << operation;
        }
    }

    CoUninitialize();
}

} // namespace
} // namespace Ostrel::Testing
