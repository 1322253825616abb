// The registered component seen from a host, on both systems (on Windows a compiled host run
// under Wine against the system's own libraries): objects made through the platform by
// programmatic identifier and their factories by class identifier, every operation invoked by
// the identifier that its type information gives it, with clients and streams of the host's own
// (a compiled host's and a script's), failures described through the platform, the factories'
// answers, and the library unloaded by the platform once nothing holds it.
//
// The data suites hold the documents' UTF-8; the component hands text to a host through the
// ANSI code page, so a host sees each byte as one character of that page.
#include "host/Component.h"
#include "host/ComponentLibrary.h"
#include "pravell_idl.h"
#include "support/HostStreams.h"
#include "support/LateBinding.h"
#include "support/ParserClients.h"
#include "support/PrivateRegistry.h"
#include "support/TypeLibSupport.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

namespace Ostrel::Testing {
namespace {

IClassFactory* FactoryOf(REFCLSID clsid) {
    IClassFactory* factory = nullptr;
    EXPECT_EQ(CoGetClassObject(clsid, CLSCTX_INPROC_SERVER, nullptr, IID_IClassFactory,
                               reinterpret_cast<void**>(&factory)),
              S_OK);
    return factory;
}

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
    VARIANT text{};
    // Windows declares the source writable.
    EXPECT_EQ(VariantChangeType(&text, const_cast<VARIANT*>(&value), 0, VT_BSTR), S_OK);
    const std::string described = ToUtf8(text.bstrVal);
    VariantClear(&text);
    return value.vt == VT_BSTR ? "\"" + described + "\"" : described;
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
        if (kind == "stream") {
            stream.source = payload;
            return ObjectArgument(&stream);
        }
        if (kind == "array") {
            std::vector<std::string> items;
            std::istringstream list(payload);
            for (std::string item; std::getline(list, item, ',');) {
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
        if (colon != std::string::npos) {
            WriteWholeFile(file, payload);
        }
        EXPECT_EQ(kind, "file") << "unknown argument " << word;
        return TextArgument(file);
    }

    std::string Observe(const std::string& observation, const Outcome& outcome) {
        return observation == "result"       ? Describe(outcome.value)
               : observation == "failure"    ? outcome.description
               : observation == "out"        ? Describe(received)
               : observation == "document"   ? Call(model, "SaveToString").Text()
               : observation == "stream"     ? stream.written
               : observation == "events"     ? LogText(client.events)
               : observation == "attributes" ? DescribeAttributes(object)
                                             : ReadWholeFile(file);
    }

    LateBound model;
    LateBound object;
    ScratchDirectory scratch;
    const std::string file = scratch.Path() + "/probe";
    EarlyStream stream;
    RecordingClient client;
    VARIANT received{};
};

// The component registered in the test's own registry. Under Wine the platform's activation
// reads the machine's classes, where regsvr32 registered it for the whole run.
class ComponentHost : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(SUCCEEDED(CoInitialize(nullptr)));
        ASSERT_EQ(ComponentLibrary(PRAVELL_COMPONENT).Register(), S_OK);
    }
    void TearDown() override {
        EXPECT_FALSE(StaysLoaded()) << "every test releases what it made";
        CoUninitialize();
    }

    PrivateRegistry registry;
};

// Every dispatch identifier that the type information gives an operation, invoked through
// IDispatch::Invoke, lands on the operation of that name: a wrong order in the type information
// or a misplaced vtable slot would send a host's call to a neighbour. The probes are the rows of
// data/server/probes.txt, which says how to read them; an operation without one fails.
TEST_F(ComponentHost, EveryOperationOfBothTypeLibrariesLandsOnItsNamesake) {
    std::map<std::string, std::map<std::string, DISPID>> unprobed;
    for (const char* kind : {"model", "node", "parser", "attributes"}) {
        unprobed[kind] = OperationsOf(Probe(kind).object);
    }
    const auto operations = unprobed;
    std::ifstream probes(std::string(PRAVELL_TEST_DATA) + "/server/probes.txt");
    int number = 0;
    for (std::string line; std::getline(probes, line);) {
        ++number;
        std::istringstream words(line);
        std::string kind;
        std::string operation;
        if (!(words >> kind >> operation) || kind[0] == '#') {
            continue;
        }
        SCOPED_TRACE("probes.txt:" + std::to_string(number));
        ASSERT_EQ(operations.count(kind), 1u) << "no such object";
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
        const std::string observed = probe.Observe(observation, outcome);
        const bool contains = observed.find(expected.substr(1)) != std::string::npos;
        EXPECT_TRUE(expected[0] == '~'   ? contains
                    : expected[0] == '!' ? !contains
                                         : observed == expected)
            << observed << " against " << expected;
    }
    for (const auto& [kind, left] : unprobed) {
        for (const auto& [operation, id] : left) {
            ADD_FAILURE() << "no probe for " << kind << " " << operation;
        }
    }
}

