// The model and node objects as hosts reach them: through their interfaces and by Invoke.
#include "dispatch/CountedObject.h"
#include "model/HExternalXMLModel.h"
#include "support/AutomationTest.h"
#include "support/HostStreams.h"
#include "support/LateBinding.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace Ostrel::Testing {
namespace {

// The object as one of its dual interfaces, for direct calls; not referenced.
template <typename Interface>
Interface* As(IDispatch* object) {
    return static_cast<Interface*>(object);
}

// A new model object holding a document, and the document's element.
struct Loaded {
    explicit Loaded(const std::string& xml) {
        EXPECT_EQ(Call(model, "LoadFromString", {TextArgument(xml)}).code, S_OK);
        element = CallForObject(CallForObject(model, "GetRoot"), "GetChild", {IntegerArgument(0)});
    }

    // A new model object as the factory hands it out, with its first reference.
    LateBound model = LateBound::Share(new HExternalXMLModel());
    LateBound element;
};

using ModelObject = RegisteredTest;
using NodeObject = RegisteredTest;

// A host may let go of its last reference to the model inside the model's own call out to it: a
// stream's first Read or Write in LoadFromTransfer or SaveToTransfer, a sink's first Write in an
// element's WriteTo. The call finishes whole on the tree it began with, the model goes when it
// returns, and its node objects are detached. WriteTo sends the element as a document of its
// own: the declaration, the element at column 0, no document type.
TEST_F(ModelObject, AModelReleasedDuringItsOwnCallFinishesTheCall) {
    std::string element = "<doc>";
    for (int i = 0; i < 50; ++i) {
        element += "<item n='" + std::to_string(i) + "'>text &amp; more</item>";
    }
    element += "<!--note--></doc>";
    const std::string document = "<!DOCTYPE top><top>" + element + "</top>";
    enum Called { kLoad, kSave, kWriteTo };
    const std::string written[] = {"", Call(Loaded(document).model, "SaveToString").Text(),
                                   Call(Loaded(element).model, "SaveToString").Text()};
    for (const Called call : {kLoad, kSave, kWriteTo}) {
        SCOPED_TRACE(call);
        Loaded loaded(document);
        LateBound& model = loaded.model;
        LateBound node = CallForObject(loaded.element, "GetChild", {IntegerArgument(0)});
        EarlyStream stream;
        stream.source = document;
        stream.hostCode = [&] { model.Reset(); };
        auto* early = As<IDispatchXMLModel>(model);
        const HRESULT answer = call == kWriteTo ? As<IDispatchXMLModelNode>(node)->WriteTo(&stream)
                               : call == kLoad  ? early->LoadFromTransfer(&stream)
                                                : early->SaveToTransfer(&stream);
        EXPECT_EQ(answer, S_OK);
        EXPECT_EQ(model.Get(), nullptr) << "the host's code ran";
        EXPECT_EQ(stream.written, written[call]);
        EXPECT_EQ(Call(node, "GetName").code, E_FAIL) << "detached once the model is gone";
        EXPECT_EQ(stream.References(), 1u);
    }
}

// While the model loads from or saves to a host's stream, the host's code (at the stream's second
// Read or Write, with the tree half built or walked) calls the same model: each call that would
// change or free the tree, and Save, answers E_FAIL through the interface and by name and changes
// nothing, while the element is found and SaveToString works (and fails without a word). The
// operation reads or writes the whole document and leaves the text pending from before it. Once it
// has returned, succeeded or failed, each of those calls works again.
TEST_F(ModelObject, TheHostsCodeCannotChangeATreeInTransfer) {
    const std::string document = "<top a='1'><i>" + std::string(12000, 'x') + "</i><b/></top>";
    ScratchDirectory scratch;
    const std::string file = scratch.Path() + "/doc.xml", container = scratch.Path() + "/doc.pxc";
    const Loaded original(document);
    const std::string saved = Call(original.model, "SaveToString").Text();
    ASSERT_EQ(Call(original.model, "Save", {TextArgument(file)}).code, S_OK);
    ASSERT_EQ(Call(original.model, "SaveCompressed", {TextArgument(container)}).code, S_OK);
    const std::string pending = "XML Parse failed: there was an error streaming in data";
    // What a call through the interface gets: the model, its element and the row's arguments; a
    // child it makes is released after it.
    struct Arguments {
        IDispatchXMLModel* m;
        IDispatchXMLModelNode* n;
        VARIANT v[2] = {};
        BSTR &x = v[0].bstrVal, &y = v[1].bstrVal;
        IDispatchXMLModelNode* child = nullptr;
    };
    // A call on the model, or else on its element, with texts as arguments (an empty one stands for
    // the host's stream).
    const struct Row {
        const char* member;
        std::vector<std::string> texts;
        HRESULT (*early)(Arguments&);
    } rows[] = {
        {"Clear", {}, [](auto& a) { return a.m->Clear(); }},
        {"Load", {file}, [](auto& a) { return a.m->Load(a.x); }},
        {"LoadFromString", {"<x/>"}, [](auto& a) { return a.m->LoadFromString(a.x); }},
        {"LoadFromTransfer", {""}, [](auto& a) { return a.m->LoadFromTransfer(a.v->pdispVal); }},
        {"LoadCompressed", {container}, [](auto& a) { return a.m->LoadCompressed(a.x); }},
        {"Save", {file + "2"}, [](auto& a) { return a.m->Save(a.x); }},
        {"AddChild", {"x"}, [](auto& a) { return a.n->AddChild(a.x, &a.child); }},
        {"SetName", {"x"}, [](auto& a) { return a.n->SetName(a.x); }},
        {"SetText", {"x"}, [](auto& a) { return a.n->SetText(&a.v[0]); }},
        {"AddAttribute", {"x", "y"}, [](auto& a) { return a.n->AddAttribute(&a.v[0], &a.v[1]); }},
        {"AddAttributeText", {"x", "y"}, [](auto& a) { return a.n->AddAttributeText(a.x, a.y); }},
        {"SetAttribute", {"x", "y"}, [](auto& a) { return a.n->SetAttribute(a.x, a.y); }}};
    for (const bool early : {true, false}) {
        const auto attempt = [&](const Row& row, IDispatch* model, ScriptStream& stream) {
            LateBound element =
                CallForObject(CallForObject(model, "GetRoot"), "GetChild", {IntegerArgument(0)});
            Arguments a{As<IDispatchXMLModel>(model), As<IDispatchXMLModelNode>(element)};
            for (size_t i = 0; i < row.texts.size(); ++i) {
                a.v[i] =
                    row.texts[i].empty() ? ObjectArgument(&stream) : TextArgument(row.texts[i]);
            }
            DISPID id = 0;
            if (!early) {
                IDispatch* target =
                    LateBound::Share(model).FindMember(row.member, id) == S_OK ? model : element;
                return Call(target, row.member, {a.v, a.v + row.texts.size()}).code;
            }
            const HRESULT answer = row.early(a);
            const LateBound child(a.child);
            VariantClear(&a.v[0]);
            VariantClear(&a.v[1]);
            return answer;
        };
        for (const bool load : {true, false}) {
            // Half the operations fail right after the host's code.
            const bool failing = load != early;
            for (const Row& row : rows) {
                SCOPED_TRACE(std::string(row.member) + (early ? " early" : " by name") +
                             (load ? " in a load" : " in a save"));
                Loaded loaded(document);
                // A plain file is no container; its failure stays pending.
                Call(loaded.model, "LoadCompressed", {TextArgument(file)});
                Call(loaded.model, "LoadFromString", {TextArgument(document)});
                ScriptStream stream(saved);
                HRESULT refused = S_OK;
                stream.hostCode = [&] {
                    stream.hostCode = [&] {
                        refused = attempt(row, loaded.model, stream);
                        EXPECT_EQ(Call(loaded.model, "SaveToString").code, S_OK);
                        EXPECT_EQ(As<IDispatchXMLModel>(loaded.model)->SaveToString(nullptr),
                                  E_FAIL);
                        stream.failWrites = failing;
                        stream.failAtRead = failing ? stream.reads : 0;
                    };
                };
                auto* model = As<IDispatchXMLModel>(loaded.model);
                EXPECT_EQ(load ? model->LoadFromTransfer(&stream) : model->SaveToTransfer(&stream),
                          failing ? E_FAIL : S_OK);
                EXPECT_EQ(refused, E_FAIL);
                EXPECT_TRUE(failing || saved == (load ? Call(loaded.model, "SaveToString").Text()
                                                      : stream.written));
                EXPECT_EQ(Call(loaded.model, "Load", {TextArgument(file + "x")}).description,
                          (failing ? "" : pending) + "Failed to open file: " + file + "x");
                stream.position = 0;
                EXPECT_EQ(attempt(row, loaded.model, stream), S_OK);
            }
        }
    }
}

// Every argument is read as it comes or behind the reference to a variant that a script's
// variable arrives as. Keys are integers (VT_UI1, VT_I2, VT_I4, also by reference) or names,
// letter case ignored; any other key finds nothing. Strings given as values, also by reference,
// are stored as they are ("00123" and "1e3" stay text); other values in their double form. An
// element's object stands for it until the host lets it go; then a new one does, and sees what
// was done through the old one.
TEST_F(NodeObject, ArgumentsAreReadAsTheyComeOrBehindAReference) {
    Loaded doc("<doc id='7' two='x'><one/><two/><three/></doc>");
    auto* node = As<IDispatchXMLModelNode>(doc.element);
    LateBound one = CallForObject(doc.element, "GetChild", {IntegerArgument(0)});
    LateBound two = CallForObject(doc.element, "GetChild", {IntegerArgument(1)});
    auto* target = As<IDispatchXMLModelNode>(one);
    LONG index = 1;
    // An argument, what GetAttribute answers to it as a key (S_OK: it and GetChild find "two"),
    // and what SetText and AddAttribute store of it.
    struct {
        VARIANT argument;
        HRESULT asKey;
        const char* stored;
    } rows[] = {{Typed(1, VT_UI1), S_OK, "1."},
                {Typed(1, VT_I2), S_OK, "1."},
                {ReferenceArgument(VT_I4, &index), S_OK, "1."},
                {TextArgument("TWO"), S_OK, "TWO"},
                {TextArgument("00123"), S_FALSE, "00123"},
                {Typed(1, VT_R8), E_INVALIDARG, "1."},
                {Typed(-1, VT_BOOL), E_INVALIDARG, "-1."}};
    int added = 0;
    for (auto& row : rows) {
        VARIANT variable = ReferenceArgument(VT_VARIANT, &row.argument);
        for (VARIANT* argument : {&row.argument, &variable}) {
            SCOPED_TRACE(std::string(row.stored) + (argument == &variable ? " by reference" : ""));
            const bool found = row.asKey == S_OK;
            IDispatchXMLModelNode* child = nullptr;
            EXPECT_EQ(node->GetChild(argument, &child), found ? S_OK : E_FAIL);
            EXPECT_EQ(LateBound(child).Get(), found ? two.Get() : nullptr);
            BSTR value = nullptr;
            EXPECT_EQ(node->GetAttribute(argument, &value), row.asKey);
            EXPECT_EQ(TakeUtf8(value), found ? "x" : "");
            const std::string name = "n" + std::to_string(++added);
            VARIANT nameValue = TextArgument(name);
            VARIANT nameVariable = ReferenceArgument(VT_VARIANT, &nameValue);
            EXPECT_EQ(target->AddAttribute(&nameVariable, argument), S_OK);
            EXPECT_EQ(Call(one, "GetAttribute", {TextArgument(name)}).Text(), row.stored);
            EXPECT_EQ(target->SetText(argument), S_OK);
            EXPECT_EQ(Call(one, "GetText").Text(), row.stored);
            VariantClear(&nameValue);
        }
        VariantClear(&row.argument);
    }
    Bstr string("1e3");
    BSTR stringVariable = string;
    VARIANT byReference = ReferenceArgument(VT_BSTR, &stringVariable);
    EXPECT_EQ(target->SetText(&byReference), S_OK);
    EXPECT_EQ(Call(one, "GetText").Text(), "1e3");
    one.Reset();
    const LONG live = Ostrel::LiveObjectCount();
    LateBound fresh = CallForObject(doc.element, "GetChild", {IntegerArgument(0)});
    EXPECT_EQ(Ostrel::LiveObjectCount(), live + 1) << "a new object for the element";
    EXPECT_EQ(Call(fresh, "GetText").Text(), "1e3");
}

// WriteTo writes nothing and fails for the root, which has no name, and for an element with an
// unnamed descendant; into a sink that refuses it fails too. Every sink has its references back.
TEST_F(NodeObject, WriteToFailsWhereItCannotWriteTheWholeSubtree) {
    Loaded doc("<doc><one/></doc>");
    EarlyStream refusing;
    refusing.failWrites = true;
    EXPECT_EQ(Call(doc.element, "WriteTo", {ObjectArgument(&refusing)}).code, E_FAIL);
    CallForObject(CallForObject(doc.element, "GetChild", {IntegerArgument(0)}), "AddChild",
                  {TextArgument("")});
    EarlyStream unused;
    LateBound root = CallForObject(doc.model, "GetRoot");
    for (IDispatch* unwritable : {root.Get(), doc.element.Get()}) {
        EXPECT_EQ(Call(unwritable, "WriteTo", {ObjectArgument(&unused)}).code, E_FAIL);
    }
    EXPECT_EQ(unused.writes, 0);
    EXPECT_EQ(refusing.References() + unused.References(), 2u);
}

} // namespace
} // namespace Ostrel::Testing
