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

    // The text a fresh model saves for `xml`.
    static std::string SavedFrom(const std::string& xml) {
        LateBound other = NewModel();
        EXPECT_EQ(Call(other, "LoadFromString", {TextArgument(xml)}).code, S_OK);
        return Call(other, "SaveToString").Text();
    }

    LateBound model;
    LateBound root;
    LateBound doc;
};

TEST_F(NodeObject, TheSameElementComesBackAsTheSameObject) {
    LateBound first = CallForObject(doc, "GetChild", {IntegerArgument(0)});
    LateBound again = CallForObject(doc, "GetChild", {TextArgument("ITEM")});
    EXPECT_EQ(first.Get(), again.Get());
    EXPECT_EQ(CallForObject(doc, "GetParent").Get(), root.Get());
    EXPECT_EQ(CallForObject(first, "GetParent").Get(), doc.Get());

    const Outcome parentOfRoot = Call(root, "GetParent");
    EXPECT_EQ(parentOfRoot.code, S_OK);
    EXPECT_TRUE(parentOfRoot.value.vt == VT_EMPTY ||
                (parentOfRoot.value.vt == VT_DISPATCH && parentOfRoot.value.pdispVal == nullptr));

    EXPECT_EQ(Call(first, "SetText", {TextArgument("changed")}).code, S_OK);
    first.Reset();
    again.Reset();
    const LONG live = Ostrel::LiveObjectCount();
    LateBound fresh = CallForObject(doc, "GetChild", {IntegerArgument(0)});
    EXPECT_EQ(Ostrel::LiveObjectCount(), live + 1) << "a new object for the element";
    EXPECT_EQ(Call(fresh, "GetText").Text(), "changed");
}

TEST_F(NodeObject, ChildKeysAreIntegersOrNamesOnly) {
    IDispatchXMLModelNode* node = As<IDispatchXMLModelNode>(doc);
    LateBound numbered = CallForObject(doc, "AddChild", {TextArgument("0")});
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
    } cases[] = {{byReference, "two"},  {ByteArgument(2), "two"},   {TextArgument("0"), ""},
                 {signedByte, nullptr}, {RealArgument(0), nullptr}, {IntegerArgument(6), nullptr}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.key.vt);
        IDispatchXMLModelNode* child = reinterpret_cast<IDispatchXMLModelNode*>(0x1);
        VARIANT key = c.key;
        EXPECT_EQ(node->GetChild(&key, &child), c.text == nullptr ? E_FAIL : S_OK);
        if (c.text == nullptr) {
            EXPECT_EQ(child, nullptr);
        } else {
            LateBound found(child);
            EXPECT_EQ(Call(found, "GetText").Text(), c.text);
        }
        VariantClear(&key);
    }
    VARIANT zero = IntegerArgument(0);
    IDispatchXMLModelNode* child = nullptr;
    EXPECT_EQ(node->GetChild(nullptr, &child), E_FAIL);
    EXPECT_EQ(node->GetChild(&zero, nullptr), E_FAIL);
}

