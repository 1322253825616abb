// Every dispatch identifier that the type libraries describe, invoked through IDispatch::Invoke
// on a real object, must land on the operation of the same name: a wrong order in the type
// information or a misplaced vtable slot sends a host's call to a neighbour. The probes are the
// lines of data/server/probes.txt, which says how to read them.
#include "model/HExternalXMLModel.h"
#include "pravell_idl.h"
#include "streaming/HDispatchTaggedAttributes.h"
#include "streaming/HExternalXMLParser.h"
#include "support/AutomationTest.h"
#include "support/HostStreams.h"
#include "support/LateBinding.h"
#include "support/ParserClients.h"
#include "support/TypeLibSupport.h"
#include "utils_idl.h"

#include <gtest/gtest.h>

#include <fstream>
#include <functional>
#include <map>
#include <sstream>
#include <string>
#include <vector>

namespace Ostrel::Testing {
namespace {

// The operation names and dispatch identifiers the type library gives the interface, read from
// its interface half, which lists only the interface's own operations.
std::map<std::string, DISPID> OperationsOf(const std::string& library, REFIID interfaceId) {
    std::map<std::string, DISPID> operations;
    ITypeLib* types = LoadBuiltLibrary(library);
    ITypeInfo* dispatchHalf = nullptr;
    EXPECT_EQ(types->GetTypeInfoOfGuid(interfaceId, &dispatchHalf), S_OK);
    types->Release();
    ITypeInfo* info = InterfaceHalfOf(dispatchHalf);
    dispatchHalf->Release();
    TYPEATTR* attributes = nullptr;
    EXPECT_EQ(info->GetTypeAttr(&attributes), S_OK);
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

template <typename Object>
LateBound Fresh() {
    auto* object = new Object;
    object->AddRef();
    return LateBound(object);
}

IDispatchXMLModel* AsModel(IDispatch* object) {
    return static_cast<IDispatchXMLModel*>(object);
}

std::string Saved(IDispatch* model) {
    BSTR xml = nullptr;
    EXPECT_EQ(AsModel(model)->SaveToString(&xml), S_OK);
    return TakeUtf8(xml);
}

std::string Joined(const std::vector<std::string>& parts, const char* separator) {
    std::string joined;
    for (const std::string& part : parts) {
        joined += (joined.empty() ? "" : separator) + part;
    }
    return joined;
}

std::string Describe(const VARIANT& value) {
    switch (value.vt) {
    case VT_BSTR:
        return "\"" + ToUtf8(value.bstrVal) + "\"";
    case VT_I4:
        return std::to_string(value.lVal);
    case VT_BOOL:
        return value.boolVal == VARIANT_FALSE ? "false" : "true";
    case VT_ARRAY | VT_BSTR:
        return "{" + Joined(StringsOf(value), ",") + "}";
    case VT_DISPATCH:
        return "node " + Describe(Call(value.pdispVal, "GetName").value);
    default:
        return "<type " + std::to_string(value.vt) + ">";
    }
}

// One probe's object, the model it belongs to (none for the parser and attributes), and what
// its arguments refer to.
struct ProbeRun {
    explicit ProbeRun(const std::string& kind) {
        if (kind == "parser") {
            object = Fresh<HExternalXMLParser>();
        } else if (kind == "attributes") {
            object = Fresh<HDispatchTaggedAttributes>();
            auto* attributes = static_cast<HDispatchTaggedAttributes*>(object.Get());
            attributes->AddAttribute(Bstr("b"), Bstr("2"));
            attributes->AddAttribute(Bstr("a"), Bstr("1"));
        } else {
            model = Fresh<HExternalXMLModel>();
            EXPECT_EQ(AsModel(model)->LoadFromString(Bstr("<doc a='1' b='2'>dt<c1/></doc>")), S_OK);
            IDispatchXMLModelNode* root = nullptr;
            AsModel(model)->GetRoot(&root);
            const LateBound held(root);
            object = kind == "node" ? CallForObject(root, "GetChild", {IntegerArgument(0)})
                                    : LateBound::Share(model);
        }
    }
    ~ProbeRun() { VariantClear(&received); }

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
        if (kind == "source" || kind == "sink") {
            stream.source = payload;
            return ObjectArgument(&stream);
        }
        if (kind == "client") {
            return ObjectArgument(&client);
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
            VARIANT reference{};
            reference.vt = VT_BYREF | (kind == "out" ? VT_BSTR : VT_VARIANT);
            received.vt = kind == "out" ? VT_BSTR : VT_EMPTY;
            reference.byref = kind == "out" ? static_cast<void*>(&received.bstrVal) : &received;
            return reference;
        }
        if (kind == "packed") {
            LateBound packed = Fresh<HExternalXMLModel>();
            EXPECT_EQ(AsModel(packed)->LoadFromString(Bstr(payload)), S_OK);
            EXPECT_EQ(AsModel(packed)->SaveCompressed(Bstr(file)), S_OK);
        } else if (colon != std::string::npos) {
            WriteWholeFile(file, payload);
        }
        EXPECT_TRUE(kind == "file" || kind == "packed") << "unknown argument " << word;
        return TextArgument(file);
    }

    std::string Observe(const std::string& observation, const VARIANT& result) {
        if (observation == "unpacked") {
            LateBound unpacked = Fresh<HExternalXMLModel>();
            EXPECT_EQ(AsModel(unpacked)->LoadCompressed(Bstr(file)), S_OK);
            return Saved(unpacked);
        }
        const std::map<std::string, std::function<std::string()>> observers = {
            {"result", [&] { return Describe(result); }},
            {"out", [&] { return Describe(received); }},
            {"document", [&] { return Saved(model); }},
            {"file", [&] { return ReadWholeFile(file); }},
            {"sink", [&] { return stream.written; }},
            {"events", [&] { return Joined(client.events, " | "); }},
            {"attributes", [&] { return DescribeAttributes(object); }},
        };
        const auto observer = observers.find(observation);
        return observer == observers.end() ? "unknown observation" : observer->second();
    }

    LateBound model;
    LateBound object;
    ScratchDirectory scratch;
    const std::string file = scratch.Path() + "/probe";
    EarlyStream stream;
    RecordingClient client;
    VARIANT received{};
};

// Runs the probe that `words` hold after its object and operation.
void Check(const std::string& kind, DISPID id, std::istringstream& words) {
    ProbeRun run(kind);
    std::vector<VARIANT> arguments;
    for (std::string word; words >> word && word != "->";) {
        arguments.push_back(run.Argument(word));
    }
    std::string observation;
    std::string expected;
    words >> observation >> std::ws;
    std::getline(words, expected);
    const Outcome outcome = Invoke(run.object, id, std::move(arguments));
    EXPECT_EQ(outcome.code, S_OK) << outcome.description;
    const std::string observed = run.Observe(observation, outcome.value);
    if (expected[0] == '~' || expected[0] == '!') {
        const bool contained = observed.find(expected.substr(1)) != std::string::npos;
        EXPECT_EQ(contained, expected[0] == '~') << observed;
    } else {
        EXPECT_EQ(observed, expected);
    }
}

using DispatchIdentifiers = RegisteredTest;

TEST_F(DispatchIdentifiers, EveryOperationOfBothTypeLibrariesLandsOnItsNamesake) {
    std::map<std::string, std::map<std::string, DISPID>> unprobed = {
        {"model", OperationsOf("pravell", IID_IDispatchXMLModel)},
        {"node", OperationsOf("pravell", IID_IDispatchXMLModelNode)},
        {"parser", OperationsOf("pravell", IID_IDispatchXMLParser)},
        {"attributes", OperationsOf("utils", IID_IDispatchTaggedAttributes)},
    };
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
        const auto object = operations.find(kind);
        ASSERT_NE(object, operations.end()) << "no such object";
        const auto id = object->second.find(operation);
        ASSERT_NE(id, object->second.end()) << "no such operation";
        unprobed[kind].erase(operation);
        Check(kind, id->second, words);
    }
    for (const auto& [kind, left] : unprobed) {
        for (const auto& [operation, id] : left) {
            ADD_FAILURE() << "no probe for " << kind << " " << operation;
        }
    }
}

} // namespace
} // namespace Ostrel::Testing
