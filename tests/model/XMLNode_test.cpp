#include "ModelTestSupport.h"
#include "model/XMLModel.h"
#include "model/XMLNode.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

namespace Ostrel {
namespace {

std::string AttributeNames(const XMLNode& node) {
    std::string names;
    for (LONG i = 0; i < node.Attributes().Count(); ++i) {
        names += node.Attributes().NameAt(i).c_str();
    }
    return names;
}

void AddAttributes(XMLNode& node, const char* names) {
    for (const char* name = names; *name != 0; ++name) {
        EXPECT_TRUE(node.AddAttribute(Text(name, 1), Text(name, 1)));
    }
}

// What a node object is to its node: something with a pointer to the node that the node clears
// when it goes.
struct StandInNodeObject {
    XMLNode* node;
};

void Link(XMLNode& node, StandInNodeObject& object) {
    object.node = &node;
    node.LinkWrapper(reinterpret_cast<HDispatchXMLNode*>(&object), &object.node);
}

TEST(XMLNode, SetAttributeReplacesInPlaceOrAdds) {
    XMLModel model;
    XMLNode* few = model.Root().CreateChild(Text("few"));
    AddAttributes(*few, "cab");
    EXPECT_TRUE(few->AddAttribute(Text("a"), Text("duplicate")));
    EXPECT_TRUE(few->SetAttribute(Text("A"), Text("new")));
    EXPECT_EQ(AttributeNames(*few), "caba");
    EXPECT_EQ(few->Attributes().ValueAt(1), "new") << "the first of two entries is replaced";
    EXPECT_EQ(few->Attributes().ValueAt(3), "duplicate");
    EXPECT_EQ(few->Attributes().NameAt(1), "a") << "the entry keeps its own name";
    EXPECT_TRUE(few->SetAttribute(Text("z"), Text("added")));
    EXPECT_EQ(AttributeNames(*few), "cabaz");

    XMLNode* many = model.Root().CreateChild(Text("many"));
    AddAttributes(*many, "fedcba");
    EXPECT_TRUE(many->SetAttribute(Text("D"), Text("new")));
    EXPECT_TRUE(many->SetAttribute(Text("bb"), Text("added")));
    EXPECT_EQ(AttributeNames(*many), "abbbcdef");
    LONG index = -1;
    EXPECT_TRUE(many->FindAttribute(Text("d"), &index));
    EXPECT_EQ(many->Attributes().ValueAt(index), "new");

    index = 77;
    EXPECT_FALSE(many->FindAttribute(Text("g"), &index));
    EXPECT_FALSE(few->FindAttribute(Text("g"), &index));
    EXPECT_EQ(index, 77);
}

TEST(XMLNode, ClearNodeEmptiesEverythingButParentAndLink) {
    XMLModel model;
    XMLNode* node = model.Root().CreateChild(Text("e"));
    node->SetText(Text("text"));
    node->AddComment(Text("one"));
    node->AddComment(Text("two"));
    AddAttributes(*node, "abcdefg");
    StandInNodeObject grandchildObject{};
    Link(*node->CreateChild(Text("c"))->CreateChild(Text("g")), grandchildObject);
    StandInNodeObject object{};
    Link(*node, object);

    EXPECT_EQ(node->CommentCount(), 2);
    EXPECT_EQ(node->CommentAt(1), "two");
    node->ClearNode();
    EXPECT_EQ(Picture(*node), "[]\"\"(){}");
    EXPECT_EQ(node->Parent(), &model.Root());
    EXPECT_EQ(grandchildObject.node, nullptr);
    EXPECT_EQ(object.node, node);
    EXPECT_EQ(node->ExistingWrapper(), reinterpret_cast<HDispatchXMLNode*>(&object));

    // A cleared node is as good as new.
    AddAttributes(*node, "cab");
    node->AddComment(Text("again"));
    node->CreateChild(Text("x"));
    EXPECT_EQ(Picture(*node), "[c='c' a='a' b='b']\"\"(again){x[]\"\"(){}}");
}

TEST(XMLNode, DestructionDetachesNodeObjects) {
    StandInNodeObject rootObject{}, childObject{}, deepObject{};
    auto model = std::make_unique<XMLModel>();
    Link(model->Root(), rootObject);
    XMLNode* child = model->Root().CreateChild(Text("child"));
    Link(*child, childObject);
    Link(*child->CreateChild(Text("a"))->CreateChild(Text("b")), deepObject);

    model->Clear();
    EXPECT_EQ(childObject.node, nullptr);
    EXPECT_EQ(deepObject.node, nullptr);
    EXPECT_EQ(rootObject.node, &model->Root()) << "the root is only emptied";

    Link(*model->Root().CreateChild(Text("next")), childObject);
    ASSERT_TRUE(model->LoadString(Text("<doc/>")));
    EXPECT_EQ(childObject.node, nullptr) << "a load destroys the previous document";
    EXPECT_EQ(rootObject.node, &model->Root());

    Link(*model->Root().ChildAt(0), childObject);
    model.reset();
    EXPECT_EQ(childObject.node, nullptr);
    EXPECT_EQ(rootObject.node, nullptr);

    // Under the address sanitizer a write through a link given up would be reported here.
    XMLModel other;
    XMLNode* node = other.Root().CreateChild(Text("e"));
    auto gone = std::make_unique<StandInNodeObject>();
    Link(*node, *gone);
    node->UnlinkWrapper();
    gone.reset();
    EXPECT_EQ(node->ExistingWrapper(), nullptr);
    other.Clear();
}

} // namespace
} // namespace Ostrel