TEST_F(NodeObject, AttributeLookupsAnswerTheirOwnCodes) {
    IDispatchXMLModelNode* node = As<IDispatchXMLModelNode>(doc);
    const struct {
        VARIANT key;
        HRESULT answer;
        const char* value; // nullptr: the out is set to null; "": left alone
    } cases[] = {{ShortArgument(0), S_OK, "7"},
                 {TextArgument("ID"), S_OK, "7"},
                 {TextArgument("none"), S_FALSE, nullptr},
                 {IntegerArgument(2), E_INVALIDARG, nullptr},
                 {RealArgument(0), E_INVALIDARG, ""}};
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
    VARIANT variable = TextArgument("00123");
    Bstr string("1e3");
    BSTR stringVariable = string;
    struct {
        VARIANT value;
        const char* stored;
    } cases[] = {{Reference(VT_VARIANT, &variable), "00123"},
                 {Reference(VT_BSTR, &stringVariable), "1e3"},
                 {TextArgument("00123"), "00123"},
                 {TextArgument("1e3"), "1e3"},
                 {TextArgument(" 12 "), " 12 "},
                 {IntegerArgument(42), "42."},
                 {RealArgument(2.5), "2.5"},
                 {BoolArgument(true), "-1."}};
    LateBound leaf = CallForObject(doc, "GetChild", {TextArgument("leaf")});
    IDispatchXMLModelNode* early = As<IDispatchXMLModelNode>(leaf);
    for (auto& entry : cases) {
        SCOPED_TRACE(entry.stored);
        EXPECT_EQ(Call(doc, "SetText", {CopyOf(entry.value)}).code, S_OK);
        EXPECT_EQ(Call(doc, "GetText").Text(), entry.stored);
        const std::string name = "n" + std::to_string(&entry - cases);
        EXPECT_EQ(Call(leaf, "AddAttribute", {TextArgument(name), CopyOf(entry.value)}).code, S_OK);
        EXPECT_EQ(Call(leaf, "GetAttributeByName", {TextArgument(name)}).Text(), entry.stored);
        // An early-bound caller may hand over the by-reference variant itself.
        EXPECT_EQ(early->SetText(&entry.value), S_OK);
        EXPECT_EQ(Call(leaf, "GetText").Text(), entry.stored);
        VariantClear(&entry.value);
    }
    VariantClear(&variable);

    EXPECT_EQ(Call(leaf, "AddAttributeText", {TextArgument("t"), TextArgument("3")}).code, S_OK);
    EXPECT_EQ(Call(leaf, "AddAttribute", {IntegerArgument(5), TextArgument("five")}).code, S_OK);
    EXPECT_EQ(Call(leaf, "GetAttributeByName", {TextArgument("t")}).Text(), "3");
    EXPECT_EQ(Call(leaf, "GetAttributeByName", {TextArgument("5")}).Text(), "five");

    SAFEARRAYBOUND bound = {2, 0};
    VARIANT array;
    VariantInit(&array);
    array.vt = VT_ARRAY | VT_I4;
    array.parray = SafeArrayCreate(VT_I4, 1, &bound);
    VARIANT name = TextArgument("a");
    EXPECT_EQ(As<IDispatchXMLModelNode>(leaf)->SetText(&array), E_INVALIDARG)
        << "converts to nothing";
    EXPECT_EQ(As<IDispatchXMLModelNode>(leaf)->AddAttribute(&name, &array), E_INVALIDARG);
    EXPECT_EQ(As<IDispatchXMLModelNode>(leaf)->AddAttribute(nullptr, &name), E_FAIL);
    EXPECT_EQ(Call(leaf, "GetAttributeCount").value.lVal, 10) << "nothing added on failure";
    VariantClear(&array);
    VariantClear(&name);
}

// Equal names are kept while the collection is unsorted and refused once it is sorted: S_FALSE
// from AddAttribute, E_FAIL from AddAttributeText, and nothing added.
TEST_F(NodeObject, AttributeCollectionsRefuseOnlyOnceSorted) {
    EXPECT_EQ(Call(doc, "AddAttributeText", {TextArgument("id"), TextArgument("8")}).code, S_OK);
    EXPECT_EQ(Call(doc, "GetAttributeByName", {TextArgument("id")}).Text(), "7")
        << "the first entry";
    EXPECT_EQ(Call(doc, "AddAttributeText", {TextArgument("c"), TextArgument("3")}).code, S_OK);
    EXPECT_EQ(Call(doc, "AddAttributeText", {TextArgument("d"), TextArgument("4")}).code, S_OK);
    VARIANT name = TextArgument("b");
    VARIANT value = TextArgument("second");
    EXPECT_EQ(As<IDispatchXMLModelNode>(doc)->AddAttribute(&name, &value), S_FALSE)
        << "the sixth pair sorts the collection";
    const LONG count = Call(doc, "GetAttributeCount").value.lVal;
    EXPECT_EQ(Call(doc, "AddAttributeText", {TextArgument("C"), TextArgument("again")}).code,
              E_FAIL);
    EXPECT_EQ(Call(doc, "GetAttributeCount").value.lVal, count);
    EXPECT_EQ(Call(doc, "GetAttributeByName", {TextArgument("b")}).Text(), "x");
    EXPECT_EQ(Call(doc, "GetAttributeByName", {TextArgument("c")}).Text(), "3");
    VariantClear(&name);
    VariantClear(&value);
}

