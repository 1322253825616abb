#include "pravell_idl.h"
#include "server/PravellServer.h"
#include "server/ServerRegistration.h"
#include "support/PrivateRegistry.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

namespace Ostrel {
namespace {

// The class of an identifier that no class uses: the parser's interface.
const CLSID& refusedClass = IID_IDispatchXMLParser;
const std::string refusedKey = "CLSID\\{E7E3CC6D-A14C-4735-86EE-DE3CC65A5383}";
const std::string mainLibraryKey = "TypeLib\\{61BF654C-EAE8-4700-9248-B1CCA0C792F8}";

// The module's server with one more class, under a programmatic identifier that the registry
// refuses (a key path may not start with a backslash). That class's failure fails the
// registration, but the other classes and the type libraries are registered all the same, unless
// a type library fails too. Unregistration goes on past keys that are missing or still hold
// others.
TEST(Registration, AClassKeyThatCannotBeWrittenFailsOnlyItsClass) {
    PrivateRegistry registry;
    ASSERT_TRUE(PravellServer::Start(nullptr));
    COMServer& server = *PravellServer::Running();
    server.AddClass(std::make_unique<COMFactory>(refusedClass, "\\Refused.Class", "Refused Class",
                                                 [] { return static_cast<IUnknown*>(nullptr); }));
    EXPECT_EQ(RegisterServer(server), SELFREG_E_CLASS);
    EXPECT_EQ(RegistryString(refusedKey + "\\ProgID"), "\\Refused.Class");
    EXPECT_FALSE(RegistryKeyExists("Refused.Class"));
    EXPECT_EQ(RegistryString("Corvantis.XMLModel\\CLSID"),
              "{4F8D6B61-FE7A-4364-A002-4AC12BCD31B3}");
    EXPECT_TRUE(RegistryKeyExists(mainLibraryKey + "\\1.0"));

    EXPECT_EQ(SetRegistryString(refusedKey + "\\Foreign", "kept"), ERROR_SUCCESS);
    EXPECT_EQ(UnregisterServer(server), S_OK);
    EXPECT_EQ(RegistryString(refusedKey + "\\Foreign"), "kept");
    EXPECT_FALSE(RegistryKeyExists(refusedKey + "\\InProcServer32"));
    EXPECT_FALSE(RegistryKeyExists("Corvantis.XMLModel"));
    EXPECT_FALSE(RegistryKeyExists(mainLibraryKey));

    server.AddTypeLibrary(Text("missing.tlb"), refusedClass, 1, 0);
    EXPECT_EQ(RegisterServer(server), TYPE_E_CANTLOADLIBRARY);
    PravellServer::Stop();
}

} // namespace
} // namespace Ostrel
