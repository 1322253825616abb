#include "ModelTestSupport.h"
#include "dispatch/CountedObject.h"
#include "support/AutomationTest.h"
#include "support/HostStreams.h"
#include "support/LateBinding.h"

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
}

TEST_F(NodeObject, ChildKeysAreIntegersOrNamesOnly) {
    IDispatchXMLModelNode* node = doc.As<IDispatchXMLModelNode>();
    Ref numbered = CallForObject(doc, "AddChild", {Str("0")});
    LONG two = 2;
    VARIANT byReference;
    VariantInit(&byReference);
    byReference.vt = VT_BYREF | VT_I4;
    byReference.plVal = &two;
    VARIANT signedByte;
    VariantInit(&signedByte);
    signedByte.vt = VT_I1;
    const struct {
        VARIANT key;
        const char* text; // of the child found; nullptr: none
    } cases[] = {{byReference, "two"},  {Byte(2), "two"},   {Str("0"), ""},
                 {signedByte, nullptr}, {Real(0), nullptr}, {Int(6), nullptr}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.key.vt);
        IDispatchXMLModelNode* child = reinterpret_cast<IDispatchXMLModelNode*>(0x1);
        VARIANT key = c.key;
        EXPECT_EQ(node->GetChild(&key, &child), c.text == nullptr ? E_FAIL : S_OK);
        if (c.text == nullptr) {
            EXPECT_EQ(child, nullptr);
        } else {
            Ref found(child);
            EXPECT_EQ(Call(found, "GetText").Text(), c.text);
        }
        VariantClear(&key);
    }
    VARIANT zero = Int(0);
    IDispatchXMLModelNode* child = nullptr;
    EXPECT_EQ(node->GetChild(nullptr, &child), E_FAIL);
    EXPECT_EQ(node->GetChild(&zero, nullptr), E_FAIL);
}

TEST_F(NodeObject, AttributeLookupsAnswerTheirOwnCodes) {
    IDispatchXMLModelNode* node = doc.As<IDispatchXMLModelNode>();
    const struct {
        VARIANT key;
        HRESULT answer;
        const char* value; // nullptr: the out is set to null; "": left alone
    } cases[] = {{Short(0), S_OK, "7"},
                 {Str("ID"), S_OK, "7"},
                 {Str("none"), S_FALSE, nullptr},
                 {Int(2), E_INVALIDARG, nullptr},
                 {Real(0), E_INVALIDARG, ""}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.key.vt);
        BSTR value = reinterpret_cast<BSTR>(0x1);
        VARIANT key = c.key;
        EXPECT_EQ(node->GetAttribute(&key, &value), c.answer);
        if (c.value == nullptr) {
            EXPECT_EQ(value, nullptr);
        } else if (*c.value == 0) {
            EXPECT_EQ(value, reinterpret_cast<BSTR>(0x1)) << "an unusable key leaves the out alone";
        } else {
            EXPECT_EQ(TakeUtf8(value), c.value);
        }
        VariantClear(&key);
    }
    BSTR value = reinterpret_cast<BSTR>(0x1);
    EXPECT_EQ(node->GetAttributeByName(Bstr("none"), &value), E_INVALIDARG);
    EXPECT_EQ(node->GetAttributeValue(2, &value), E_INVALIDARG);
    EXPECT_EQ(node->GetAttributeName(-1, &value), E_INVALIDARG);
    EXPECT_EQ(value, reinterpret_cast<BSTR>(0x1));
}

VARIANT Reference(VARTYPE type, void* target) {
    VARIANT reference;
    VariantInit(&reference);
    reference.vt = VT_BYREF | type;
    reference.byref = target;
    return reference;
}

VARIANT CopyOf(const VARIANT& value) {
    VARIANT copy;
    VariantInit(&copy);
    EXPECT_EQ(VariantCopy(&copy, &value), S_OK);
    return copy;
}

