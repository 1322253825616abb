// The component library seen from outside: registered by an installer, activated by a host
// through the platform, called by late binding, and unloaded when nothing holds it.
#include "host/Arguments.h"
#include "host/Component.h"
#include "host/ComponentLibrary.h"
#include "host/LateBound.h"
#include "platform/com.h"
#include "pravell_idl.h"
#include "support/ParserClients.h"
#include "support/PrivateRegistry.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <string>
#include <utility>

namespace {

using Ostrel::ComponentLibrary;
using Ostrel::LateBound;

std::string RealPath(const std::string& path) {
    char* resolved = realpath(path.c_str(), nullptr);
    std::string result = resolved == nullptr ? std::string() : resolved;
    std::free(resolved);
    return result;
}

// Copies a file, keeping its executable bit.
void CopyFile(const std::string& from, const std::string& to) {
    WriteWholeFile(to, ReadWholeFile(from));
    chmod(to.c_str(), 0755);
}

// The registry file data/server/<name> with $MODULE standing for the library's path and
// $TYPELIBS for the folder its type libraries were registered from.
std::string ExpectedRegistry(const std::string& name, const std::string& module = "",
                             const std::string& typeLibraries = "") {
    std::string text = ReadWholeFile(std::string(PRAVELL_TEST_DATA) + "/server/" + name);
    for (const auto& [placeholder, value] :
         {std::pair(std::string("$MODULE"), module), {"$TYPELIBS", typeLibraries}}) {
        for (size_t at = text.find(placeholder); at != std::string::npos;
             at = text.find(placeholder, at + value.size())) {
            text.replace(at, placeholder.size(), value);
        }
    }
    return text;
}

class ComponentHost : public testing::Test {
protected:
    void TearDown() override {
        CoFreeUnusedLibraries();
        EXPECT_EQ(GetModuleHandleA(PRAVELL_COMPONENT), nullptr)
            << "every test releases what it made";
    }

    // Registers the library at `path` and unregisters it again.
    void ExpectRegistered(const std::string& path, const std::string& typeLibraries) {
        ComponentLibrary component(path);
        ASSERT_TRUE(component.IsLoaded()) << component.LoadFailure();
        EXPECT_EQ(component.Register(), S_OK);
        EXPECT_EQ(ReadWholeFile(registry.Path()),
                  ExpectedRegistry("registered.reg", path, typeLibraries));
        EXPECT_EQ(component.Unregister(), S_OK);
    }

