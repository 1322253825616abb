// The component library seen from outside: registered by an installer, activated by a host
// through the platform, called by late binding, and unloaded when nothing holds it.
#include "LoadedComponent.h"
#include "platform/com.h"
#include "pravell_idl.h"
#include "support/CountingObject.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>
#include <vector>

namespace {

using Ostrel::Testing::CountedDispatch;
using Keys = std::map<std::string, std::vector<std::string>>;

const std::string parserKey = "CLSID\\{383E79E8-41E0-4C05-808E-7D9CEF73BF8C}";
const std::string modelKey = "CLSID\\{4F8D6B61-FE7A-4364-A002-4AC12BCD31B3}";
const std::string mainLibraryKey = "TypeLib\\{61BF654C-EAE8-4700-9248-B1CCA0C792F8}";
const std::string utilsLibraryKey = "TypeLib\\{4912BE5F-26CC-42B3-A464-43445DB0E09F}";
const std::string mainLibraryValue = "@=\"{61BF654C-EAE8-4700-9248-B1CCA0C792F8}\"";

std::string Quoted(const std::string& text) {
    return "@=\"" + text + "\"";
}

// The six keys of each class and nothing else, the class found beside `modulePath`.
Keys ExpectedClassKeys(const std::string& modulePath) {
    return {
        {parserKey, {Quoted("Corvantis Streaming XML Parser")}},
        {parserKey + "\\InProcServer32", {Quoted(modulePath)}},
        {parserKey + "\\TypeLib", {mainLibraryValue}},
        {parserKey + "\\ProgID", {Quoted("Corvantis.StreamingXMLParser")}},
        {"Corvantis.StreamingXMLParser", {Quoted("Corvantis Streaming XML Parser")}},
        {"Corvantis.StreamingXMLParser\\CLSID", {Quoted("{383E79E8-41E0-4C05-808E-7D9CEF73BF8C}")}},
        {modelKey, {Quoted("Corvantis XML Model")}},
        {modelKey + "\\InProcServer32", {Quoted(modulePath)}},
        {modelKey + "\\TypeLib", {mainLibraryValue}},
        {modelKey + "\\ProgID", {Quoted("Corvantis.XMLModel")}},
        {"Corvantis.XMLModel", {Quoted("Corvantis XML Model")}},
        {"Corvantis.XMLModel\\CLSID", {Quoted("{4F8D6B61-FE7A-4364-A002-4AC12BCD31B3}")}},
    };
}

// "../" up to the root and down again: a relative name that reaches `target` from `directory`.
std::string RelativeName(const std::string& directory, const std::string& target) {
    std::string name;
    for (char c : directory) {
        if (c == '/') {
            name += "../";
        }
    }
    return name + target.substr(1);
}

// Creates nested directories below `base` until the path is longer than `length`.
std::string DeepDirectory(const std::string& base, size_t length) {
    std::string path = base;
    while (path.size() <= length) {
        path += "/a-rather-long-directory-name-for-a-module";
        mkdir(path.c_str(), 0700);
    }
    return path + "/";
}

class ComponentHost : public testing::Test {
protected:
    void TearDown() override {
        CoFreeUnusedLibraries();
        EXPECT_FALSE(LibraryLoaded(PRAVELL_COMPONENT)) << "every test releases what it made";
    }

    Keys ClassKeys() const {
        return RegistryKeys(registry.Path(), {parserKey, modelKey, "Corvantis."});
    }
    Keys Registered(const std::string& prefix) const {
        return RegistryKeys(registry.Path(), {prefix});
    }
    std::string TypeLibraryFile(const std::string& libraryKey) const {
        const auto values = Registered(libraryKey)[libraryKey + "\\1.0\\0\\win32"];
        return values.size() == 1 ? values[0] : std::string();
    }