// Strings, however passed, are stored as they are; other values in their double form first.
TEST_F(NodeObject, StringsAreStoredAsTheyAreOtherValuesInTheirDoubleForm) {
    VARIANT variable = Str("00123");
    Bstr string("1e3");
    BSTR stringVariable = string;
    struct {
        VARIANT value;
        const char* stored;
    } cases[] = {{Reference(VT_VARIANT, &variable), "00123"},
                 {Reference(VT_BSTR, &stringVariable), "1e3"},
                 {Str("00123"), "00123"},
                 {Str("1e3"), "1e3"},
                 {Str(" 12 "), " 12 "},
                 {Int(42), "42."},
                 {Real(2.5), "2.5"},
                 {Bool(true), "-1."}};
    Ref leaf = CallForObject(doc, "GetChild", {Str("leaf")});
    IDispatchXMLModelNode* early = leaf.As<IDispatchXMLModelNode>();
    for (auto& entry : cases) {
        SCOPED_TRACE(entry.stored);
        EXPECT_EQ(Call(doc, "SetText", {CopyOf(entry.value)}).code, S_OK);
        EXPECT_EQ(Call(doc, "GetText").Text(), entry.stored);
        const std::string name = "n" + std::to_string(&entry - cases);
        EXPECT_EQ(Call(leaf, "AddAttribute", {Str(name), CopyOf(entry.value)}).code, S_OK);
        EXPECT_EQ(Call(leaf, "GetAttributeByName", {Str(name)}).Text(), entry.stored);
        // An early-bound caller may hand over the by-reference variant itself.
        EXPECT_EQ(early->SetText(&entry.value), S_OK);
        EXPECT_EQ(Call(leaf, "GetText").Text(), entry.stored);
        VariantClear(&entry.value);
    }
    VariantClear(&variable);

    EXPECT_EQ(Call(leaf, "AddAttributeText", {Str("t"), Str("3")}).code, S_OK);
    EXPECT_EQ(Call(leaf, "AddAttribute", {Int(5), Str("five")}).code, S_OK);
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
    EXPECT_EQ(leaf.As<IDispatchXMLModelNode>()->AddAttribute(&name, &array), E_INVALIDARG);
    EXPECT_EQ(leaf.As<IDispatchXMLModelNode>()->AddAttribute(nullptr, &name), E_FAIL);
    EXPECT_EQ(Call(leaf, "GetAttributeCount").value.lVal, 10) << "nothing added on failure";
    VariantClear(&array);
    VariantClear(&name);
}

// Equal names are kept while the collection is unsorted and refused once it is sorted: S_FALSE
// from AddAttribute, E_FAIL from AddAttributeText, and nothing added.
TEST_F(NodeObject, AttributeCollectionsRefuseOnlyOnceSorted) {
    EXPECT_EQ(Call(doc, "AddAttributeText", {Str("id"), Str("8")}).code, S_OK);
    EXPECT_EQ(Call(doc, "GetAttributeByName", {Str("id")}).Text(), "7") << "the first entry";
    EXPECT_EQ(Call(doc, "AddAttributeText", {Str("c"), Str("3")}).code, S_OK);
    EXPECT_EQ(Call(doc, "AddAttributeText", {Str("d"), Str("4")}).code, S_OK);
    VARIANT name = Str("b");
    VARIANT value = Str("second");
    EXPECT_EQ(doc.As<IDispatchXMLModelNode>()->AddAttribute(&name, &value), S_FALSE)
        << "the sixth pair sorts the collection";
    const LONG count = Call(doc, "GetAttributeCount").value.lVal;
    EXPECT_EQ(Call(doc, "AddAttributeText", {Str("C"), Str("again")}).code, E_FAIL);
    EXPECT_EQ(Call(doc, "GetAttributeCount").value.lVal, count);
    EXPECT_EQ(Call(doc, "GetAttributeByName", {Str("b")}).Text(), "x");
    EXPECT_EQ(Call(doc, "GetAttributeByName", {Str("c")}).Text(), "3");
    VariantClear(&name);
    VariantClear(&value);
}

TEST_F(NodeObject, NullOutsAndDetachedObjectsFailAndTouchNothing) {
    IDispatchXMLModelNode* live = doc.As<IDispatchXMLModelNode>();
    VARIANT zero = Int(0);
    EXPECT_EQ(live->GetText(nullptr), E_FAIL);
    EXPECT_EQ(live->AddChild(Bstr("x"), nullptr), E_FAIL);
    EXPECT_EQ(live->GetAttribute(&zero, nullptr), E_FAIL);
    EXPECT_EQ(Call(doc, "GetChildCount").value.lVal, 4) << "nothing was added";

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
    EXPECT_EQ(node->AddChild(name, &other), E_FAIL);
    EXPECT_EQ(node->SetText(&value), E_FAIL);
    EXPECT_EQ(node->GetChildCount(&count), E_FAIL);
    EXPECT_EQ(node->WriteTo(&sink), E_FAIL);
    EXPECT_EQ(node->HasAttribute(name, &flag), E_FAIL);
    EXPECT_EQ(text, reinterpret_cast<BSTR>(0x1));
    EXPECT_EQ(count, -7);
    EXPECT_EQ(flag, 5);
    EXPECT_EQ(other, reinterpret_cast<IDispatchXMLModelNode*>(0x1));
    EXPECT_EQ(sink.writes, 0);
    VariantClear(&value);
    SysFreeString(name);
    EXPECT_EQ(Call(root, "GetChildCount").value.lVal, 0) << "the root is only cleared";
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

    EarlyStream refusing;
    refusing.failWrites = true;
    EXPECT_EQ(Call(a, "WriteTo", {Obj(&refusing)}).code, E_FAIL);
    EXPECT_EQ(early.references + script.references + refusing.references, 3u);
}

} // namespace
} // namespace Ostrel::Testing
