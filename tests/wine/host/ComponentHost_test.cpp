// A compiled host of the registered component, built for Windows and run under Wine: it creates
// both classes through the platform by their class identifiers, calls them early bound through
// their interfaces with a client and streams of its own (and a stand-in for a script's stream,
// called by name), and checks what the platform makes of the library: error information, the
// objects' answers to interface queries, and unloading when nothing holds it.
//
// The data suites hold the documents' UTF-8; the component hands text to a host through the
// ANSI code page, so a host sees each byte as one character of that page.
#include "host/AutomationText.h"
#include "pravell_idl.h"
#include "support/HostStreams.h"
#include "support/ParserClients.h"
#include "support/TestSupport.h"
#include "utils_idl.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

namespace Ostrel::Testing {
namespace {

const std::string kData = PRAVELL_TEST_DATA;

// Text as the host receives it: the bytes through the ANSI code page, written back as UTF-8.
std::string AsHostSees(const std::string& bytes) {
    const OleString wide = FromAnsi(bytes);
    return ToUtf8(wide.data(), static_cast<UINT>(wide.size()));
}

std::string WithCarriageReturns(const std::string& text) {
    std::string result;
    for (char c : text) {
        result += c == '\n' ? "\r\n" : std::string(1, c);
    }
    return result;
}

template <typename Interface>
Interface* Create(REFCLSID clsid, REFIID iid) {
    Interface* object = nullptr;
    EXPECT_EQ(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, iid,
                               reinterpret_cast<void**>(&object)),
              S_OK);
    return object;
}

// The description of the calling thread's error information, or "none".
std::string ErrorDescription() {
    IErrorInfo* info = nullptr;
    if (GetErrorInfo(0, &info) != S_OK || info == nullptr) {
        return "none";
    }
    BSTR description = nullptr;
    info->GetDescription(&description);
    info->Release();
    const std::string text = ToUtf8(description);
    SysFreeString(description);
    return text;
}

class ComponentHost : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(SUCCEEDED(CoInitialize(nullptr))); }
    void TearDown() override { CoUninitialize(); }
};

// Every events/NAME.xml gives the Linux build's log of NAME.events to an early-bound client,
// from the file and from a script's stream called by name.
TEST_F(ComponentHost, EveryDocumentGivesTheLinuxEventLog) {
    IDispatchXMLParser* parser =
        Create<IDispatchXMLParser>(CLSID_StreamingXMLParser, IID_IDispatchXMLParser);
    ASSERT_NE(parser, nullptr);
    const std::vector<std::string> documents = CasesIn(kData + "/events", ".xml");
    EXPECT_GE(documents.size(), 19u);
    for (const std::string& document : documents) {
        SCOPED_TRACE(document);
        const std::string expected = AsHostSees(ReadWholeFile(document + ".events"));
        const HRESULT answer = expected.find("\nParseError") == std::string::npos ? S_OK : E_FAIL;
        RecordingClient fromFile;
        EXPECT_EQ(parser->ParseFile(Bstr(document + ".xml"), &fromFile), answer);
        EXPECT_EQ(LogText(fromFile.events), expected);
        EXPECT_EQ(fromFile.References(), 1u) << "the parser keeps no reference to its client";

        ScriptStream stream(ReadWholeFile(document + ".xml"));
        RecordingClient fromStream;
        EXPECT_EQ(parser->ParseStream(&stream, &fromStream), answer);
        EXPECT_EQ(LogText(fromStream.events), expected);
    }
    EXPECT_EQ(parser->Release(), 0u);
}

// What a model saves reaches strings, files, early-bound sinks and script streams as exactly
// the bytes of NAME.saved (with CR LF line ends in a file), and loads back from each.
TEST_F(ComponentHost, SavedBytesAreExactWhereverTheyGo) {
    ScratchDirectory scratch;
    const std::string file = scratch.Path() + "\\saved.xml";
    const std::string container = scratch.Path() + "\\saved.pxc";
    for (const std::string& document : CasesIn(kData + "/documents", ".xml")) {
        if (std::filesystem::exists(document + ".error")) {
            continue;
        }
        SCOPED_TRACE(document);
        const std::string saved = ReadWholeFile(document + ".saved");
        IDispatchXMLModel* model = Create<IDispatchXMLModel>(CLSID_XMLModel, IID_IDispatchXMLModel);
        ASSERT_NE(model, nullptr);
        ASSERT_EQ(model->Load(Bstr(document + ".xml")), S_OK) << ErrorDescription();

        BSTR text = nullptr;
        EXPECT_EQ(model->SaveToString(&text), S_OK);
        EXPECT_EQ(ToUtf8(text), AsHostSees(saved));
        SysFreeString(text);

        EarlyStream early;
        EXPECT_EQ(model->SaveToTransfer(&early), S_OK);
        EXPECT_EQ(early.written, saved);
        EXPECT_EQ(early.writeType, VT_ARRAY | VT_I1) << "compiled hosts get signed bytes";
        ScriptStream script;
        EXPECT_EQ(model->SaveToTransfer(&script), S_OK);
        EXPECT_EQ(script.written, saved) << "a script's stream gets unsigned bytes by name";

        EXPECT_EQ(model->Save(Bstr(file)), S_OK);
        EXPECT_EQ(ReadWholeFile(file), WithCarriageReturns(saved));
        EXPECT_EQ(model->SaveCompressed(Bstr(container)), S_OK);
        EXPECT_EQ(model->LoadCompressed(Bstr(container)), S_OK);
        EXPECT_EQ(model->Load(Bstr(file)), S_OK);
        ScriptStream reloaded(ReadWholeFile(document + ".xml"));
        EXPECT_EQ(model->LoadFromTransfer(&reloaded), S_OK);
        EXPECT_EQ(reloaded.nulls, reloaded.source.size() % 10000 == 0 ? 1 : 0);
        ScriptStream again;
        EXPECT_EQ(model->SaveToTransfer(&again), S_OK);
        EXPECT_EQ(again.written, saved);
        EXPECT_EQ(model->Release(), 0u);
    }
}