    PrivateRegistry registry;
    ScratchDirectory scratch;
    const std::string binDirectory = RealPath(PRAVELL_BIN_DIR) + "/";
};

TEST_F(ComponentHost, RegistersTheClassKeysAndTypeLibrariesUnderAbsolutePaths) {
    const std::string modulePath = RealPath(PRAVELL_COMPONENT);
    char* previous = getcwd(nullptr, 0);
    ASSERT_EQ(chdir(scratch.Path().c_str()), 0);
    {
        LoadedComponent component(RelativeName(scratch.Path(), modulePath));
        ASSERT_EQ(chdir(previous), 0);
        ASSERT_TRUE(component.IsLoaded());

        ASSERT_EQ(component.Register(), S_OK);
        EXPECT_EQ(ClassKeys(), ExpectedClassKeys(modulePath));
        EXPECT_EQ(TypeLibraryFile(mainLibraryKey), Quoted(binDirectory + "pravell.tlb"));
        EXPECT_EQ(TypeLibraryFile(utilsLibraryKey), Quoted(binDirectory + "utils.tlb"));

        const std::string once = ReadWholeFile(registry.Path());
        ASSERT_EQ(component.Register(), S_OK);
        EXPECT_EQ(ReadWholeFile(registry.Path()), once);

        HKEY stray = nullptr;
        ASSERT_EQ(RegCreateKeyExA(HKEY_CLASSES_ROOT, (modelKey + "\\LocalServer32").c_str(), 0,
                                  nullptr, REG_OPTION_NON_VOLATILE, KEY_SET_VALUE, nullptr, &stray,
                                  nullptr),
                  ERROR_SUCCESS);
        RegCloseKey(stray);
        EXPECT_EQ(component.Unregister(), S_OK);
        EXPECT_EQ(ClassKeys(), Keys());
        EXPECT_EQ(Registered(mainLibraryKey), Keys());
        EXPECT_EQ(Registered(utilsLibraryKey), Keys());

        // Nothing left: the first type library's unregistration failure is the answer.
        EXPECT_EQ(component.Unregister(), TYPE_E_REGISTRYACCESS);
    }
    std::free(previous);
}

TEST_F(ComponentHost, ModulePathsLongerThanTheClassicLimitAreRegisteredWhole) {
    const std::string directory = DeepDirectory(scratch.Path(), 300);
    const std::string copy = directory + "libpravell.so";
    CopyFile(PRAVELL_COMPONENT, copy);
    LoadedComponent component(copy);
    ASSERT_TRUE(component.IsLoaded());

    // The type libraries are looked for beside the copy, where there are none yet; the class
    // keys are written all the same.
    EXPECT_EQ(component.Register(), TYPE_E_CANTLOADLIBRARY);
    EXPECT_EQ(ClassKeys(), ExpectedClassKeys(copy));

    CopyFile(binDirectory + "pravell.tlb", directory + "pravell.tlb");
    CopyFile(binDirectory + "utils.tlb", directory + "utils.tlb");
    EXPECT_EQ(component.Register(), S_OK);
    EXPECT_EQ(TypeLibraryFile(mainLibraryKey), Quoted(directory + "pravell.tlb"));
    EXPECT_EQ(component.Unregister(), S_OK);
}

// An installer that loads the library under a temporary name "...[<module>].tmp" registers the
// type libraries beside <module>, or beside the executable when no such module is loaded.
TEST_F(ComponentHost, BracketedTemporaryNamesFindTheTypeLibrariesBesideTheNamedModule) {
    ScratchDirectory other;
    const std::string otherDirectory = RealPath(other.Path()) + "/";
    CopyFile(PRAVELL_TEST_SERVER, otherDirectory + "libother-module.so");
    CopyFile(binDirectory + "pravell.tlb", otherDirectory + "pravell.tlb");
    CopyFile(binDirectory + "utils.tlb", otherDirectory + "utils.tlb");
    const std::string temporaryDirectory = RealPath(scratch.Path()) + "/";
    {
        LoadedComponent otherModule(otherDirectory + "libother-module.so");
        const std::string copy = temporaryDirectory + "libpravell[libother-module.so].tmp";
        CopyFile(PRAVELL_COMPONENT, copy);
        LoadedComponent component(copy);
        ASSERT_TRUE(component.IsLoaded());
        EXPECT_EQ(component.Register(), S_OK);
        EXPECT_EQ(ClassKeys(), ExpectedClassKeys(copy));
        EXPECT_EQ(TypeLibraryFile(mainLibraryKey), Quoted(otherDirectory + "pravell.tlb"));
        EXPECT_EQ(TypeLibraryFile(utilsLibraryKey), Quoted(otherDirectory + "utils.tlb"));
        EXPECT_EQ(component.Unregister(), S_OK);
    }
    {
        const std::string copy = temporaryDirectory + "libpravell[libnot-loaded.so].tmp";
        CopyFile(PRAVELL_COMPONENT, copy);
        LoadedComponent component(copy);
        EXPECT_EQ(component.Register(), S_OK);
        EXPECT_EQ(TypeLibraryFile(mainLibraryKey),
                  Quoted(DirectoryOf(RealPath("/proc/self/exe")) + "pravell.tlb"));
        EXPECT_EQ(component.Unregister(), S_OK);
    }
}

// A streaming-parser client that writes down the events it receives.
class RecordingClient final : public CountedDispatch<IDispatchXMLParserClient> {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override {
        *object = nullptr;
        if (riid != IID_IUnknown && riid != IID_IDispatch && riid != IID_IDispatchXMLParserClient) {
            return E_NOINTERFACE;
        }
        *object = this;
        AddRef();
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*,
                                     UINT*) override {
        return E_NOTIMPL;
    }

