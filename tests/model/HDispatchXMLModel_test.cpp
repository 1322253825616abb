#include "ModelTestSupport.h"
#include "model/XMLModel.h"
#include "pravell_idl.h"
#include "support/AutomationTest.h"
#include "support/LateBinding.h"
#include "transfer/DataFile.h"
#include "transfer/StreamCompression.h"

#include <gtest/gtest.h>

#include <string>

namespace Ostrel::Testing {
namespace {

const std::string kDocument = "<doc a=\"1\"><item>one</item><item>two</item></doc>";

class ModelObject : public RegisteredTest {
protected:
    std::string SavedText(IDispatch* model) {
        const Outcome saved = Call(model, "SaveToString");
        EXPECT_EQ(saved.code, S_OK) << saved.description;
        return saved.Text();
    }

    // A container file whose blocks are sound but whose document is cut short.
    std::string MalformedContainer() {
        const std::string path = scratch.Path() + "/cut.pxc";
        DataFile file{Text(path.c_str())};
        EXPECT_TRUE(file.Create());
        {
            StreamCompression stream(&file, XMLModel::kContainerBlockSize);
            EXPECT_TRUE(stream.Write("<doc><item>", 11));
            EXPECT_TRUE(stream.Finish());
        }
        EXPECT_TRUE(file.Commit());
        return path;
    }

    ScratchDirectory scratch;
};

TEST_F(ModelObject, RootObjectStaysWhileLoadsClearAndReleaseDetachTheElements) {
    LateBound model = NewModel();
    LateBound root = CallForObject(model, "GetRoot");
    EXPECT_EQ(Call(model, "LoadFromString", {TextArgument(kDocument)}).code, S_OK);
    LateBound again = CallForObject(model, "GetRoot");
    EXPECT_EQ(again.Get(), root.Get()) << "the root keeps its object across a load";
    LateBound doc = CallForObject(root, "GetChild", {IntegerArgument(0)});

    EXPECT_EQ(Call(model, "Clear").code, S_OK);
    EXPECT_EQ(Call(doc, "GetName").code, E_FAIL) << "the element is gone";
    EXPECT_EQ(Call(root, "GetChildCount").value.lVal, 0) << "the root still works";

    EXPECT_EQ(Call(model, "LoadFromString", {TextArgument(kDocument)}).code, S_OK);
    EXPECT_EQ(Call(doc, "GetChildCount").code, E_FAIL) << "a detached object stays detached";

    LateBound item = CallForObject(CallForObject(root, "GetChild", {TextArgument("doc")}),
                                   "GetChild", {IntegerArgument(1)});
    model.Reset();
    EXPECT_EQ(Call(item, "GetText").code, E_FAIL);
    EXPECT_EQ(Call(root, "AddChild", {TextArgument("x")}).code, E_FAIL)
        << "the root goes with its model";
}

TEST_F(ModelObject, EachFailedLoadHandsOverItsOwnMessage) {
    LateBound model = NewModel();
    ASSERT_EQ(Call(model, "LoadFromString", {TextArgument(kDocument)}).code, S_OK);
    for (int attempt = 0; attempt < 2; ++attempt) {
        const Outcome failed = Call(model, "LoadFromString", {TextArgument("<doc><open></doc>")});
        EXPECT_EQ(failed.code, E_FAIL);
        EXPECT_EQ(failed.description.rfind("XML Parse failed: ", 0), 0u) << failed.description;
        EXPECT_NE(failed.description.find("(Line: 1, Column: "), std::string::npos);
        EXPECT_EQ(failed.description.find("XML Parse failed", 1), std::string::npos)
            << "only this call's message: " << failed.description;
    }

    ASSERT_EQ(Call(model, "LoadFromString", {TextArgument(kDocument)}).code, S_OK);
    const std::string before = SavedText(model);
    const std::string missing = scratch.Path() + "/missing.xml";
    const Outcome load = Call(model, "Load", {TextArgument(missing)});
    EXPECT_EQ(load.code, E_FAIL);
    EXPECT_EQ(load.description, "Failed to open file: " + missing);
    EXPECT_EQ(SavedText(model), before) << "a file that does not open leaves the document";
    EXPECT_EQ(Call(model, "Save", {TextArgument("")}).description, "Failed to create file: ");
}

// Container failures publish nothing themselves: a parse failure inside a sound container stays
// pending and goes out with the next failure.
TEST_F(ModelObject, TheCompressedPairPublishesNothing) {
    LateBound model = NewModel();
    const Outcome missing =
        Call(model, "LoadCompressed", {TextArgument(scratch.Path() + "/none.pxc")});
    EXPECT_EQ(missing.code, E_FAIL);
    EXPECT_EQ(missing.description, "");
    EXPECT_EQ(Call(model, "SaveCompressed", {TextArgument("")}).code, E_FAIL);

    const Outcome cut = Call(model, "LoadCompressed", {TextArgument(MalformedContainer())});
    EXPECT_EQ(cut.code, E_FAIL);
    EXPECT_EQ(cut.description, "") << "the parse message stays pending";
    const std::string absent = scratch.Path() + "/absent.xml";
    const Outcome next = Call(model, "Load", {TextArgument(absent)});
    EXPECT_EQ(next.code, E_FAIL);
    const std::string tail = "Failed to open file: " + absent;
    EXPECT_EQ(next.description.rfind("XML Parse failed: ", 0), 0u) << next.description;
    EXPECT_EQ(next.description.find("Failed to open file"), next.description.size() - tail.size())
        << "both failures in one hand-over: " << next.description;
}

// The model and its nodes offer error information for their own interface only, and refuse
// null out parameters.
TEST_F(ModelObject, ModelAndNodeOfferErrorInfoForTheirOwnInterface) {
    LateBound model = NewModel();
    LateBound root = CallForObject(model, "GetRoot");
    const struct {
        IDispatch* object;
        const IID& own;
        const IID& other;
    } objects[] = {{model, IID_IDispatchXMLModel, IID_IDispatchXMLModelNode},
                   {root, IID_IDispatchXMLModelNode, IID_IDispatchXMLModel}};
    for (const auto& entry : objects) {
        void* found = nullptr;
        ASSERT_EQ(entry.object->QueryInterface(IID_ISupportErrorInfo, &found), S_OK);
        auto* support = static_cast<ISupportErrorInfo*>(found);
        EXPECT_EQ(support->InterfaceSupportsErrorInfo(entry.own), S_OK);
        EXPECT_EQ(support->InterfaceSupportsErrorInfo(entry.other), S_FALSE);
        support->Release();
    }
    EXPECT_EQ(As<IDispatchXMLModel>(model)->SaveToString(nullptr), E_FAIL);
    EXPECT_EQ(As<IDispatchXMLModel>(model)->GetRoot(nullptr), E_FAIL);
}

} // namespace
} // namespace Ostrel::Testing
