#include "ModelTestSupport.h"
#include "pravell_idl.h"
#include "support/AutomationTest.h"
#include "support/HostStreams.h"
#include "support/LateBinding.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <fstream>
#include <string>

namespace Ostrel::Testing {
namespace {

using ModelObject = RegisteredTest;

// Every failure hands over its own message once; the compressed pair publishes nothing itself,
// so that a parse failure inside a container stays pending and goes out with the next failure.
TEST_F(ModelObject, FailuresHandOverTheirMessagesOnce) {
    ScratchDirectory scratch;
    LateBound model = NewModel();
    for (int attempt = 0; attempt < 2; ++attempt) {
        const Outcome failed = Call(model, "LoadFromString", {TextArgument("<doc><open></doc>")});
        EXPECT_EQ(failed.code, E_FAIL);
        EXPECT_EQ(failed.description, "XML Parse failed: mismatched tag (Line: 1, Column: 13)");
    }
    ASSERT_EQ(Call(model, "LoadFromString", {TextArgument("<doc/>")}).code, S_OK);
    const std::string before = Call(model, "SaveToString").Text();
    const std::string missing = scratch.Path() + "/missing.xml";
    const Outcome load = Call(model, "Load", {TextArgument(missing)});
    EXPECT_EQ(load.code, E_FAIL);
    EXPECT_EQ(load.description, "Failed to open file: " + missing);
    EXPECT_EQ(Call(model, "SaveToString").Text(), before)
        << "a file that does not open changes nothing";
    EXPECT_EQ(Call(model, "Save", {TextArgument("")}).description, "Failed to create file: ");

    const std::string container = scratch.Path() + "/cut.pxc";
    EXPECT_EQ(Call(model, "SaveCompressed", {TextArgument("")}).description, "");
    EXPECT_EQ(Call(model, "LoadCompressed", {TextArgument(container)}).description, "");
    ASSERT_EQ(Call(model, "SaveCompressed", {TextArgument(container)}).code, S_OK);
    const std::string bytes = ReadWholeFile(container);
    WriteWholeFile(container, bytes.substr(0, bytes.size() - 10));
    const Outcome cut = Call(model, "LoadCompressed", {TextArgument(container)});
    EXPECT_EQ(cut.code, E_FAIL);
    EXPECT_EQ(cut.description, "");
    EXPECT_EQ(Call(model, "Load", {TextArgument(missing)}).description,
              "XML Parse failed: there was an error streaming in dataFailed to open file: " +
                  missing);
}

// The model and its nodes offer error information for their own interface only.
TEST_F(ModelObject, ModelAndNodeOfferErrorInfoForTheirOwnInterface) {
    LateBound model = NewModel();
    LateBound root = CallForObject(model, "GetRoot");
    for (IDispatch* object : {model.Get(), root.Get()}) {
        void* found = nullptr;
        ASSERT_EQ(object->QueryInterface(IID_ISupportErrorInfo, &found), S_OK);
        auto* support = static_cast<ISupportErrorInfo*>(found);
        const bool isModel = object == model.Get();
        EXPECT_EQ(support->InterfaceSupportsErrorInfo(IID_IDispatchXMLModel),
                  isModel ? S_OK : S_FALSE);
        EXPECT_EQ(support->InterfaceSupportsErrorInfo(IID_IDispatchXMLModelNode),
                  isModel ? S_FALSE : S_OK);
        support->Release();
    }
    EXPECT_EQ(As<IDispatchXMLModel>(model)->SaveToString(nullptr), E_FAIL);
    EXPECT_EQ(As<IDispatchXMLModel>(model)->GetRoot(nullptr), E_FAIL);
}

// A script's byte stream carries every document of documents/ in and out byte for byte: each
// NAME.xml that loads saves as exactly NAME.saved, whether the stream is found by GetIDsOfNames
// or only by GetDispID. A document that ends with a whole piece ends at the stream's Null.
TEST_F(ModelObject, ScriptStreamsCarryDocumentsByteForByte) {
    const std::string directory = PRAVELL_TEST_DATA "/documents/";
    std::vector<std::string> documents;
    for (const std::string& document : CasesIn(directory, ".xml")) {
        if (!std::ifstream(document + ".error") && std::ifstream(document + ".saved")) {
            documents.push_back(document);
        }
    }
    EXPECT_GE(documents.size(), 15u);
    const std::string whole = "<r>" + std::string(19993, 'x') + "</r>";
    documents.push_back("");
    for (const std::string& document : documents) {
        SCOPED_TRACE(document);
        const bool made = document.empty();
        const std::string xml = made ? whole : ReadWholeFile(document + ".xml");
        const std::string saved =
            made ? kDeclaration + whole + "\n" : ReadWholeFile(document + ".saved");
        for (NameLookup lookup : {NameLookup::IDsOfNames, NameLookup::DispIdOnly}) {
            LateBound model = NewModel();
            ScriptStream source(xml);
            ScriptStream target;
            source.lookup = lookup;
            target.lookup = lookup;
            EXPECT_EQ(Call(model, "LoadFromTransfer", {ObjectArgument(&source)}).code, S_OK);
            EXPECT_EQ(source.nulls, made ? 1 : 0);
            EXPECT_EQ(Call(model, "SaveToTransfer", {ObjectArgument(&target)}).code, S_OK);
            EXPECT_EQ(target.written, saved);
            EXPECT_EQ(source.References() + target.References(), 2u);
        }
    }
}

// A host may let go of its last reference to the model inside the model's own call out to it (a
// stream's first Read or Write, reached through the interface or by Invoke): the call finishes
// whole on the model it started with, and the model goes when it returns.
TEST_F(ModelObject, AModelReleasedByItsOwnStreamFinishesTheCall) {
    std::string document = "<doc>";
    for (int i = 0; i < 50; ++i) {
        document += "<item n='" + std::to_string(i) + "'>text</item>";
    }
    document += "</doc>";
    LateBound reference = NewModel();
    ASSERT_EQ(Call(reference, "LoadFromString", {TextArgument(document)}).code, S_OK);
    const std::string saved = Call(reference, "SaveToString").Text();
    for (const bool byInvoke : {false, true}) {
        for (const bool saving : {false, true}) {
            SCOPED_TRACE(std::string(saving ? "save" : "load") + (byInvoke ? " by Invoke" : ""));
            LateBound model = NewModel();
            ASSERT_EQ(Call(model, "LoadFromString", {TextArgument(document)}).code, S_OK);
            EarlyStream stream;
            stream.source = document;
            stream.hostCode = [&] { model.Reset(); };
            auto* early = As<IDispatchXMLModel>(model);
            const HRESULT answer =
                byInvoke
                    ? model.Invoke(saving ? 6 : 5, {ObjectArgument(&stream)})
                    : (saving ? early->SaveToTransfer(&stream) : early->LoadFromTransfer(&stream));
            EXPECT_EQ(answer, S_OK);
            EXPECT_EQ(model.Get(), nullptr);
            EXPECT_EQ(stream.written, saving ? saved : "");
            EXPECT_EQ(stream.References(), 1u);
        }
    }
}

} // namespace
} // namespace Ostrel::Testing
