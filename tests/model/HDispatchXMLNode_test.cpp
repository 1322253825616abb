#include "ModelTestSupport.h"
#include "server/CountedObject.h"
#include "support/AutomationTest.h"
#include "support/LateBinding.h"
#include "transfer/HostStreams.h"

#include <gtest/gtest.h>

#include <string>

namespace Ostrel::Testing {
namespace {

const std::string kDocument =
    "<doc id=\"7\" b=\"x\"><item>one</item><leaf/><item>two</item><Other k=\"v\"/></doc>";

class NodeObject : public RegisteredTest {
protected:
    void SetUp() override {
        RegisteredTest::SetUp();
        model = NewModel();
        ASSERT_EQ(Call(model, "LoadFromString", {Str(kDocument)}).code, S_OK);
        root = CallForObject(model, "GetRoot");
        doc = CallForObject(root, "GetChild", {Str("doc")});
    }
    void TearDown() override {
        doc.Reset();
        root.Reset();
        model.Reset();
        RegisteredTest::TearDown();
    }

    // The text a fresh model saves for `xml`.
    static std::string SavedFrom(const std::string& xml) {
        Ref other = NewModel();
        EXPECT_EQ(Call(other, "LoadFromString", {Str(xml)}).code, S_OK);
        return Call(other, "SaveToString").Text();
    }

