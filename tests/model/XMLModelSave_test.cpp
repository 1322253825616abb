#include "ModelTestSupport.h"
#include "model/XMLModel.h"
#include "support/FileTestSupport.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

namespace Ostrel {
namespace {

// A document element with a few of everything, `lines` children long.
void BuildSample(XMLModel& model, int lines) {
    XMLNode* doc = model.Root().CreateChild(Text("doc"));
    doc->AddAttribute(Text("id"), Text("1 & \"2\""));
    doc->SetText(Text("intro"));
    doc->AddComment(Text(" note "));
    for (int i = 0; i < lines; ++i) {
        XMLNode* line = doc->CreateChild(Text("line"));
        line->AddAttributeInteger(Text("n"), i);
        line->SetText(Text(i % 3 == 0 ? "a<b" : "text"));
    }
}

TEST(XMLModelSave, LayoutOfElementsTextsAndComments) {
    struct Case {
        const char* what;
        std::function<void(XMLNode&)> build;
        const char* saved;
    };
    const std::vector<Case> cases = {
        {"leaf with text and a comment",
         [](XMLNode& root) {
             XMLNode* a = root.CreateChild(Text("a"));
             a->SetText(Text("t"));
             a->AddComment(Text("c"));
         },
         "<a>t\n<!--c--></a>\n"},
        {"ampersand before children",
         [](XMLNode& root) {
             XMLNode* a = root.CreateChild(Text("a"));
             a->SetText(Text("x&y"));
             a->CreateChild(Text("b"));
         },
         "<a><![CDATA[x&y]]>\n   <b/>\n</a>\n"},
        {"comments stand before the children, whatever the order they were added in",
         [](XMLNode& root) {
             XMLNode* a = root.CreateChild(Text("a"));
             a->CreateChild(Text("b"));
             a->AddComment(Text("one"));
             a->AddComment(Text("two"));
         },
         "<a>\n<!--one--><!--two-->   <b/>\n</a>\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        XMLModel model;
        c.build(model.Root());
        EXPECT_EQ(Saved(model), kDeclaration + std::string(c.saved));
    }
}

TEST(XMLModelSave, ARefusedWriteStopsTheSaveAtOnce) {
    XMLModel model;
    BuildSample(model, 4);
    const std::string whole = Saved(model);
    const std::string tree = Picture(model.Root());
    for (size_t limit = 0; limit <= whole.size(); ++limit) {
        SCOPED_TRACE(limit);
        MemoryTransfer target;
        target.writeLimit = limit;
        const bool saved = model.SaveTransfer(target);
        EXPECT_EQ(saved, limit == whole.size());
        EXPECT_EQ(target.bytes, whole.substr(0, target.bytes.size()));
        EXPECT_EQ(target.refusedWrites, saved ? 0 : 1);
        EXPECT_FALSE(model.Errors().HasError()) << "a refused write records nothing";
        EXPECT_EQ(Picture(model.Root()), tree);
    }

    // An element without a name cannot be written: nothing would read "</>" back.
    model.Root().ChildAt(0)->ChildAt(2)->CreateChild(Text(""));
    Text out("kept");
    EXPECT_FALSE(model.SaveString(out));
    EXPECT_EQ(out, "kept");
    EXPECT_FALSE(model.Errors().HasError());
}

} // namespace
} // namespace Ostrel
