// The model and node objects as hosts reach them: through their interfaces and by Invoke.
#include "dispatch/CountedObject.h"
#include "model/HExternalXMLModel.h"
#include "support/AutomationTest.h"
#include "support/HostStreams.h"
#include "support/LateBinding.h"

#include <gtest/gtest.h>

#include <string>

namespace Ostrel::Testing {
namespace {

// A new model object as the factory hands it out, with its first reference.
LateBound NewModel() {
    auto* model = new HExternalXMLModel();
    model->AddRef();
    return LateBound(model);
}

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

    LateBound model = NewModel();
    LateBound element;
};

using ModelObject = RegisteredTest;
using NodeObject = RegisteredTest;

// A host may let go of its last reference to the model inside the model's own call out to it: a
// stream's first Read or Write in LoadFromTransfer or SaveToTransfer, a sink's first Write in an
// element's WriteTo, each reached through the interface or by Invoke. The call finishes whole on
// the tree it began with, the model goes when it returns, and its node objects are detached.
// WriteTo sends the element as a document of its own: the declaration, the element at column 0,
// no document type.
TEST_F(ModelObject, AModelReleasedDuringItsOwnCallFinishesTheCall) {
    std::string element = "<doc>";
    for (int i = 0; i < 50; ++i) {
        element += "<item n='" + std::to_string(i) + "'>text &amp; more</item>";
    }
    element += "<!--note--></doc>";
    const std::string document = "<!DOCTYPE top><top>" + element + "</top>";
    enum Called { kLoad, kSave, kWriteTo };
    const DISPID ids[] = {5, 6, 15};
    const std::string written[] = {"", Call(Loaded(document).model, "SaveToString").Text(),
                                   Call(Loaded(element).model, "SaveToString").Text()};
    for (const Called call : {kLoad, kSave, kWriteTo}) {
        for (const bool byInvoke : {false, true}) {
            SCOPED_TRACE(std::to_string(call) + (byInvoke ? " by Invoke" : ""));
            Loaded loaded(document);
            LateBound& model = loaded.model;
            LateBound node = CallForObject(loaded.element, "GetChild", {IntegerArgument(0)});
            EarlyStream stream;
            stream.source = document;
            stream.hostCode = [&] { model.Reset(); };
            HRESULT answer = E_UNEXPECTED;
            if (byInvoke) {
                LateBound& called = call == kWriteTo ? node : model;
                answer = called.Invoke(ids[call], {ObjectArgument(&stream)});
            } else if (call == kWriteTo) {
                answer = As<IDispatchXMLModelNode>(node)->WriteTo(&stream);
            } else {
                auto* early = As<IDispatchXMLModel>(model);
                answer = call == kLoad ? early->LoadFromTransfer(&stream)
                                       : early->SaveToTransfer(&stream);
            }
            EXPECT_EQ(answer, S_OK);
            EXPECT_EQ(model.Get(), nullptr) << "the host's code ran";
            EXPECT_EQ(stream.written, written[call]);
            EXPECT_EQ(Call(node, "GetName").code, E_FAIL) << "detached once the model is gone";
            EXPECT_EQ(stream.References(), 1u);
        }
    }
}

// Keys are integers (VT_UI1, VT_I2, VT_I4, also by reference) or names, letter case ignored, as
// they come or behind the reference to a variant that a script's variable arrives as; any other
// key finds nothing.
TEST_F(NodeObject, KeysAreIntegersOrNamesAsTheyComeOrBehindAReference) {
    Loaded doc("<doc id='7' two='x'><one/><two/><three/></doc>");
    auto* node = As<IDispatchXMLModelNode>(doc.element);
    LateBound two = CallForObject(doc.element, "GetChild", {IntegerArgument(1)});
    LONG one = 1;
    VARIANT keys[] = {Typed(1, VT_UI1), Typed(1, VT_I2), ReferenceArgument(VT_I4, &one),
                      TextArgument("TWO"), Typed(1, VT_R8)};
    for (VARIANT& key : keys) {
        const bool usable = key.vt != VT_R8;
        VARIANT variable = ReferenceArgument(VT_VARIANT, &key);
        for (VARIANT* argument : {&key, &variable}) {
            SCOPED_TRACE(std::to_string(key.vt) + (argument == &variable ? " by reference" : ""));
            IDispatchXMLModelNode* child = nullptr;
            EXPECT_EQ(node->GetChild(argument, &child), usable ? S_OK : E_FAIL);
            EXPECT_EQ(LateBound(child).Get(), usable ? two.Get() : nullptr);
            BSTR value = nullptr;
            EXPECT_EQ(node->GetAttribute(argument, &value), usable ? S_OK : E_INVALIDARG);
            EXPECT_EQ(TakeUtf8(value), usable ? "x" : "");
        }
        VariantClear(&key);
    }
}

// Strings, however passed, are stored as they are ("00123" stays text); other values in their
// double form first. Names and values are read as they come or behind a reference.
TEST_F(NodeObject, StringsAreStoredAsTheyAreOtherValuesInTheirDoubleForm) {
    Loaded doc("<doc/>");
    auto* node = As<IDispatchXMLModelNode>(doc.element);
    Bstr string("1e3");
    BSTR stringVariable = string;
    struct {
        VARIANT value;
        const char* stored;
    } rows[] = {{TextArgument("00123"), "00123"},
                {TextArgument(" 12 "), " 12 "},
                {ReferenceArgument(VT_BSTR, &stringVariable), "1e3"},
                {IntegerArgument(42), "42."},
                {Typed(2.5, VT_R8), "2.5"},
                {Typed(-1, VT_BOOL), "-1."}};
    int added = 0;
    for (auto& row : rows) {
        VARIANT variable = ReferenceArgument(VT_VARIANT, &row.value);
        for (VARIANT* value : {&row.value, &variable}) {
            SCOPED_TRACE(std::string(row.stored) + (value == &variable ? " by reference" : ""));
            const std::string name = "n" + std::to_string(++added);
            VARIANT nameValue = TextArgument(name);
            VARIANT nameVariable = ReferenceArgument(VT_VARIANT, &nameValue);
            EXPECT_EQ(node->AddAttribute(&nameVariable, value), S_OK);
            EXPECT_EQ(Call(doc.element, "GetAttribute", {TextArgument(name)}).Text(), row.stored);
            EXPECT_EQ(node->SetText(value), S_OK);
            EXPECT_EQ(Call(doc.element, "GetText").Text(), row.stored);
            VariantClear(&nameValue);
        }
        VariantClear(&row.value);
    }
}

// An element's object stands for it until the host lets it go; then a new one does.
TEST_F(NodeObject, AnElementGetsANewObjectOnceItsOldOneIsGone) {
    Loaded doc("<doc><one/></doc>");
    LateBound first = CallForObject(doc.element, "GetChild", {IntegerArgument(0)});
    EXPECT_EQ(CallForObject(doc.element, "GetChild", {TextArgument("ONE")}).Get(), first.Get());
    EXPECT_EQ(Call(first, "SetText", {TextArgument("changed")}).code, S_OK);
    first.Reset();
    const LONG live = Ostrel::LiveObjectCount();
    LateBound fresh = CallForObject(doc.element, "GetChild", {IntegerArgument(0)});
    EXPECT_EQ(Ostrel::LiveObjectCount(), live + 1) << "a new object for the element";
    EXPECT_EQ(Call(fresh, "GetText").Text(), "changed");
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
