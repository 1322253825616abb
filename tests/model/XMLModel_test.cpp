#include "ModelTestSupport.h"
#include "model/XMLModel.h"
#include "transfer/TextBufferDataTransfer.h"

#include <gtest/gtest.h>

#include <string>

namespace Ostrel {
namespace {

TEST(XMLModel, NewModelSavesOnlyTheDeclaration) {
    XMLModel model;
    EXPECT_EQ(model.Root().Name(), "Root");
    EXPECT_EQ(model.Root().ChildCount(), 0);
    EXPECT_EQ(Saved(model), kDeclaration);
}

TEST(XMLModel, ExampleDocumentIsSavedLineByLine) {
    XMLModel model;
    XMLNode* doc = model.Root().CreateChild(Text("doc"));
    doc->AddAttribute(Text("id"), Text("1"));
    doc->CreateChild(Text("item"))->SetText(Text("a<b"));
    XMLNode* note = doc->CreateChild(Text("note"));
    note->SetText(Text("t"));
    note->AddComment(Text("c"));
    note->CreateChild(Text("x"));
    EXPECT_EQ(Saved(model), std::string(kDeclaration) + "<doc id=\"1\">\n"
                                                        "   <item><![CDATA[a<b]]></item>\n"
                                                        "   <note>t\n"
                                                        "<!--c-->      <x/>\n"
                                                        "   </note>\n"
                                                        "</doc>\n");
}

TEST(XMLModel, LoadKeepsTheLastRunOfTextAndDropsBlankPieces) {
    XMLModel model;
    ASSERT_TRUE(model.LoadString(Text("<r>\n  <a>x<b/>y</a><c>x<!--k-->y</c><d>x<e/></d>"
                                      "<f>\n  x\n</f><g><![CDATA[<&>]]></g><h>&lt;</h></r>")));
    EXPECT_EQ(model.Root().Name(), "");
    const XMLNode* r = model.Root().ChildAt(0);
    ASSERT_NE(r, nullptr);
    EXPECT_EQ(r->GetText(), "") << "blank pieces before any text are dropped";
    EXPECT_EQ(r->FindChild(Text("a"))->GetText(), "y");
    EXPECT_EQ(r->FindChild(Text("A"))->ChildCount(), 1);
    EXPECT_EQ(r->FindChild(Text("c"))->GetText(), "y");
    EXPECT_EQ(r->FindChild(Text("c"))->CommentAt(0), "k");
    EXPECT_EQ(r->FindChild(Text("d"))->GetText(), "x");
    EXPECT_EQ(r->FindChild(Text("f"))->GetText(), "  x\n");
    EXPECT_EQ(r->FindChild(Text("g"))->GetText(), "<&>");
    EXPECT_EQ(r->FindChild(Text("h"))->GetText(), "<");
}

TEST(XMLModel, ManyAttributesAreSortedAndFewKeepTheirOrder) {
    XMLModel model;
    ASSERT_TRUE(model.LoadString(
        Text("<r><s g='7' f='6' e='5' d='4' c='3' b='2' a='1'/><k c='3' a='1' b='2' d='4'/></r>")));
    const XMLNode* r = model.Root().ChildAt(0);
    std::string sorted, kept;
    for (LONG i = 0; i < r->ChildAt(0)->Attributes().Count(); ++i) {
        sorted += r->ChildAt(0)->Attributes().NameAt(i).c_str();
    }
    for (LONG i = 0; i < r->ChildAt(1)->Attributes().Count(); ++i) {
        kept += r->ChildAt(1)->Attributes().NameAt(i).c_str();
    }
    EXPECT_EQ(sorted, "abcdefg");
    EXPECT_EQ(kept, "cabd");
}

TEST(XMLModel, MismatchedTagLeavesThePartialTreeAndItsMessage) {
    XMLModel model;
    EXPECT_FALSE(model.LoadString(Text("<a><b></a>")));
    EXPECT_EQ(PendingError(model), "XML Parse failed: mismatched tag (Line: 1, Column: 8)");
    const XMLNode* a = model.Root().ChildAt(0);
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(a->Name(), "a");
    EXPECT_EQ(a->ChildAt(0)->Name(), "b");

    model.Errors().ClearError();
    EXPECT_TRUE(model.LoadString(Text("<ok/>")));
    EXPECT_EQ(model.Root().ChildCount(), 1);
    EXPECT_EQ(model.Root().ChildAt(0)->Name(), "ok");
}

TEST(XMLModel, EmptySourceFailsForLackOfAnElement) {
    XMLModel model;
    TextBufferDataTransfer empty;
    EXPECT_FALSE(model.LoadTransfer(empty));
    EXPECT_EQ(PendingError(model), "XML Parse failed: no element found (Line: 1, Column: 0)");
}

TEST(XMLModel, DocumentTypeIsKeptAndSavedAfterTheDeclaration) {
    XMLModel model;
    ASSERT_TRUE(model.LoadString(Text("<?xml version='1.0'?>\n<!DOCTYPE note SYSTEM 'n.dtd' "
                                      "[<!ENTITY w 'world'>]>\n<note>hello &w;</note>")));
    EXPECT_EQ(Saved(model), std::string(kDeclaration) + "<!DOCTYPE note SYSTEM \"n.dtd\">\n"
                                                        "<note>hello world</note>\n");
    model.Clear();
    EXPECT_EQ(Saved(model), kDeclaration);
}

TEST(XMLModel, UnnamedElementFailsTheSave) {
    XMLModel model;
    model.Root().CreateChild(Text("a"))->CreateChild(Text(""));
    Text out("kept");
    EXPECT_FALSE(model.SaveString(out));
    EXPECT_EQ(out, "kept");
}

TEST(XMLModel, DeepDocumentsNeedNoRecursion) {
    // Far deeper than a recursive walk could go on the default stack.
    XMLModel model;
    XMLNode* node = &model.Root();
    for (int i = 0; i < 300000; ++i) {
        node = node->CreateChild(Text("d"));
    }
    model.Clear();
    EXPECT_EQ(model.Root().ChildCount(), 0);

    node = &model.Root();
    for (int i = 0; i < 3; ++i) {
        node = node->CreateChild(Text("d"));
    }
    node->SetText(Text("leaf"));
    EXPECT_EQ(Saved(model),
              std::string(kDeclaration) + "<d>\n   <d>\n      <d>leaf</d>\n   </d>\n</d>\n");
}

} // namespace
} // namespace Ostrel
