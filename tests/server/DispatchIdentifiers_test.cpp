// Every dispatch identifier that the type libraries describe, invoked through IDispatch::Invoke
// on a real object, must land on the operation of the same name: a wrong order in the type
// information or a misplaced vtable slot sends a host's call to a neighbour.
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

#include <functional>
#include <map>
#include <string>

namespace Ostrel::Testing {
namespace {

using Probe = std::function<void(IDispatch* object, DISPID id)>;

// The operation names and dispatch identifiers the type library gives the interface, read from
// its interface half, which lists only the interface's own operations.
std::map<std::string, DISPID> OperationsOf(const std::string& library, REFIID interfaceId) {
    std::map<std::string, DISPID> operations;
    ITypeLib* types = LoadBuiltLibrary(library);
    ITypeInfo* dispatchHalf = nullptr;
    EXPECT_EQ(types->GetTypeInfoOfGuid(interfaceId, &dispatchHalf), S_OK);
    types->Release();
    HREFTYPE interfaceHalf = 0;
    EXPECT_EQ(dispatchHalf->GetRefTypeOfImplType(static_cast<UINT>(-1), &interfaceHalf), S_OK);
    ITypeInfo* info = nullptr;
    EXPECT_EQ(dispatchHalf->GetRefTypeInfo(interfaceHalf, &info), S_OK);
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

class DispatchIdentifiers : public RegisteredTest {
protected:
    // Runs every probe on a fresh object with the identifier the type library gives its name,
    // and fails for an operation without a probe or a probe without an operation.
    void Walk(const std::string& library, REFIID interfaceId,
              const std::function<LateBound()>& newObject,
              const std::map<std::string, Probe>& probes) {
        const std::map<std::string, DISPID> operations = OperationsOf(library, interfaceId);
        EXPECT_EQ(operations.size(), probes.size());
        for (const auto& [name, id] : operations) {
            SCOPED_TRACE(name);
            const auto probe = probes.find(name);
            ASSERT_NE(probe, probes.end()) << "no probe for this operation";
            LateBound object = newObject();
            probe->second(object, id);
        }
    }

    ScratchDirectory scratch;
};

const char kDocument[] = "<doc a=\"1\" b=\"2\">dt<c1/></doc>";

IDispatchXMLModel* ModelOf(IDispatch* object) {
    return static_cast<IDispatchXMLModel*>(object);
}

// The name of the model's first element, read by direct calls ("" when there is none).
std::string FirstElementName(IDispatch* model) {
    IDispatchXMLModelNode* root = nullptr;
    ModelOf(model)->GetRoot(&root);
    LateBound held(root);
    Outcome child = Call(held, "GetChild", {IntegerArgument(0)});
    return child.code == S_OK ? Call(child.Object(), "GetName").Text() : "";
}

LateBound NewModel() {
    auto* model = new HExternalXMLModel();
    model->AddRef();
    return LateBound(model);
}

TEST_F(DispatchIdentifiers, EveryModelOperation) {
    const std::string path = scratch.Path() + "/doc.xml";
    const std::string packed = scratch.Path() + "/doc.pxc";
    const auto loaded = [](const std::string& xml) {
        LateBound model = NewModel();
        EXPECT_EQ(ModelOf(model)->LoadFromString(Bstr(xml)), S_OK);
        return model;
    };
    const std::map<std::string, Probe> probes = {
        {"Load",
         [&](IDispatch* model, DISPID id) {
             WriteWholeFile(path, "<fromFile/>");
             EXPECT_EQ(Invoke(model, id, {TextArgument(path)}).code, S_OK);
             EXPECT_EQ(FirstElementName(model), "fromFile");
         }},
        {"Save",
         [&](IDispatch*, DISPID id) {
             LateBound model = loaded("<saved/>");
             EXPECT_EQ(Invoke(model, id, {TextArgument(path)}).code, S_OK);
             EXPECT_NE(ReadWholeFile(path).find("<saved/>"), std::string::npos);
         }},
        {"LoadFromString",
         [](IDispatch* model, DISPID id) {
             EXPECT_EQ(Invoke(model, id, {TextArgument("<fromString/>")}).code, S_OK);
             EXPECT_EQ(FirstElementName(model), "fromString");
         }},
        {"SaveToString",
         [&](IDispatch*, DISPID id) {
             LateBound model = loaded("<toString/>");
             EXPECT_NE(Invoke(model, id).Text().find("<toString/>"), std::string::npos);
         }},
        {"LoadFromTransfer",
         [](IDispatch* model, DISPID id) {
             EarlyStream source;
             source.source = "<fromTransfer/>";
             EXPECT_EQ(Invoke(model, id, {ObjectArgument(&source)}).code, S_OK);
             EXPECT_EQ(FirstElementName(model), "fromTransfer");
         }},
        {"SaveToTransfer",
         [&](IDispatch*, DISPID id) {
             LateBound model = loaded("<toTransfer/>");
             EarlyStream sink;
             EXPECT_EQ(Invoke(model, id, {ObjectArgument(&sink)}).code, S_OK);
             EXPECT_NE(sink.written.find("<toTransfer/>"), std::string::npos);
         }},
        {"GetRoot",
         [](IDispatch* model, DISPID id) {
             IDispatchXMLModelNode* root = nullptr;
             ModelOf(model)->GetRoot(&root);
             LateBound direct(root);
             EXPECT_EQ(Invoke(model, id).Object().Get(), direct.Get());
         }},
        {"Clear",
         [&](IDispatch*, DISPID id) {
             LateBound model = loaded("<cleared/>");
             EXPECT_EQ(Invoke(model, id).code, S_OK);
             EXPECT_EQ(FirstElementName(model), "");
         }},
        {"LoadCompressed",
         [&](IDispatch* model, DISPID id) {
             ASSERT_EQ(ModelOf(loaded("<packed/>"))->SaveCompressed(Bstr(packed)), S_OK);
             EXPECT_EQ(Invoke(model, id, {TextArgument(packed)}).code, S_OK);
             EXPECT_EQ(FirstElementName(model), "packed");
         }},
        {"SaveCompressed",
         [&](IDispatch* model, DISPID id) {
             LateBound source = loaded("<compressed/>");
             EXPECT_EQ(Invoke(source, id, {TextArgument(packed)}).code, S_OK);
             EXPECT_EQ(ModelOf(model)->LoadCompressed(Bstr(packed)), S_OK);
             EXPECT_EQ(FirstElementName(model), "compressed");
         }},
    };
    Walk("pravell", IID_IDispatchXMLModel, NewModel, probes);
}

// The document's element `doc` as a node object, through direct calls; the model stays alive
// as long as the test's references on the node are what hold the element.
class NodeOfDocument {
public:
    NodeOfDocument() : model(NewModel()) {
        EXPECT_EQ(ModelOf(model)->LoadFromString(Bstr(kDocument)), S_OK);
        IDispatchXMLModelNode* root = nullptr;
        ModelOf(model)->GetRoot(&root);
        this->root = LateBound(root);
        node = CallForObject(root, "GetChild", {IntegerArgument(0)});
    }
    LateBound model;
    LateBound root;
    LateBound node;
};

TEST_F(DispatchIdentifiers, EveryNodeOperation) {
    std::vector<std::unique_ptr<NodeOfDocument>> documents;
    const auto newNode = [&documents] {
        documents.push_back(std::make_unique<NodeOfDocument>());
        documents.back()->node->AddRef();
        return LateBound(documents.back()->node.Get());
    };
    const auto attribute = [](IDispatch* node, const std::string& name) {
        BSTR value = nullptr;
        static_cast<IDispatchXMLModelNode*>(node)->GetAttributeByName(Bstr(name), &value);
        return TakeUtf8(value);
    };
    const auto direct = [](IDispatch* node, const std::string& name) {
        return Call(node, name).Text();
    };
    const std::map<std::string, Probe> probes = {
        {"AddAttribute",
         [&](IDispatch* node, DISPID id) {
             EXPECT_EQ(Invoke(node, id, {TextArgument("n"), TextArgument("v")}).code, S_OK);
             EXPECT_EQ(attribute(node, "n"), "v");
         }},
        {"GetAttribute",
         [](IDispatch* node, DISPID id) {
             EXPECT_EQ(Invoke(node, id, {TextArgument("b")}).Text(), "2");
         }},
        {"AddAttributeText",
         [&](IDispatch* node, DISPID id) {
             EXPECT_EQ(Invoke(node, id, {TextArgument("m"), TextArgument("w")}).code, S_OK);
             EXPECT_EQ(attribute(node, "m"), "w");
         }},
        {"AddChild",
         [](IDispatch* node, DISPID id) {
             LateBound child = Invoke(node, id, {TextArgument("kid")}).Object();
             EXPECT_EQ(Call(child, "GetName").Text(), "kid");
             EXPECT_EQ(Call(node, "GetChildCount").value.lVal, 2);
         }},
        {"SetName",
         [&](IDispatch* node, DISPID id) {
             EXPECT_EQ(Invoke(node, id, {TextArgument("renamed")}).code, S_OK);
             EXPECT_EQ(direct(node, "GetName"), "renamed");
         }},
        {"GetName", [](IDispatch* node, DISPID id) { EXPECT_EQ(Invoke(node, id).Text(), "doc"); }},
        {"SetText",
         [&](IDispatch* node, DISPID id) {
             EXPECT_EQ(Invoke(node, id, {TextArgument("set")}).code, S_OK);
             EXPECT_EQ(direct(node, "GetText"), "set");
         }},
        {"GetText", [](IDispatch* node, DISPID id) { EXPECT_EQ(Invoke(node, id).Text(), "dt"); }},
        {"GetChildCount",
         [](IDispatch* node, DISPID id) { EXPECT_EQ(Invoke(node, id).value.lVal, 1); }},
        {"GetChild",
         [](IDispatch* node, DISPID id) {
             EXPECT_EQ(Call(Invoke(node, id, {IntegerArgument(0)}).Object(), "GetName").Text(),
                       "c1");
         }},
        {"GetAttributeValue",
         [](IDispatch* node, DISPID id) {
             EXPECT_EQ(Invoke(node, id, {IntegerArgument(0)}).Text(), "1");
         }},
        {"GetAttributeName",
         [](IDispatch* node, DISPID id) {
             EXPECT_EQ(Invoke(node, id, {IntegerArgument(1)}).Text(), "b");
         }},
        {"GetAttributeByName",
         [](IDispatch* node, DISPID id) {
             EXPECT_EQ(Invoke(node, id, {TextArgument("B")}).Text(), "2");
         }},
        {"GetAttributeCount",
         [](IDispatch* node, DISPID id) { EXPECT_EQ(Invoke(node, id).value.lVal, 2); }},
        {"WriteTo",
         [](IDispatch* node, DISPID id) {
             EarlyStream sink;
             EXPECT_EQ(Invoke(node, id, {ObjectArgument(&sink)}).code, S_OK);
             EXPECT_NE(sink.written.find("<c1/>"), std::string::npos) << sink.written;
         }},
        {"GetParent",
         [&](IDispatch* node, DISPID id) {
             EXPECT_EQ(Invoke(node, id).Object().Get(), documents.back()->root.Get());
         }},
        {"HasAttribute",
         [](IDispatch* node, DISPID id) {
             EXPECT_EQ(Invoke(node, id, {TextArgument("a")}).value.boolVal, VARIANT_TRUE);
             EXPECT_EQ(Invoke(node, id, {TextArgument("zz")}).value.boolVal, VARIANT_FALSE);
         }},
        {"SetAttribute",
         [&](IDispatch* node, DISPID id) {
             EXPECT_EQ(Invoke(node, id, {TextArgument("a"), TextArgument("9")}).code, S_OK);
             EXPECT_EQ(attribute(node, "a"), "9");
         }},
    };
    Walk("pravell", IID_IDispatchXMLModelNode, newNode, probes);
}

TEST_F(DispatchIdentifiers, EveryParserOperation) {
    const auto newParser = [] {
        auto* parser = new HExternalXMLParser;
        parser->AddRef();
        return LateBound(parser);
    };
    const auto parsed = [](const Outcome& outcome, const RecordingClient& client) {
        EXPECT_EQ(outcome.code, S_OK);
        return client.events.size() > 1 ? client.events[1] : "";
    };
    const std::map<std::string, Probe> probes = {
        {"ParseFile",
         [&](IDispatch* parser, DISPID id) {
             const std::string path = scratch.Path() + "/parsed.xml";
             WriteWholeFile(path, "<file/>");
             RecordingClient client;
             EXPECT_EQ(
                 parsed(Invoke(parser, id, {TextArgument(path), ObjectArgument(&client)}), client),
                 "StartElement file []");
         }},
        {"ParseString",
         [&](IDispatch* parser, DISPID id) {
             RecordingClient client;
             EXPECT_EQ(
                 parsed(Invoke(parser, id, {TextArgument("<text/>"), ObjectArgument(&client)}),
                        client),
                 "StartElement text []");
         }},
        {"ParseStream",
         [&](IDispatch* parser, DISPID id) {
             EarlyStream source;
             source.source = "<stream/>";
             RecordingClient client;
             EXPECT_EQ(
                 parsed(Invoke(parser, id, {ObjectArgument(&source), ObjectArgument(&client)}),
                        client),
                 "StartElement stream []");
         }},
    };
    Walk("pravell", IID_IDispatchXMLParser, newParser, probes);
}

TEST_F(DispatchIdentifiers, EveryAttributesOperation) {
    const auto newAttributes = [] {
        auto* attributes = new HDispatchTaggedAttributes;
        attributes->AddRef();
        attributes->AddAttribute(Bstr("b"), Bstr("2"));
        attributes->AddAttribute(Bstr("a"), Bstr("1"));
        return LateBound(attributes);
    };
    const std::map<std::string, Probe> probes = {
        {"AddAttribute",
         [](IDispatch* attributes, DISPID id) {
             EXPECT_EQ(Invoke(attributes, id, {TextArgument("c"), TextArgument("3")}).code, S_OK);
             EXPECT_EQ(DescribeAttributes(attributes), "[a=1,b=2,c=3]");
         }},
        {"AddAttributes",
         [](IDispatch* attributes, DISPID id) {
             EXPECT_EQ(
                 Invoke(attributes, id, {StringsArgument({"d", "c"}), StringsArgument({"4", "3"})})
                     .code,
                 S_OK);
             EXPECT_EQ(DescribeAttributes(attributes), "[a=1,b=2,c=3,d=4]");
         }},
        {"GetValue",
         [](IDispatch* attributes, DISPID id) {
             EXPECT_EQ(Invoke(attributes, id, {TextArgument("B")}).Text(), "2");
         }},
        {"GetAttribute",
         [](IDispatch* attributes, DISPID id) {
             BSTR name = nullptr;
             VARIANT nameOut;
             VariantInit(&nameOut);
             nameOut.vt = VT_BYREF | VT_BSTR;
             nameOut.pbstrVal = &name;
             EXPECT_EQ(Invoke(attributes, id, {IntegerArgument(1), nameOut}).Text(), "2");
             EXPECT_EQ(TakeUtf8(name), "b");
         }},
        {"GetAttributes",
         [](IDispatch* attributes, DISPID id) {
             VARIANT names;
             VariantInit(&names);
             VARIANT namesOut;
             VariantInit(&namesOut);
             namesOut.vt = VT_BYREF | VT_VARIANT;
             namesOut.pvarVal = &names;
             const Outcome values = Invoke(attributes, id, {namesOut});
             EXPECT_EQ(StringsOf(names), (std::vector<std::string>{"a", "b"}));
             EXPECT_EQ(StringsOf(values.value), (std::vector<std::string>{"1", "2"}));
             VariantClear(&names);
         }},
        {"GetCount",
         [](IDispatch* attributes, DISPID id) { EXPECT_EQ(Invoke(attributes, id).value.lVal, 2); }},
    };
    Walk("utils", IID_IDispatchTaggedAttributes, newAttributes, probes);
}

} // namespace
} // namespace Ostrel::Testing
