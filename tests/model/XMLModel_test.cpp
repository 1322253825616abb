#include "ModelTestSupport.h"
#include "model/XMLModel.h"

#include <gtest/gtest.h>

#include <string>

namespace Ostrel {
namespace {

TEST(XMLModel, ClearEmptiesTheTreeButKeepsHeaderAndMessages) {
    XMLModel model;
    EXPECT_EQ(Picture(model.Root()), "Root[]\"\"(){}");
    EXPECT_EQ(Saved(model), kDeclaration);

    EXPECT_FALSE(model.LoadString(Text("<a x='1'>text<!--c--><b/>")));
    const std::string message = PendingError(model);
    model.Clear();
    EXPECT_EQ(Picture(model.Root()), "[]\"\"(){}");
    EXPECT_EQ(Saved(model), kDeclaration);
    EXPECT_EQ(PendingError(model), message);
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
}

} // namespace
} // namespace Ostrel
