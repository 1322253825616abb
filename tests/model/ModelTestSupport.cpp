#include "ModelTestSupport.h"

#include "model/HExternalXMLModel.h"

#include <gtest/gtest.h>

namespace Ostrel {

const char kDeclaration[] = "<?xml version='1.0' encoding='UTF-8' ?>\n";

std::string Saved(XMLModel& model) {
    Text out;
    EXPECT_TRUE(model.SaveString(out));
    return out.c_str();
}

std::string PendingError(XMLModel& model) {
    Text message;
    model.Errors().GetError(message);
    return message.c_str();
}

std::string Picture(const XMLNode& node) {
    std::string picture = node.Name().c_str();
    picture += "[";
    const TaggedAttributes& attributes = node.Attributes();
    for (LONG i = 0; i < attributes.Count(); ++i) {
        picture += std::string(i == 0 ? "" : " ") + attributes.NameAt(i).c_str() + "='" +
                   attributes.ValueAt(i).c_str() + "'";
    }
    picture += "]\"" + std::string(node.GetText().c_str()) + "\"(";
    for (LONG i = 0; i < node.CommentCount(); ++i) {
        picture += std::string(i == 0 ? "" : " ") + node.CommentAt(i).c_str();
    }
    picture += "){";
    for (LONG i = 0; i < node.ChildCount(); ++i) {
        picture += (i == 0 ? "" : " ") + Picture(*node.ChildAt(i));
    }
    return picture + "}";
}

namespace {

void CollectNames(const XMLNode& node, std::vector<std::string>& names) {
    for (LONG i = 0; i < node.ChildCount(); ++i) {
        names.push_back(node.ChildAt(i)->Name().c_str());
        CollectNames(*node.ChildAt(i), names);
    }
}

} // namespace

std::vector<std::string> DocumentOrder(const XMLNode& root) {
    std::vector<std::string> names;
    CollectNames(root, names);
    return names;
}

void ExpectReloadedTree(const XMLNode& saved, const XMLNode& reloaded) {
    SCOPED_TRACE(std::string("element ") + saved.Name().c_str());
    EXPECT_EQ(reloaded.Name(), saved.Name());
    ASSERT_EQ(reloaded.Attributes().Count(), saved.Attributes().Count());
    for (LONG i = 0; i < saved.Attributes().Count(); ++i) {
        EXPECT_EQ(reloaded.Attributes().NameAt(i), saved.Attributes().NameAt(i));
        EXPECT_EQ(reloaded.Attributes().ValueAt(i), saved.Attributes().ValueAt(i));
    }
    ASSERT_EQ(reloaded.CommentCount(), saved.CommentCount());
    for (LONG i = 0; i < saved.CommentCount(); ++i) {
        EXPECT_EQ(reloaded.CommentAt(i), saved.CommentAt(i));
    }
    const std::string savedText = saved.GetText().c_str();
    const std::string reloadedText = reloaded.GetText().c_str();
    if (saved.ChildCount() == 0 && saved.CommentCount() == 0) {
        EXPECT_EQ(reloadedText, savedText);
    } else {
        EXPECT_EQ(reloadedText.substr(0, savedText.size()), savedText);
    }
    ASSERT_EQ(reloaded.ChildCount(), saved.ChildCount());
    for (LONG i = 0; i < saved.ChildCount(); ++i) {
        ExpectReloadedTree(*saved.ChildAt(i), *reloaded.ChildAt(i));
    }
}

LateBound NewModel() {
    auto* model = new HExternalXMLModel();
    model->AddRef();
    return LateBound(model);
}

} // namespace Ostrel
