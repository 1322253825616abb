// The host library: automation strings from and to UTF-8, and a component loaded from its file,
// without the registry's InProcServer32, as an installer does and a host that carries the
// component along.
#include "host/Arguments.h"
#include "host/AutomationText.h"
#include "host/ComponentLibrary.h"
#include "host/HeldException.h"
#include "pravell_idl.h"
#include "support/ParserClients.h"
#include "support/PrivateRegistry.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>

namespace Ostrel::Testing {
namespace {

// Characters outside the basic plane take two UTF-16 units; a NUL is a character like any other.
TEST(AutomationText, Utf8SurvivesTheRoundTripWhole) {
    const std::string text("caf\xC3\xA9 \xF0\x9F\x8E\xBB\0end", 14);
    const Bstr automation(text);
    EXPECT_EQ(SysStringLen(automation), 11u);
    EXPECT_EQ(ToUtf8(automation), text);
}

// The object comes from the library's own factory. A host object's exception never unwinds
// through the component: the parse goes on, and the exception comes back to the host when its
// call returns, once. The library stays while an object lives and leaves when the host lets it
// go.
TEST(ComponentLibrary, ServesFromItsOwnFactoryAndUnloadsWhenDestroyed) {
    PrivateRegistry registry;
    {
        const ComponentLibrary library(PRAVELL_COMPONENT);
        ASSERT_TRUE(library.IsLoaded()) << library.LoadFailure();
        ASSERT_EQ(library.Register(), S_OK);
        LateBound parser;
        ASSERT_EQ(library.Create(CLSID_StreamingXMLParser, parser), S_OK);
        RecordingClient client;
        client.afterEvent = [](RecordingClient& self) {
            if (self.events.size() == 2) {
                HoldExceptions([]() -> HRESULT { throw std::runtime_error("client"); });
            }
        };
        const auto parse = [&] {
            parser.Do("ParseString", {TextArgument("<a><b/></a>"), ObjectArgument(&client)});
        };
        EXPECT_THROW(parse(), std::runtime_error);
        EXPECT_EQ(client.events.size(), 6u) << "the parse went on";
        EXPECT_NO_THROW(parse()) << "nothing is held over";
        EXPECT_EQ(client.References(), 1u);
        EXPECT_EQ(library.CanUnloadNow(), S_FALSE);
        parser.Reset();
        EXPECT_EQ(library.CanUnloadNow(), S_OK);
        EXPECT_EQ(library.Unregister(), S_OK);
    }
    EXPECT_EQ(GetModuleHandleA(PRAVELL_COMPONENT), nullptr);
}

TEST(ComponentLibrary, SaysWhyALibraryDoesNotServe) {
    const ComponentLibrary unloadable(PRAVELL_TEST_DATA "/events/document-type.xml");
    EXPECT_FALSE(unloadable.IsLoaded());
    // The loader's own words: the dynamic loader names the file, LoadLibrary gives an error code.
    EXPECT_FALSE(unloadable.LoadFailure().empty());
    EXPECT_EQ(unloadable.Register(), CO_E_DLLNOTFOUND);

    const ComponentLibrary plain(PRAVELL_PLAIN_LIBRARY);
    ASSERT_TRUE(plain.IsLoaded()) << plain.LoadFailure();
    EXPECT_FALSE(plain.Exports("DllRegisterServer"));
    EXPECT_EQ(plain.Register(), CO_E_ERRORINDLL);
    void* factory = &factory;
    EXPECT_EQ(plain.GetClassObject(CLSID_XMLModel, IID_IClassFactory, &factory), CO_E_ERRORINDLL);
}

} // namespace
} // namespace Ostrel::Testing