TEST_F(NodeObject, NullOutsAndDetachedObjectsFailAndTouchNothing) {
    IDispatchXMLModelNode* live = As<IDispatchXMLModelNode>(doc);
    VARIANT zero = IntegerArgument(0);
    EXPECT_EQ(live->GetText(nullptr), E_FAIL);
    EXPECT_EQ(live->AddChild(Bstr("x"), nullptr), E_FAIL);
    EXPECT_EQ(live->GetAttribute(&zero, nullptr), E_FAIL);
    EXPECT_EQ(Call(doc, "GetChildCount").value.lVal, 4) << "nothing was added";

    LateBound item = CallForObject(doc, "GetChild", {IntegerArgument(0)});
    ASSERT_EQ(Call(model, "Clear").code, S_OK);
    IDispatchXMLModelNode* node = As<IDispatchXMLModelNode>(item);
    BSTR text = reinterpret_cast<BSTR>(0x1);
    LONG count = -7;
    VARIANT_BOOL flag = 5;
    IDispatchXMLModelNode* other = reinterpret_cast<IDispatchXMLModelNode*>(0x1);
    VARIANT key = IntegerArgument(0);
    VARIANT value = TextArgument("v");
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
    LateBound other = NewModel();
    const std::string nested = "<a x=\"1\"><b>text &amp; more</b><!--note--><c/></a>";
    ASSERT_EQ(Call(other, "LoadFromString",
                   {TextArgument("<!DOCTYPE top><top><mid>" + nested + "</mid></top>")})
                  .code,
              S_OK);
    LateBound a = CallForObject(CallForObject(CallForObject(CallForObject(other, "GetRoot"),
                                                            "GetChild", {IntegerArgument(0)}),
                                              "GetChild", {IntegerArgument(0)}),
                                "GetChild", {IntegerArgument(0)});
    EarlyStream early;
    ScriptStream script;
    EXPECT_EQ(Call(a, "WriteTo", {ObjectArgument(&early)}).code, S_OK);
    EXPECT_EQ(Call(a, "WriteTo", {ObjectArgument(&script)}).code, S_OK);
    const std::string expected = SavedFrom(nested);
    EXPECT_EQ(expected.find("DOCTYPE"), std::string::npos);
    EXPECT_EQ(early.written, expected) << "declaration first, column 0, no document type";
    EXPECT_EQ(script.written, expected);

    LateBound otherRoot = CallForObject(other, "GetRoot");
    EXPECT_EQ(Call(otherRoot, "WriteTo", {ObjectArgument(&early)}).code, E_FAIL)
        << "the root has no name";
    ScriptStream unnamedSink;
    EXPECT_EQ(Call(CallForObject(a, "AddChild", {TextArgument("")}), "GetName").Text(), "");
    EXPECT_EQ(Call(a, "WriteTo", {ObjectArgument(&unnamedSink)}).code, E_FAIL)
        << "nor may a descendant";

    EarlyStream refusing;
    refusing.failWrites = true;
    EXPECT_EQ(Call(a, "WriteTo", {ObjectArgument(&refusing)}).code, E_FAIL);
    EXPECT_EQ(early.References() + script.References() + refusing.References(), 3u);
}

} // namespace
} // namespace Ostrel::Testing
