#include "ModelTestSupport.h"
#include "dispatch/CountedObject.h"
#include "support/AutomationTest.h"
#include "support/HostStreams.h"
#include "support/LateBinding.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace Ostrel::Testing {
namespace {

const char kDocument[] =
    "<doc id='7' b='x'><item>one</item><leaf/><item>two</item><Other k='v'/></doc>";

class NodeObject : public RegisteredTest {
protected:
    void SetUp() override {
        RegisteredTest::SetUp();
        model = NewModel();
        ASSERT_EQ(Call(model, "LoadFromString", {TextArgument(kDocument)}).code, S_OK);
        root = CallForObject(model, "GetRoot");
        doc = CallForObject(root, "GetChild", {TextArgument("doc")});
    }
    void TearDown() override {
        doc.Reset();
        root.Reset();
        model.Reset();
        RegisteredTest::TearDown();
    }

    LateBound model;
    LateBound root;
    LateBound doc;
};

TEST_F(NodeObject, TheSameElementComesBackAsTheSameObject) {
    LateBound first = CallForObject(doc, "GetChild", {IntegerArgument(0)});
    EXPECT_EQ(CallForObject(doc, "GetChild", {TextArgument("ITEM")}).Get(), first.Get());
    EXPECT_EQ(CallForObject(doc, "GetParent").Get(), root.Get());
    EXPECT_EQ(CallForObject(first, "GetParent").Get(), doc.Get());
    EXPECT_EQ(Call(root, "GetParent").Object().Get(), nullptr);

    EXPECT_EQ(Call(first, "SetText", {TextArgument("changed")}).code, S_OK);
    first.Reset();
    const LONG live = Ostrel::LiveObjectCount();
    LateBound fresh = CallForObject(doc, "GetChild", {IntegerArgument(0)});
    EXPECT_EQ(Ostrel::LiveObjectCount(), live + 1) << "a new object for the element";
    EXPECT_EQ(Call(fresh, "GetText").Text(), "changed");
}

// Keys are integers (VT_UI1, VT_I2, VT_I4, also by reference) or names, letter case ignored.
TEST_F(NodeObject, KeysAreIntegersOrNames) {
    LONG two = 2;
    for (const VARIANT& key : {Typed(2, VT_UI1), Typed(2, VT_I2), ReferenceArgument(VT_I4, &two)}) {
        EXPECT_EQ(Call(CallForObject(doc, "GetChild", {key}), "GetText").Text(), "two");
    }
    for (const VARIANT& key : {Typed(0, VT_R8), IntegerArgument(4), TextArgument("none")}) {
        EXPECT_EQ(Call(doc, "GetChild", {key}).code, E_FAIL);
    }
    EXPECT_EQ(Call(doc, "GetAttribute", {Typed(0, VT_I2)}).Text(), "7");
    EXPECT_EQ(Call(doc, "GetAttribute", {TextArgument("ID")}).Text(), "7");
    VARIANT none = TextArgument("none");
    BSTR value = reinterpret_cast<BSTR>(0x1);
    EXPECT_EQ(As<IDispatchXMLModelNode>(doc)->GetAttribute(&none, &value), S_FALSE);
    EXPECT_EQ(value, nullptr);
    VariantClear(&none);
    EXPECT_EQ(Call(doc, "GetAttribute", {IntegerArgument(2)}).code, E_INVALIDARG);
    EXPECT_EQ(Call(doc, "GetAttribute", {Typed(0, VT_R8)}).code, E_INVALIDARG);
    EXPECT_EQ(Call(doc, "GetAttributeByName", {TextArgument("none")}).code, E_INVALIDARG);
}

// Strings, however passed, are stored as they are; other values in their double form first.
TEST_F(NodeObject, StringsAreStoredAsTheyAreOtherValuesInTheirDoubleForm) {
    VARIANT variable = TextArgument("00123");
    Bstr string("1e3");
    BSTR stringVariable = string;
    struct {
        VARIANT value;
        const char* stored;
    } cases[] = {{ReferenceArgument(VT_VARIANT, &variable), "00123"},
                 {ReferenceArgument(VT_BSTR, &stringVariable), "1e3"},
                 {TextArgument(" 12 "), " 12 "},
                 {IntegerArgument(42), "42."},
                 {Typed(2.5, VT_R8), "2.5"},
                 {Typed(-1, VT_BOOL), "-1."}};
    LateBound leaf = CallForObject(doc, "GetChild", {TextArgument("leaf")});
    for (auto& entry : cases) {
        SCOPED_TRACE(entry.stored);
        VARIANT copy;
        VariantInit(&copy);
        ASSERT_EQ(VariantCopy(&copy, &entry.value), S_OK);
        EXPECT_EQ(Call(leaf, "AddAttribute", {TextArgument(entry.stored), copy}).code, S_OK);
        EXPECT_EQ(Call(leaf, "GetAttribute", {TextArgument(entry.stored)}).Text(), entry.stored);
        // An early-bound caller may hand over the by-reference variant itself.
        EXPECT_EQ(As<IDispatchXMLModelNode>(leaf)->SetText(&entry.value), S_OK);
        EXPECT_EQ(Call(leaf, "GetText").Text(), entry.stored);
        VariantClear(&entry.value);
    }
    VariantClear(&variable);
}

// A script's variable behind `depth` references to variants, as engines nest them.
class ReferenceChain {
public:
    ReferenceChain(VARIANT* value, int depth) : links(static_cast<size_t>(depth)) {
        for (VARIANT& link : links) {
            link = ReferenceArgument(VT_VARIANT, value);
            value = &link;
        }
        outer = value;
    }
    operator VARIANT*() const { return outer; }

private:
    std::vector<VARIANT> links;
    VARIANT* outer;
};

// Script variables arrive as references to variants, one or more deep, and late binding may
// hand them on unchanged: keys, names and values are read through them, as far as six deep.
TEST_F(NodeObject, VariantArgumentsAreReadThroughReferences) {
    IDispatchXMLModelNode* node = As<IDispatchXMLModelNode>(doc);
    VARIANT index = Typed(2, VT_I2);
    VARIANT childName = TextArgument("Other");
    VARIANT position = Typed(0, VT_UI1);
    VARIANT attributeName = TextArgument("B");
    VARIANT number = IntegerArgument(42);
    VARIANT text = TextArgument("00123");
    for (int depth : {1, 2, 6, 7}) {
        SCOPED_TRACE(depth);
        const bool followed = depth <= 6;
        IDispatchXMLModelNode* found = nullptr;
        EXPECT_EQ(node->GetChild(ReferenceChain(&index, depth), &found), followed ? S_OK : E_FAIL);
        LateBound second(found);
        EXPECT_EQ(node->GetChild(ReferenceChain(&childName, depth), &found),
                  followed ? S_OK : E_FAIL);
        LateBound other(found);
        EXPECT_EQ(second.Get() != nullptr && other.Get() != nullptr, followed);
        BSTR value = nullptr;
        EXPECT_EQ(node->GetAttribute(ReferenceChain(&position, depth), &value),
                  followed ? S_OK : E_INVALIDARG);
        EXPECT_EQ(TakeUtf8(value), followed ? "7" : "");
        EXPECT_EQ(node->GetAttribute(ReferenceChain(&attributeName, depth), &value),
                  followed ? S_OK : E_INVALIDARG);
        EXPECT_EQ(TakeUtf8(value), followed ? "x" : "");

        const std::string added = "added" + std::to_string(depth);
        VARIANT newName = TextArgument(added);
        EXPECT_EQ(
            node->AddAttribute(ReferenceChain(&newName, depth), ReferenceChain(&number, depth)),
            followed ? S_OK : E_INVALIDARG);
        VariantClear(&newName);
        EXPECT_EQ(node->SetText(ReferenceChain(&text, depth)), followed ? S_OK : E_INVALIDARG);
        if (followed) {
            EXPECT_EQ(Call(second, "GetText").Text(), "two");
            EXPECT_EQ(Call(other, "GetName").Text(), "Other");
            EXPECT_EQ(Call(doc, "GetAttribute", {TextArgument(added)}).Text(), "42.");
            EXPECT_EQ(Call(doc, "GetText").Text(), "00123") << "a string stays text";
            EXPECT_EQ(Call(doc, "SetText", {TextArgument("")}).code, S_OK);
        }
    }
    for (VARIANT* argument : {&childName, &attributeName, &text}) {
        VariantClear(argument);
    }
}

TEST_F(NodeObject, NullOutsAndDetachedObjectsFailAndTouchNothing) {
    IDispatchXMLModelNode* live = As<IDispatchXMLModelNode>(doc);
    VARIANT zero = IntegerArgument(0);
    EXPECT_EQ(live->GetText(nullptr), E_FAIL);
    EXPECT_EQ(live->AddChild(Bstr("x"), nullptr), E_FAIL);
    EXPECT_EQ(live->GetChild(&zero, nullptr), E_FAIL);
    EXPECT_EQ(live->GetAttribute(nullptr, nullptr), E_FAIL);
    EXPECT_EQ(Call(doc, "GetChildCount").value.lVal, 4) << "nothing was added";

    // Clear and the next load leave the root's object working and detach the elements' for good.
    LateBound item = CallForObject(doc, "GetChild", {IntegerArgument(0)});
    ASSERT_EQ(Call(model, "Clear").code, S_OK);
    ASSERT_EQ(Call(model, "LoadFromString", {TextArgument("<doc><item/></doc>")}).code, S_OK);
    EXPECT_EQ(CallForObject(model, "GetRoot").Get(), root.Get());
    EXPECT_EQ(Call(root, "GetChildCount").value.lVal, 1);
    IDispatchXMLModelNode* node = As<IDispatchXMLModelNode>(item);
    BSTR text = reinterpret_cast<BSTR>(0x1);
    LONG count = -7;
    ScriptStream sink;
    EXPECT_EQ(node->AddAttribute(&zero, &zero), E_FAIL);
    EXPECT_EQ(node->GetAttribute(&zero, &text), E_FAIL);
    EXPECT_EQ(node->SetText(&zero), E_FAIL);
    EXPECT_EQ(node->GetChildCount(&count), E_FAIL);
    EXPECT_EQ(node->WriteTo(&sink), E_FAIL);
    EXPECT_EQ(text, reinterpret_cast<BSTR>(0x1));
    EXPECT_EQ(count, -7);
    EXPECT_EQ(sink.writes, 0);

    // Releasing the model detaches every object, the root's too.
    LateBound element = CallForObject(root, "GetChild", {IntegerArgument(0)});
    model.Reset();
    EXPECT_EQ(Call(element, "GetName").code, E_FAIL);
    EXPECT_EQ(Call(root, "AddChild", {TextArgument("x")}).code, E_FAIL);
}

TEST_F(NodeObject, WriteToSendsTheSubtreeAsADocumentOfItsOwn) {
    LateBound other = NewModel();
    ASSERT_EQ(Call(other, "LoadFromString",
                   {TextArgument("<!DOCTYPE top><top><a x='1'><b>text &amp; more</b><!--note-->"
                                 "<c/></a></top>")})
                  .code,
              S_OK);
    LateBound top =
        CallForObject(CallForObject(other, "GetRoot"), "GetChild", {IntegerArgument(0)});
    LateBound a = CallForObject(top, "GetChild", {IntegerArgument(0)});
    EarlyStream early;
    ScriptStream script;
    script.lookup = NameLookup::DispIdOnly;
    EXPECT_EQ(Call(a, "WriteTo", {ObjectArgument(&early)}).code, S_OK);
    EXPECT_EQ(Call(a, "WriteTo", {ObjectArgument(&script)}).code, S_OK);
    const std::string expected =
        kDeclaration +
        std::string("<a x=\"1\">\n<!--note-->   <b><![CDATA[text & more]]></b>\n   <c/>\n</a>\n");
    EXPECT_EQ(early.written, expected) << "declaration first, column 0, no document type";
    EXPECT_EQ(script.written, expected);

    EXPECT_EQ(Call(CallForObject(other, "GetRoot"), "WriteTo", {ObjectArgument(&early)}).code,
              E_FAIL)
        << "the root has no name";
    CallForObject(a, "AddChild", {TextArgument("")});
    EXPECT_EQ(Call(top, "WriteTo", {ObjectArgument(&script)}).code, E_FAIL)
        << "nor may a descendant";
    EarlyStream refusing;
    refusing.failWrites = true;
    EXPECT_EQ(Call(a, "WriteTo", {ObjectArgument(&refusing)}).code, E_FAIL);
    EXPECT_EQ(early.References() + script.References() + refusing.References(), 3u);
}

// A host may let go of the model, and with it the element's tree, inside the element's WriteTo
// (at the sink's first Write, the declaration): the subtree still goes out whole, as it was when
// the call began, and the node object is detached once it returns.
TEST_F(NodeObject, AModelReleasedDuringWriteToLetsTheWriteFinish) {
    EarlyStream whole;
    ASSERT_EQ(Call(doc, "WriteTo", {ObjectArgument(&whole)}).code, S_OK);
    for (const bool byInvoke : {false, true}) {
        SCOPED_TRACE(byInvoke);
        LateBound element = CallForObject(root, "GetChild", {IntegerArgument(0)});
        EarlyStream sink;
        sink.hostCode = [&] {
            doc.Reset();
            model.Reset();
        };
        const HRESULT answer = byInvoke ? element.Invoke(15, {ObjectArgument(&sink)})
                                        : As<IDispatchXMLModelNode>(element)->WriteTo(&sink);
        EXPECT_EQ(answer, S_OK);
        EXPECT_EQ(sink.written, whole.written);
        EXPECT_EQ(Call(element, "GetName").code, E_FAIL) << "detached once the model is gone";
        model = NewModel();
        ASSERT_EQ(Call(model, "LoadFromString", {TextArgument(kDocument)}).code, S_OK);
        root = CallForObject(model, "GetRoot");
    }
}

} // namespace
} // namespace Ostrel::Testing