// A failing operation hands its description to the platform's error information; the objects
// answer what they support and refuse the rest.
TEST_F(ComponentHost, FailuresCarryDescriptionsAndQueriesAnswerWhatIsThere) {
    IDispatchXMLModel* model = Create<IDispatchXMLModel>(CLSID_XMLModel, IID_IDispatchXMLModel);
    ASSERT_NE(model, nullptr);
    EXPECT_EQ(model->Load(Bstr("missing.xml")), E_FAIL);
    EXPECT_EQ(ErrorDescription(), "Failed to open file: missing.xml");
    EXPECT_EQ(model->LoadFromString(Bstr("<a>\n<b></a>")), E_FAIL);
    EXPECT_EQ(ErrorDescription(), "XML Parse failed: mismatched tag (Line: 2, Column: 5)");
    EXPECT_EQ(model->Save(Bstr("no\\such\\folder\\x.xml")), E_FAIL);
    EXPECT_EQ(ErrorDescription(), "Failed to create file: no\\such\\folder\\x.xml");

    ISupportErrorInfo* support = nullptr;
    ASSERT_EQ(model->QueryInterface(IID_ISupportErrorInfo, reinterpret_cast<void**>(&support)),
              S_OK);
    EXPECT_EQ(support->InterfaceSupportsErrorInfo(IID_IDispatchXMLModel), S_OK);
    EXPECT_EQ(support->InterfaceSupportsErrorInfo(IID_IDispatch), S_FALSE);
    support->Release();
    void* other = reinterpret_cast<void*>(1);
    EXPECT_EQ(model->QueryInterface(IID_IDispatchXMLParser, &other), E_FAIL);
    EXPECT_EQ(other, nullptr);

    IDispatchXMLModelNode* root = nullptr;
    ASSERT_EQ(model->GetRoot(&root), S_OK);
    IDispatchXMLModelNode* again = nullptr;
    ASSERT_EQ(model->GetRoot(&again), S_OK);
    EXPECT_EQ(root, again) << "one object a node";
    again->Release();
    IDispatch* dispatch = nullptr;
    ASSERT_EQ(root->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(&dispatch)), S_OK);
    EXPECT_EQ(static_cast<IUnknown*>(dispatch), static_cast<IUnknown*>(root));
    dispatch->Release();
    root->Release();
    EXPECT_EQ(model->Release(), 0u);

    IClassFactory* factory = nullptr;
    ASSERT_EQ(CoGetClassObject(CLSID_XMLModel, CLSCTX_INPROC_SERVER, nullptr, IID_IClassFactory,
                               reinterpret_cast<void**>(&factory)),
              S_OK);
    other = reinterpret_cast<void*>(1);
    EXPECT_EQ(factory->QueryInterface(IID_IDispatch, &other), E_NOINTERFACE);
    EXPECT_EQ(other, nullptr);
    other = reinterpret_cast<void*>(1);
    EXPECT_EQ(factory->CreateInstance(nullptr, IID_IPersist, &other), E_FAIL)
        << "the new object's own answer";
    EXPECT_EQ(other, nullptr);
    factory->Release();
}

// The platform unloads the library once DllCanUnloadNow allows it: never while a host holds one
// of its objects, a node after its model has gone included.
TEST_F(ComponentHost, TheLibraryUnloadsWhenNothingHoldsIt) {
    IDispatchXMLModel* model = Create<IDispatchXMLModel>(CLSID_XMLModel, IID_IDispatchXMLModel);
    ASSERT_NE(model, nullptr);
    ASSERT_EQ(model->LoadFromString(Bstr("<a><b/></a>")), S_OK);
    IDispatchXMLModelNode* root = nullptr;
    ASSERT_EQ(model->GetRoot(&root), S_OK);
    model->Release();
    CoFreeUnusedLibraries();
    EXPECT_NE(GetModuleHandleA("pravell.dll"), nullptr) << "a node still holds the library";
    BSTR name = nullptr;
    EXPECT_EQ(root->GetName(&name), E_FAIL) << "its model has gone";
    root->Release();
    CoFreeUnusedLibraries();
    EXPECT_EQ(GetModuleHandleA("pravell.dll"), nullptr);
}

} // namespace
} // namespace Ostrel::Testing