    Ref model;
    Ref root;
    Ref doc;
};

TEST_F(NodeObject, TheSameElementComesBackAsTheSameObject) {
    Ref first = CallForObject(doc, "GetChild", {Int(0)});
    Ref again = CallForObject(doc, "GetChild", {Str("ITEM")});
    EXPECT_EQ(first.get(), again.get());
    EXPECT_EQ(CallForObject(doc, "GetParent").get(), root.get());
    EXPECT_EQ(CallForObject(first, "GetParent").get(), doc.get());

    const Outcome parentOfRoot = Call(root, "GetParent");
    EXPECT_EQ(parentOfRoot.code, S_OK);
    EXPECT_TRUE(parentOfRoot.value.vt == VT_EMPTY ||
                (parentOfRoot.value.vt == VT_DISPATCH && parentOfRoot.value.pdispVal == nullptr));

    EXPECT_EQ(Call(first, "SetText", {Str("changed")}).code, S_OK);
    first.Reset();
    again.Reset();
    const LONG live = Ostrel::LiveObjectCount();
    Ref fresh = CallForObject(doc, "GetChild", {Int(0)});
    EXPECT_EQ(Ostrel::LiveObjectCount(), live + 1) << "a new object for the element";
    EXPECT_EQ(Call(fresh, "GetText").Text(), "changed");

    Ref added = CallForObject(doc, "AddChild", {Str("new")});
    EXPECT_EQ(Call(doc, "GetChildCount").value.lVal, 5);
    EXPECT_EQ(CallForObject(doc, "GetChild", {Int(4)}).get(), added.get());
    EXPECT_EQ(Call(added, "SetName", {Str("")}).code, S_OK);
    EXPECT_EQ(Call(added, "GetName").Text(), "");
}

TEST_F(NodeObject, ChildKeysAreIntegersOrNamesOnly) {
    IDispatchXMLModelNode* child = reinterpret_cast<IDispatchXMLModelNode*>(0x1);
    Ref leaf = CallForObject(doc, "GetChild", {Int(1)});
    VARIANT zero = Int(0);
    EXPECT_EQ(leaf.As<IDispatchXMLModelNode>()->GetChild(&zero, &child), E_FAIL)
        << "a leaf has no child 0";
    EXPECT_EQ(child, nullptr);

    Ref numbered = CallForObject(doc, "AddChild", {Str("0")});
    VARIANT zeroName = Str("0");
    ASSERT_EQ(doc.As<IDispatchXMLModelNode>()->GetChild(&zeroName, &child), S_OK)
        << "\"0\" is a name";
    EXPECT_EQ(child, numbered.As<IDispatchXMLModelNode>());
    child->Release();
    VariantClear(&zeroName);

    LONG two = 2;
    VARIANT byReference;
    VariantInit(&byReference);
    byReference.vt = VT_BYREF | VT_I4;
    byReference.plVal = &two;
    VARIANT small = Short(2);
    VARIANT tiny = Byte(2);
    for (VARIANT* key : {&byReference, &small, &tiny}) {
        ASSERT_EQ(doc.As<IDispatchXMLModelNode>()->GetChild(key, &child), S_OK) << key->vt;
        Ref third(child);
        EXPECT_EQ(Call(third, "GetText").Text(), "two");
    }

    VARIANT signedByte;
    VariantInit(&signedByte);
    signedByte.vt = VT_I1;
    VARIANT real = Real(0);
    VARIANT negative = Int(-1);
    VARIANT tooFar = Int(5);
    for (VARIANT* key : {&signedByte, &real, &negative, &tooFar}) {
        child = reinterpret_cast<IDispatchXMLModelNode*>(0x1);
        EXPECT_EQ(doc.As<IDispatchXMLModelNode>()->GetChild(key, &child), E_FAIL) << key->vt;
        EXPECT_EQ(child, nullptr);
    }
    EXPECT_EQ(doc.As<IDispatchXMLModelNode>()->GetChild(nullptr, &child), E_FAIL);
    EXPECT_EQ(doc.As<IDispatchXMLModelNode>()->GetChild(&zero, nullptr), E_FAIL);
    EXPECT_EQ(Call(doc, "GetChild", {Str("missing")}).code, E_FAIL);
}

TEST_F(NodeObject, AttributeLookupsAnswerTheirOwnCodes) {
    BSTR value = reinterpret_cast<BSTR>(0x1);
    VARIANT first = Short(0);
    ASSERT_EQ(doc.As<IDispatchXMLModelNode>()->GetAttribute(&first, &value), S_OK);
    EXPECT_EQ(Utf8(value), "7");
    SysFreeString(value);
    VARIANT name = Str("ID");
    ASSERT_EQ(doc.As<IDispatchXMLModelNode>()->GetAttribute(&name, &value), S_OK)
        << "letter case is ignored";
    EXPECT_EQ(Utf8(value), "7");
    SysFreeString(value);
    VariantClear(&name);

    VARIANT absent = Str("none");
    value = reinterpret_cast<BSTR>(0x1);
    EXPECT_EQ(doc.As<IDispatchXMLModelNode>()->GetAttribute(&absent, &value), S_FALSE);
    EXPECT_EQ(value, nullptr);
    VariantClear(&absent);
    VARIANT outside = Int(2);
    value = reinterpret_cast<BSTR>(0x1);
    EXPECT_EQ(doc.As<IDispatchXMLModelNode>()->GetAttribute(&outside, &value), E_INVALIDARG);
    EXPECT_EQ(value, nullptr);
    VARIANT other = Real(0);
    value = reinterpret_cast<BSTR>(0x1);
    EXPECT_EQ(doc.As<IDispatchXMLModelNode>()->GetAttribute(&other, &value), E_INVALIDARG);
    EXPECT_EQ(value, reinterpret_cast<BSTR>(0x1)) << "an unusable key leaves the out alone";

    BSTR noneName = SysAllocString(u"none");
    EXPECT_EQ(doc.As<IDispatchXMLModelNode>()->GetAttributeByName(noneName, &value), E_INVALIDARG);
    EXPECT_EQ(doc.As<IDispatchXMLModelNode>()->GetAttributeValue(2, &value), E_INVALIDARG);
    EXPECT_EQ(doc.As<IDispatchXMLModelNode>()->GetAttributeName(-1, &value), E_INVALIDARG);
    EXPECT_EQ(value, reinterpret_cast<BSTR>(0x1));
    SysFreeString(noneName);
}

TEST_F(NodeObject, ValuesAreStoredInTheirDoubleFormFirst) {
    const struct {
        VARIANT value;
        const char* stored;
    } cases[] = {{Str("abc"), "abc"}, {Str("12"), "12."}, {Int(3), "3."},
                 {Bool(true), "-1."}, {Real(2.5), "2.5"}, {Byte(7), "7."}};
    for (const auto& entry : cases) {
        EXPECT_EQ(Call(doc, "SetText", {entry.value}).code, S_OK);
        EXPECT_EQ(Call(doc, "GetText").Text(), entry.stored);
    }

    Ref leaf = CallForObject(doc, "GetChild", {Str("leaf")});
    EXPECT_EQ(Call(leaf, "AddAttribute", {Str("n"), Int(3)}).code, S_OK);
    EXPECT_EQ(Call(leaf, "AddAttributeText", {Str("t"), Str("3")}).code, S_OK);
    EXPECT_EQ(Call(leaf, "AddAttribute", {Int(5), Str("five")}).code, S_OK);
    EXPECT_EQ(Call(leaf, "GetAttributeByName", {Str("n")}).Text(), "3.");
    EXPECT_EQ(Call(leaf, "GetAttributeByName", {Str("t")}).Text(), "3");
    EXPECT_EQ(Call(leaf, "GetAttributeByName", {Str("5")}).Text(), "five");

    SAFEARRAYBOUND bound = {2, 0};
    VARIANT array;
    VariantInit(&array);
    array.vt = VT_ARRAY | VT_I4;
    array.parray = SafeArrayCreate(VT_I4, 1, &bound);
    VARIANT name = Str("a");
    EXPECT_EQ(leaf.As<IDispatchXMLModelNode>()->SetText(&array), E_INVALIDARG)
        << "converts to nothing";
    EXPECT_EQ(leaf.As<IDispatchXMLModelNode>()->SetText(nullptr), E_INVALIDARG);
    EXPECT_EQ(leaf.As<IDispatchXMLModelNode>()->AddAttribute(&name, &array), E_INVALIDARG);
    EXPECT_EQ(leaf.As<IDispatchXMLModelNode>()->AddAttribute(&array, &name), E_INVALIDARG);
    EXPECT_EQ(leaf.As<IDispatchXMLModelNode>()->AddAttribute(&name, nullptr), E_INVALIDARG);
    EXPECT_EQ(leaf.As<IDispatchXMLModelNode>()->AddAttribute(nullptr, &name), E_FAIL);
    EXPECT_EQ(Call(leaf, "GetAttributeCount").value.lVal, 3) << "nothing added on failure";
    VariantClear(&array);
    VariantClear(&name);
}

TEST_F(NodeObject, AttributeCollectionsRefuseOnlyOnceSorted) {
    VARIANT name = Str("b");
    VARIANT value = Str("second");
    EXPECT_EQ(doc.As<IDispatchXMLModelNode>()->AddAttribute(&name, &value), S_OK)
        << "two attributes: no lookup";
    EXPECT_EQ(Call(doc, "AddAttributeText", {Str("id"), Str("8")}).code, S_OK);
    EXPECT_EQ(Call(doc, "GetAttributeCount").value.lVal, 4);
    EXPECT_EQ(Call(doc, "GetAttributeByName", {Str("b")}).Text(), "x") << "the first entry";

    EXPECT_EQ(Call(doc, "SetAttribute", {Str("ID"), Str("70")}).code, S_OK);
    EXPECT_EQ(Call(doc, "GetAttributeValue", {Int(0)}).Text(), "70") << "replaced in place";
    EXPECT_EQ(Call(doc, "AddAttributeText", {Str("c"), Str("3")}).code, S_OK);
    EXPECT_EQ(Call(doc, "AddAttributeText", {Str("d"), Str("4")}).code, S_OK);
    const LONG count = Call(doc, "GetAttributeCount").value.lVal;
    EXPECT_EQ(doc.As<IDispatchXMLModelNode>()->AddAttribute(&name, &value), S_FALSE)
        << "sorted: refused";
    EXPECT_EQ(Call(doc, "AddAttributeText", {Str("c"), Str("again")}).code, E_FAIL);
    EXPECT_EQ(Call(doc, "GetAttributeCount").value.lVal, count);
    EXPECT_EQ(Call(doc, "GetAttributeByName", {Str("c")}).Text(), "3");
    EXPECT_EQ(Call(doc, "SetAttribute", {Str("c"), Str("33")}).code, S_OK);
    EXPECT_EQ(Call(doc, "GetAttributeByName", {Str("c")}).Text(), "33");
    VariantClear(&name);
    VariantClear(&value);
}

TEST_F(NodeObject, ADetachedObjectFailsEverythingAndTouchesNoOutParameter) {
    Ref item = CallForObject(doc, "GetChild", {Int(0)});
    ASSERT_EQ(Call(model, "Clear").code, S_OK);
    IDispatchXMLModelNode* node = item.As<IDispatchXMLModelNode>();
    BSTR text = reinterpret_cast<BSTR>(0x1);
    LONG count = -7;
    VARIANT_BOOL flag = 5;
    IDispatchXMLModelNode* other = reinterpret_cast<IDispatchXMLModelNode*>(0x1);
    VARIANT key = Int(0);
    VARIANT value = Str("v");
    BSTR name = SysAllocString(u"name");
    ScriptStream sink;
    EXPECT_EQ(node->AddAttribute(&value, &value), E_FAIL);
    EXPECT_EQ(node->GetAttribute(&key, &text), E_FAIL);
    EXPECT_EQ(node->AddAttributeText(name, name), E_FAIL);
    EXPECT_EQ(node->AddChild(name, &other), E_FAIL);
    EXPECT_EQ(node->SetName(name), E_FAIL);
    EXPECT_EQ(node->GetName(&text), E_FAIL);
    EXPECT_EQ(node->SetText(&value), E_FAIL);
    EXPECT_EQ(node->GetText(&text), E_FAIL);
    EXPECT_EQ(node->GetChildCount(&count), E_FAIL);
    EXPECT_EQ(node->GetChild(&key, &other), E_FAIL);
    EXPECT_EQ(node->GetAttributeValue(0, &text), E_FAIL);
    EXPECT_EQ(node->GetAttributeName(0, &text), E_FAIL);
    EXPECT_EQ(node->GetAttributeByName(name, &text), E_FAIL);
    EXPECT_EQ(node->GetAttributeCount(&count), E_FAIL);
    EXPECT_EQ(node->WriteTo(&sink), E_FAIL);
    EXPECT_EQ(node->GetParent(&other), E_FAIL);
    EXPECT_EQ(node->HasAttribute(name, &flag), E_FAIL);
    EXPECT_EQ(node->SetAttribute(name, name), E_FAIL);
    EXPECT_EQ(text, reinterpret_cast<BSTR>(0x1));
    EXPECT_EQ(count, -7);
    EXPECT_EQ(flag, 5);
    EXPECT_EQ(other, reinterpret_cast<IDispatchXMLModelNode*>(0x1));
    EXPECT_EQ(sink.writes, 0);
    VariantClear(&value);
    SysFreeString(name);
    EXPECT_EQ(Call(root, "GetChildCount").value.lVal, 0) << "the root is only cleared";
}

TEST_F(NodeObject, NullOutParametersFail) {
    IDispatchXMLModelNode* node = doc.As<IDispatchXMLModelNode>();
    BSTR name = SysAllocString(u"id");
    EXPECT_EQ(node->GetName(nullptr), E_FAIL);
    EXPECT_EQ(node->GetText(nullptr), E_FAIL);
    EXPECT_EQ(node->GetChildCount(nullptr), E_FAIL);
    EXPECT_EQ(node->GetAttributeCount(nullptr), E_FAIL);
    EXPECT_EQ(node->GetAttributeValue(0, nullptr), E_FAIL);
    EXPECT_EQ(node->GetAttributeName(0, nullptr), E_FAIL);
    EXPECT_EQ(node->GetAttributeByName(name, nullptr), E_FAIL);
    EXPECT_EQ(node->HasAttribute(name, nullptr), E_FAIL);
    EXPECT_EQ(node->GetParent(nullptr), E_FAIL);
    EXPECT_EQ(node->AddChild(name, nullptr), E_FAIL);
    VARIANT key = Int(0);
    EXPECT_EQ(node->GetAttribute(&key, nullptr), E_FAIL);
    EXPECT_EQ(node->GetAttribute(nullptr, nullptr), E_FAIL);
    SysFreeString(name);
    EXPECT_EQ(Call(doc, "GetChildCount").value.lVal, 4) << "nothing was added";
}

TEST_F(NodeObject, WriteToSendsTheSubtreeAsADocumentOfItsOwn) {
    Ref other = NewModel();
    const std::string nested = "<a x=\"1\"><b>text &amp; more</b><!--note--><c/></a>";
    ASSERT_EQ(
        Call(other, "LoadFromString", {Str("<!DOCTYPE top><top><mid>" + nested + "</mid></top>")})
            .code,
        S_OK);
    Ref a = CallForObject(
        CallForObject(CallForObject(CallForObject(other, "GetRoot"), "GetChild", {Int(0)}),
                      "GetChild", {Int(0)}),
        "GetChild", {Int(0)});
    EarlyStream early;
    ScriptStream script;
    EXPECT_EQ(Call(a, "WriteTo", {Obj(&early)}).code, S_OK);
    EXPECT_EQ(Call(a, "WriteTo", {Obj(&script)}).code, S_OK);
    const std::string expected = SavedFrom(nested);
    EXPECT_EQ(expected.find("DOCTYPE"), std::string::npos);
    EXPECT_EQ(early.written, expected) << "declaration first, column 0, no document type";
    EXPECT_EQ(script.written, expected);

    Ref otherRoot = CallForObject(other, "GetRoot");
    EXPECT_EQ(Call(otherRoot, "WriteTo", {Obj(&early)}).code, E_FAIL) << "the root has no name";
    ScriptStream unnamedSink;
    EXPECT_EQ(Call(CallForObject(a, "AddChild", {Str("")}), "GetName").Text(), "");
    EXPECT_EQ(Call(a, "WriteTo", {Obj(&unnamedSink)}).code, E_FAIL) << "nor may a descendant";
    Ref fresh = NewModel();
    ScriptStream rootSink;
    EXPECT_EQ(Call(CallForObject(fresh, "GetRoot"), "WriteTo", {Obj(&rootSink)}).code, S_OK);
    EXPECT_EQ(rootSink.written, SavedFrom("<Root/>"));

    EarlyStream refusing;
    refusing.failWrites = true;
    EXPECT_EQ(Call(a, "WriteTo", {Obj(&refusing)}).code, E_FAIL);
    ScriptStream stranger;
    stranger.knowsNames = false;
    EXPECT_EQ(Call(a, "WriteTo", {Obj(&stranger)}).code, E_FAIL);
    EXPECT_EQ(Call(a, "WriteTo", {Obj(nullptr)}).code, E_FAIL);
    EXPECT_EQ(early.references + script.references + refusing.references, 3u);
}

} // namespace
} // namespace Ostrel::Testing