    PrivateRegistry registry;
    ScratchDirectory scratch;
    const std::string scratchPath = RealPath(scratch.Path());
};

// A library loaded by a relative name, from a folder deeper than the classic 260-character
// limit, registers its whole absolute path and its type libraries beside it.
TEST_F(ComponentHost, RegistrationWritesWholePathsAndIsUndoneWhole) {
    std::string relative = "";
    while (scratchPath.size() + relative.size() <= 300) {
        relative += "a-rather-long-directory-name-for-a-module/";
        mkdir((scratchPath + "/" + relative).c_str(), 0700);
    }
    const std::string directory = scratchPath + "/" + relative;
    for (const char* file : {"libpravell.so", "pravell.tlb", "utils.tlb"}) {
        CopyFile(std::string(PRAVELL_BIN_DIR) + "/" + file, directory + file);
    }
    char* previous = getcwd(nullptr, 0);
    ASSERT_EQ(chdir(scratchPath.c_str()), 0);
    {
        ComponentLibrary component(relative + "libpravell.so");
        ASSERT_EQ(chdir(previous), 0);
        ASSERT_TRUE(component.IsLoaded()) << component.LoadFailure();

        ASSERT_EQ(component.Register(), S_OK);
        const std::string once = ReadWholeFile(registry.Path());
        EXPECT_EQ(once, ExpectedRegistry("registered.reg", directory + "libpravell.so",
                                         directory.substr(0, directory.size() - 1)));
        ASSERT_EQ(component.Register(), S_OK);
        EXPECT_EQ(ReadWholeFile(registry.Path()), once);

        EXPECT_EQ(SetRegistryString("CLSID\\{4F8D6B61-FE7A-4364-A002-4AC12BCD31B3}\\LocalServer32",
                                    "stray"),
                  ERROR_SUCCESS);
        EXPECT_EQ(component.Unregister(), S_OK);
        EXPECT_EQ(ReadWholeFile(registry.Path()), ExpectedRegistry("unregistered.reg"));
        // Nothing left: the first type library's unregistration failure is the answer, a
        // version that is not registered.
        EXPECT_EQ(component.Unregister(), E_INVALIDARG);
    }
    std::free(previous);
}

// An installer that loads the library under a temporary name "...[<module>].tmp" registers the
// type libraries beside <module>, or beside the executable when no such module is loaded.
TEST_F(ComponentHost, BracketedTemporaryNamesFindTheTypeLibrariesBesideTheNamedModule) {
    ScratchDirectory other;
    const std::string otherPath = RealPath(other.Path());
    CopyFile(PRAVELL_TEST_SERVER, otherPath + "/libother-module.so");
    CopyFile(PRAVELL_BIN_DIR "/pravell.tlb", otherPath + "/pravell.tlb");
    CopyFile(PRAVELL_BIN_DIR "/utils.tlb", otherPath + "/utils.tlb");
    const std::string loaded = scratchPath + "/libpravell[libother-module.so].tmp";
    const std::string notLoaded = scratchPath + "/libpravell[libnot-loaded.so].tmp";
    CopyFile(PRAVELL_COMPONENT, loaded);
    CopyFile(PRAVELL_COMPONENT, notLoaded);
    {
        const ComponentLibrary otherModule(otherPath + "/libother-module.so");
        ExpectRegistered(loaded, otherPath);
    }
    const std::string executable = RealPath("/proc/self/exe");
    ExpectRegistered(notLoaded, executable.substr(0, executable.rfind('/')));
}

// Every object a host holds keeps the library in use, a node after its model has gone too, and
// so do the factories' locks.
TEST_F(ComponentHost, ObjectsCreatedByProgIdAndLocksKeepTheLibraryInUse) {
    ComponentLibrary component(PRAVELL_COMPONENT);
    ASSERT_EQ(component.Register(), S_OK);
    LateBound parser;
    ASSERT_EQ(Ostrel::CreateComponent("Corvantis.StreamingXMLParser", parser), S_OK);
    EXPECT_EQ(component.CanUnloadNow(), S_FALSE);
    parser.Reset();
    EXPECT_EQ(component.CanUnloadNow(), S_OK);

    LateBound model;
    ASSERT_EQ(Ostrel::CreateComponent("Corvantis.XMLModel", model), S_OK);
    LateBound root;
    EXPECT_TRUE(model.Do("LoadFromString", {Ostrel::TextArgument("<root/>")}));
    EXPECT_TRUE(model.CallForObject("GetRoot", {}, root));
    model.Reset();
    EXPECT_EQ(component.CanUnloadNow(), S_FALSE);
    root.Reset();
    EXPECT_EQ(component.CanUnloadNow(), S_OK);

    IClassFactory* factory = nullptr;
    ASSERT_EQ(component.GetClassObject(CLSID_XMLModel, IID_IClassFactory,
                                       reinterpret_cast<void**>(&factory)),
              S_OK);
    EXPECT_EQ(factory->LockServer(TRUE), S_OK);
    EXPECT_EQ(factory->LockServer(TRUE), S_OK);
    EXPECT_EQ(factory->LockServer(FALSE), S_OK);
    EXPECT_EQ(component.CanUnloadNow(), S_FALSE);
    EXPECT_EQ(factory->LockServer(FALSE), S_OK);
    EXPECT_EQ(component.CanUnloadNow(), S_OK);
}

TEST_F(ComponentHost, FactoriesAreSharedAndRefuseWhatTheyCannotMake) {
    ComponentLibrary component(PRAVELL_COMPONENT);
    IClassFactory* factory = nullptr;
    IUnknown* again = nullptr;
    ASSERT_EQ(component.GetClassObject(CLSID_StreamingXMLParser, IID_IClassFactory,
                                       reinterpret_cast<void**>(&factory)),
              S_OK);
    ASSERT_EQ(component.GetClassObject(CLSID_StreamingXMLParser, IID_IUnknown,
                                       reinterpret_cast<void**>(&again)),
              S_OK);
    EXPECT_EQ(static_cast<IUnknown*>(factory), again);
    factory->Release();
    again->Release();

    void* untouched = &untouched;
    EXPECT_EQ(component.GetClassObject(IID_IDispatchXMLParser, IID_IClassFactory, &untouched),
              E_FAIL);
    EXPECT_EQ(untouched, &untouched);
    void* none = &none;
    EXPECT_EQ(factory->QueryInterface(IID_IDispatch, &none), E_NOINTERFACE);
    EXPECT_EQ(none, nullptr);

    Ostrel::Testing::RecordingClient outer;
    void* object = &object;
    EXPECT_EQ(factory->CreateInstance(&outer, IID_IUnknown, &object), CLASS_E_NOAGGREGATION);
    EXPECT_EQ(object, nullptr);
    EXPECT_EQ(outer.References(), 1u);
    // An object without the interface asked for is destroyed at once.
    object = &object;
    EXPECT_EQ(factory->CreateInstance(nullptr, IID_ISupportErrorInfo, &object), E_FAIL);
    EXPECT_EQ(object, nullptr);
    EXPECT_EQ(component.CanUnloadNow(), S_OK);
}

} // namespace