    HRESULT STDMETHODCALLTYPE Characters(BSTR text) override { return Record("text", text); }
    HRESULT STDMETHODCALLTYPE StartElement(BSTR name, IDispatch*) override {
        return Record("start", name);
    }
    HRESULT STDMETHODCALLTYPE EndElement(BSTR name) override { return Record("end", name); }
    HRESULT STDMETHODCALLTYPE Comment(BSTR text) override { return Record("comment", text); }
    HRESULT STDMETHODCALLTYPE DocumentType(BSTR name, IDispatch*) override {
        return Record("doctype", name);
    }
    HRESULT STDMETHODCALLTYPE ParseError(BSTR) override { return Record("error", nullptr); }
    HRESULT STDMETHODCALLTYPE StartDocument() override { return Record("begin", nullptr); }
    HRESULT STDMETHODCALLTYPE EndDocument() override { return Record("finish", nullptr); }

    std::string events;

private:
    HRESULT Record(const char* event, BSTR text) {
        events += event;
        if (text != nullptr) {
            events += ' ' + std::string(text, text + SysStringLen(text));
        }
        events += ';';
        return S_OK;
    }
};

// Calls a method by name with string and object arguments given in order; the result, if
// any, lands in `result`.
HRESULT CallByName(IDispatch* object, const char16_t* name, std::vector<VARIANT> arguments,
                   VARIANT* result) {
    LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
    DISPID id = 0;
    HRESULT status = object->GetIDsOfNames(IID_NULL, names, 1, 0, &id);
    if (FAILED(status)) {
        return status;
    }
    std::vector<VARIANT> reversed(arguments.rbegin(), arguments.rend());
    DISPPARAMS params{reversed.data(), nullptr, static_cast<UINT>(reversed.size()), 0};
    return object->Invoke(id, IID_NULL, 0, DISPATCH_METHOD, &params, result, nullptr, nullptr);
}

VARIANT StringArgument(BSTR text) {
    VARIANT argument;
    VariantInit(&argument);
    argument.vt = VT_BSTR;
    argument.bstrVal = text;
    return argument;
}

VARIANT ObjectArgument(IDispatch* object) {
    VARIANT argument;
    VariantInit(&argument);
    argument.vt = VT_DISPATCH;
    argument.pdispVal = object;
    return argument;
}

IDispatch* CreateByProgId(const char16_t* progId) {
    CLSID classId{};
    EXPECT_EQ(CLSIDFromProgID(progId, &classId), S_OK);
    IDispatch* object = nullptr;
    EXPECT_EQ(CoCreateInstance(classId, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch,
                               reinterpret_cast<void**>(&object)),
              S_OK);
    return object;
}

TEST_F(ComponentHost, HostsCreateBothClassesByProgIdAndCallThemByName) {
    {
        LoadedComponent installer(PRAVELL_COMPONENT);
        ASSERT_EQ(installer.Register(), S_OK);
    }
    ASSERT_FALSE(LibraryLoaded(PRAVELL_COMPONENT));

    IDispatch* model = CreateByProgId(u"Corvantis.XMLModel");
    ASSERT_NE(model, nullptr);
    BSTR document = SysAllocString(u"<catalog><book id='b1'>Title</book></catalog>");
    EXPECT_EQ(CallByName(model, u"LoadFromString", {StringArgument(document)}, nullptr), S_OK);
    VARIANT saved;
    VariantInit(&saved);
    EXPECT_EQ(CallByName(model, u"SaveToString", {}, &saved), S_OK);
    ASSERT_EQ(saved.vt, VT_BSTR);
    const std::u16string text(saved.bstrVal, SysStringLen(saved.bstrVal));
    EXPECT_NE(text.find(u"<book id=\"b1\">"), std::u16string::npos);
    VariantClear(&saved);
    model->Release();

    IDispatch* parser = CreateByProgId(u"Corvantis.StreamingXMLParser");
    ASSERT_NE(parser, nullptr);
    RecordingClient client;
    EXPECT_EQ(CallByName(parser, u"ParseString",
                         {StringArgument(document), ObjectArgument(&client)}, nullptr),
              S_OK);
    EXPECT_EQ(client.events, "begin;start catalog;start book;text Title;end book;end catalog;"
                             "finish;");
    EXPECT_EQ(client.references, 1u);
    parser->Release();
    SysFreeString(document);
}

TEST_F(ComponentHost, CanUnloadOnlyWithoutLiveObjectsOrLocks) {
    LoadedComponent component(PRAVELL_COMPONENT);
    IClassFactory* parsers = nullptr;
    IClassFactory* models = nullptr;
    ASSERT_EQ(component.GetClassObject(CLSID_StreamingXMLParser, IID_IClassFactory,
                                       reinterpret_cast<void**>(&parsers)),
              S_OK);
    ASSERT_EQ(component.GetClassObject(CLSID_XMLModel, IID_IClassFactory,
                                       reinterpret_cast<void**>(&models)),
              S_OK);
    EXPECT_EQ(component.CanUnloadNow(), S_OK);

    IDispatchXMLParser* parser = nullptr;
    ASSERT_EQ(
        parsers->CreateInstance(nullptr, IID_IDispatchXMLParser, reinterpret_cast<void**>(&parser)),
        S_OK);
    EXPECT_EQ(component.CanUnloadNow(), S_FALSE);
    EXPECT_EQ(parser->Release(), 0u);
    EXPECT_EQ(component.CanUnloadNow(), S_OK);

    // A node keeps the library in use after its model has gone.
    IDispatchXMLModel* model = nullptr;
    ASSERT_EQ(
        models->CreateInstance(nullptr, IID_IDispatchXMLModel, reinterpret_cast<void**>(&model)),
        S_OK);
    EXPECT_EQ(component.CanUnloadNow(), S_FALSE);
    BSTR document = SysAllocString(u"<root/>");
    EXPECT_EQ(model->LoadFromString(document), S_OK);
    SysFreeString(document);
    IDispatchXMLModelNode* root = nullptr;
    ASSERT_EQ(model->GetRoot(&root), S_OK);
    EXPECT_EQ(model->Release(), 0u);
    EXPECT_EQ(component.CanUnloadNow(), S_FALSE);
    root->Release();
    EXPECT_EQ(component.CanUnloadNow(), S_OK);

    EXPECT_EQ(parsers->LockServer(TRUE), S_OK);
    EXPECT_EQ(models->LockServer(TRUE), S_OK);
    EXPECT_EQ(component.CanUnloadNow(), S_FALSE);
    EXPECT_EQ(parsers->LockServer(FALSE), S_OK);
    EXPECT_EQ(component.CanUnloadNow(), S_FALSE);
    EXPECT_EQ(models->LockServer(FALSE), S_OK);
    EXPECT_EQ(component.CanUnloadNow(), S_OK);
}

TEST_F(ComponentHost, FactoriesAreSharedAndRefuseWhatTheyCannotMake) {
    LoadedComponent component(PRAVELL_COMPONENT);
    IClassFactory* first = nullptr;
    IUnknown* second = nullptr;
    ASSERT_EQ(component.GetClassObject(CLSID_StreamingXMLParser, IID_IClassFactory,
                                       reinterpret_cast<void**>(&first)),
              S_OK);
    ASSERT_EQ(component.GetClassObject(CLSID_StreamingXMLParser, IID_IUnknown,
                                       reinterpret_cast<void**>(&second)),
              S_OK);
    EXPECT_EQ(static_cast<IUnknown*>(first), second);
    EXPECT_EQ(first->AddRef(), 1u);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(first->Release(), 0u);
    }