// What a model saves reaches strings, files, early-bound sinks and script streams as exactly
// the bytes of NAME.saved (with CR LF line ends in a file), and loads back from each.
TEST_F(ComponentHost, SavedBytesAreExactWhereverTheyGo) {
    ScratchDirectory scratch;
    const std::string file = SystemPath(scratch.Path() + "/saved.xml");
    const std::string container = SystemPath(scratch.Path() + "/saved.pxc");
    for (const std::string& document : CasesIn(PRAVELL_TEST_DATA "/documents", ".xml")) {
        if (std::filesystem::exists(document + ".error")) {
            continue;
        }
        SCOPED_TRACE(document);
        const std::string saved = ReadWholeFile(document + ".saved");
        LateBound model;
        ASSERT_EQ(CreateComponent("Corvantis.XMLModel", model), S_OK);
        ASSERT_TRUE(model.Do("Load", {TextArgument(document + ".xml")})) << model.Failure();
        EXPECT_EQ(Call(model, "SaveToString").Text(), AnsiAsUtf8(saved));
        EarlyStream early;
        ScriptStream script;
        for (IDispatch* sink : std::initializer_list<IDispatch*>{&early, &script}) {
            EXPECT_TRUE(model.Do("SaveToTransfer", {ObjectArgument(sink)}));
        }
        EXPECT_EQ(early.written, saved);
        EXPECT_EQ(early.writeType, VT_ARRAY | VT_I1) << "compiled hosts get signed bytes";
        EXPECT_EQ(script.written, saved) << "a script's stream gets unsigned bytes by name";
        EXPECT_TRUE(model.Do("Save", {TextArgument(file)}));
        EXPECT_EQ(ReadWholeFile(file), std::regex_replace(saved, std::regex("\n"), "\r\n"));

        ScriptStream source(ReadWholeFile(document + ".xml"));
        ScriptStream again;
        EXPECT_TRUE(model.Do("SaveCompressed", {TextArgument(container)}));
        EXPECT_TRUE(model.Do("LoadCompressed", {TextArgument(container)}));
        EXPECT_TRUE(model.Do("Load", {TextArgument(file)}));
        EXPECT_TRUE(model.Do("LoadFromTransfer", {ObjectArgument(&source)}));
        EXPECT_EQ(source.nulls, source.source.size() % 10000 == 0 ? 1 : 0);
        EXPECT_TRUE(model.Do("SaveToTransfer", {ObjectArgument(&again)}));
        EXPECT_EQ(again.written, saved);
    }
}

// A class factory is one object a class, is no dispatch object, refuses aggregation without
// keeping the outer object, and destroys an object that lacks the interface asked for; the
// library itself answers a class it does not serve without touching the out pointer. The
// platform keeps the library while a host holds one of its objects (a node after its model has
// gone included) or a lock on a factory, and unloads it after.
TEST_F(ComponentHost, FactoriesRefuseWhatTheyCannotMakeAndEveryHoldKeepsTheLibrary) {
    IClassFactory* factory = FactoryOf(CLSID_StreamingXMLParser);
    ASSERT_NE(factory, nullptr);
    IClassFactory* again = FactoryOf(CLSID_StreamingXMLParser);
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

    LateBound parser;
    ASSERT_EQ(CreateComponent("Corvantis.StreamingXMLParser", parser), S_OK);
    RecordingClient client;
    EXPECT_TRUE(
        parser.Do("ParseString", {TextArgument("<a b='1'>t</a>"), ObjectArgument(&client)}));
    EXPECT_EQ(client.events, (EventLog{"StartDocument", "StartElement a [b=1]", "Characters 't'",
                                       "EndElement a", "EndDocument"}));
    EXPECT_TRUE(StaysLoaded());
    parser.Reset();
    EXPECT_EQ(client.References(), 1u);
    EXPECT_FALSE(StaysLoaded());

    LateBound model;
    LateBound root;
    ASSERT_EQ(CreateComponent("Corvantis.XMLModel", model), S_OK);
    EXPECT_TRUE(model.Do("LoadFromString", {TextArgument("<a><b/></a>")}));
    EXPECT_TRUE(model.CallForObject("GetRoot", {}, root));
    model.Reset();
    EXPECT_TRUE(StaysLoaded()) << "a node still holds the library";
    EXPECT_FALSE(root.Do("GetName")) << "its model has gone";
}

} // namespace
} // namespace Ostrel::Testing
