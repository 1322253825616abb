// A component loaded from its file, without the registry's InProcServer32: what an installer
// does, and what a host does that carries the component along.
#include "host/Arguments.h"
#include "host/ComponentLibrary.h"
#include "host/HeldException.h"
#include "pravell_idl.h"
#include "support/ParserClients.h"
#include "support/PrivateRegistry.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>

namespace {

using Ostrel::ComponentLibrary;
using Ostrel::LateBound;

bool Loaded(const char* path) {
    return GetModuleHandleA(path) != nullptr;
}

class LoadedComponent : public testing::Test {
protected:
    void SetUp() override { ASSERT_EQ(library.Register(), S_OK); }
    void TearDown() override {
        EXPECT_EQ(library.Unregister(), S_OK);
        EXPECT_EQ(library.CanUnloadNow(), S_OK) << "every object the test made is gone";
    }

    PrivateRegistry registry;
    ComponentLibrary library{PRAVELL_COMPONENT};
};

// The object comes from the library's own factory; the library leaves when the host lets it go.
TEST(ComponentLibrary, CreatesFromItsOwnFactoryAndUnloadsWhenDestroyed) {
    PrivateRegistry registry;
    {
        const ComponentLibrary library(PRAVELL_COMPONENT);
        ASSERT_TRUE(library.IsLoaded()) << library.LoadFailure();
        ASSERT_EQ(library.Register(), S_OK);
        LateBound model;
        ASSERT_EQ(library.Create(CLSID_XMLModel, model), S_OK);
        EXPECT_TRUE(model.Do("LoadFromString", {Ostrel::TextArgument("<a>b</a>")}));
        EXPECT_EQ(library.CanUnloadNow(), S_FALSE);
        model.Reset();
        EXPECT_EQ(library.CanUnloadNow(), S_OK);
        EXPECT_EQ(library.Unregister(), S_OK);
    }
    EXPECT_FALSE(Loaded(PRAVELL_COMPONENT));
}

TEST(ComponentLibrary, SaysWhyALibraryDoesNotServe) {
    ScratchDirectory scratch;
    const std::string notLibrary = scratch.Path() + "/not-a-library.so";
    WriteWholeFile(notLibrary, "text");
    const ComponentLibrary unloadable(notLibrary);
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

// A client that throws at start tags while `throwing`: the exception must not unwind through
// the parser, and comes back to the host when its call returns.
class ThrowingClient final : public Ostrel::Testing::RecordingClient {
public:
    HRESULT STDMETHODCALLTYPE StartElement(BSTR name, IDispatch* attributes) override {
        return Ostrel::HoldExceptions([&] {
            if (throwing) {
                throw std::runtime_error("client");
            }
            return RecordingClient::StartElement(name, attributes);
        });
    }

    bool throwing = true;
};

TEST_F(LoadedComponent, AHostObjectsExceptionReachesTheHostAfterTheCall) {
    LateBound parser;
    ASSERT_EQ(library.Create(CLSID_StreamingXMLParser, parser), S_OK);
    ThrowingClient client;
    const auto parse = [&] {
        parser.Do("ParseString",
                  {Ostrel::TextArgument("<a><b/></a>"), Ostrel::ObjectArgument(&client)});
    };
    EXPECT_THROW(parse(), std::runtime_error);
    const Ostrel::Testing::EventLog parsedOn = {"StartDocument", "EndElement b", "EndElement a",
                                                "EndDocument"};
    EXPECT_EQ(client.events, parsedOn) << "the parser went on past the failed events";
    client.throwing = false;
    client.events.clear();
    EXPECT_NO_THROW(parse()) << "nothing is held over";
    EXPECT_EQ(client.events.size(), 6u);
    EXPECT_EQ(client.References(), 1u);
}

} // namespace
