// The component library seen from outside: registered by an installer, activated by a host
// through the platform, called by late binding, and unloaded when nothing holds it.
#include "host/Arguments.h"
#include "host/AutomationText.h"
#include "host/Component.h"
#include "host/ComponentLibrary.h"
#include "host/LateBound.h"
#include "platform/com.h"
#include "pravell_idl.h"
#include "support/ParserClients.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <map>
#include <sstream>
#include <string>
#include <vector>

namespace {

using Ostrel::ComponentLibrary;
using Ostrel::LateBound;
using Ostrel::ObjectArgument;
using Ostrel::TextArgument;
using Ostrel::Testing::EventLog;
using Ostrel::Testing::RecordingClient;
using Keys = std::map<std::string, std::vector<std::string>>;

const std::string parserKey = "CLSID\\{383E79E8-41E0-4C05-808E-7D9CEF73BF8C}";
const std::string modelKey = "CLSID\\{4F8D6B61-FE7A-4364-A002-4AC12BCD31B3}";
const std::string mainLibraryKey = "TypeLib\\{61BF654C-EAE8-4700-9248-B1CCA0C792F8}";
const std::string utilsLibraryKey = "TypeLib\\{4912BE5F-26CC-42B3-A464-43445DB0E09F}";
const std::string mainLibraryValue = "@=\"{61BF654C-EAE8-4700-9248-B1CCA0C792F8}\"";

// Whether a library of that file is loaded in the process.
bool LibraryLoaded(const std::string& path) {
    return GetModuleHandleA(path.c_str()) != nullptr;
}

// The keys of the registry file whose path starts with one of `prefixes`, each with the lines
// of its values in the file's form (`@="text"` for a string default value).
Keys RegistryKeys(const std::string& registryFile, const std::vector<std::string>& prefixes) {
    Keys keys;
    std::istringstream lines(ReadWholeFile(registryFile));
    std::vector<std::string>* values = nullptr;
    for (std::string line; std::getline(lines, line);) {
        if (line.size() >= 2 && line.front() == '[' && line.back() == ']') {
            const std::string path = line.substr(1, line.size() - 2);
            values = nullptr;
            for (const std::string& prefix : prefixes) {
                if (path.compare(0, prefix.size(), prefix) == 0) {
                    values = &keys[path];
                }
            }
        } else if (values != nullptr && line != "END") {
            values->push_back(line);
        }
    }
    return keys;
}

// Copies a file, keeping its executable bit.
void CopyFile(const std::string& from, const std::string& to) {
    WriteWholeFile(to, ReadWholeFile(from));
    chmod(to.c_str(), 0755);
}

std::string RealPath(const std::string& path) {
    char* resolved = realpath(path.c_str(), nullptr);
    std::string result = resolved == nullptr ? std::string() : resolved;
    std::free(resolved);
    return result;
}

std::string DirectoryOf(const std::string& path) {
    return path.substr(0, path.rfind('/') + 1);
}

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
        ComponentLibrary component(RelativeName(scratch.Path(), modulePath));
        ASSERT_EQ(chdir(previous), 0);
        ASSERT_TRUE(component.IsLoaded()) << component.LoadFailure();

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
    ComponentLibrary component(copy);
    ASSERT_TRUE(component.IsLoaded()) << component.LoadFailure();

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
        ComponentLibrary otherModule(otherDirectory + "libother-module.so");
        const std::string copy = temporaryDirectory + "libpravell[libother-module.so].tmp";
        CopyFile(PRAVELL_COMPONENT, copy);
        ComponentLibrary component(copy);
        ASSERT_TRUE(component.IsLoaded()) << component.LoadFailure();
        EXPECT_EQ(component.Register(), S_OK);
        EXPECT_EQ(ClassKeys(), ExpectedClassKeys(copy));
        EXPECT_EQ(TypeLibraryFile(mainLibraryKey), Quoted(otherDirectory + "pravell.tlb"));
        EXPECT_EQ(TypeLibraryFile(utilsLibraryKey), Quoted(otherDirectory + "utils.tlb"));
        EXPECT_EQ(component.Unregister(), S_OK);
    }
    {
        const std::string copy = temporaryDirectory + "libpravell[libnot-loaded.so].tmp";
        CopyFile(PRAVELL_COMPONENT, copy);
        ComponentLibrary component(copy);
        EXPECT_EQ(component.Register(), S_OK);
        EXPECT_EQ(TypeLibraryFile(mainLibraryKey),
                  Quoted(DirectoryOf(RealPath("/proc/self/exe")) + "pravell.tlb"));
        EXPECT_EQ(component.Unregister(), S_OK);
    }
}

TEST_F(ComponentHost, HostsCreateBothClassesByProgIdAndCallThemByName) {
    {
        ComponentLibrary installer(PRAVELL_COMPONENT);
        ASSERT_EQ(installer.Register(), S_OK);
    }
    ASSERT_FALSE(LibraryLoaded(PRAVELL_COMPONENT));

    const std::string document = "<catalog><book id='b1'>Title</book></catalog>";
    LateBound model;
    ASSERT_EQ(Ostrel::CreateComponent("Corvantis.XMLModel", model), S_OK);
    EXPECT_TRUE(model.Do("LoadFromString", {TextArgument(document)})) << model.Failure();
    std::string saved;
    EXPECT_TRUE(model.CallForText("SaveToString", {}, saved));
    EXPECT_NE(saved.find("<book id=\"b1\">"), std::string::npos) << saved;
    model.Reset();

    LateBound parser;
    ASSERT_EQ(Ostrel::CreateComponent("Corvantis.StreamingXMLParser", parser), S_OK);
    RecordingClient client;
    EXPECT_TRUE(parser.Do("ParseString", {TextArgument(document), ObjectArgument(&client)}));
    const EventLog expected = {
        "StartDocument",      "StartElement catalog []", "StartElement book [id=b1]",
        "Characters 'Title'", "EndElement book",         "EndElement catalog",
        "EndDocument"};
    EXPECT_EQ(client.events, expected);
    EXPECT_EQ(client.References(), 1u);
}

TEST_F(ComponentHost, CanUnloadOnlyWithoutLiveObjectsOrLocks) {
    ComponentLibrary component(PRAVELL_COMPONENT);
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
    EXPECT_EQ(model->LoadFromString(Ostrel::Bstr("<root/>")), S_OK);
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
    ComponentLibrary component(PRAVELL_COMPONENT);
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
    EXPECT_EQ(outer.References(), 1u);

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