    void* untouched = &untouched;
    EXPECT_EQ(component.GetClassObject(IID_IDispatchXMLParser, IID_IClassFactory, &untouched),
              E_FAIL);
    EXPECT_EQ(untouched, &untouched);
    void* none = &none;
    EXPECT_EQ(first->QueryInterface(IID_IDispatch, &none), E_NOINTERFACE);
    EXPECT_EQ(none, nullptr);

    RecordingClient outer;
    void* object = &object;
    EXPECT_EQ(first->CreateInstance(&outer, IID_IUnknown, &object), CLASS_E_NOAGGREGATION);
    EXPECT_EQ(object, nullptr);
    EXPECT_EQ(outer.references, 1u);

    // An object without the interface asked for is destroyed at once; nothing stays live.
    object = &object;
    EXPECT_EQ(first->CreateInstance(nullptr, IID_ISupportErrorInfo, &object), E_FAIL);
    EXPECT_EQ(object, nullptr);
    EXPECT_EQ(component.CanUnloadNow(), S_OK);
    IClassFactory* models = nullptr;
    ASSERT_EQ(component.GetClassObject(CLSID_XMLModel, IID_IClassFactory,
                                       reinterpret_cast<void**>(&models)),
              S_OK);
    object = &object;
    EXPECT_EQ(models->CreateInstance(nullptr, IID_IDispatchXMLParser, &object), E_FAIL);
    EXPECT_EQ(object, nullptr);
    EXPECT_EQ(component.CanUnloadNow(), S_OK);

    // Released three times over, the factory still serves.
    IUnknown* parser = nullptr;
    EXPECT_EQ(first->CreateInstance(nullptr, IID_IUnknown, reinterpret_cast<void**>(&parser)),
              S_OK);
    ASSERT_NE(parser, nullptr);
    parser->Release();
}

} // namespace
