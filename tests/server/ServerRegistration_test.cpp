#include "pravell_idl.h"
#include "server/ServerRegistration.h"
#include "support/PrivateRegistry.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

namespace Ostrel {
namespace {

// {5D2E0C11-3A47-4B8E-9C61-0F7A2B3C4D5E} and {5D2E0C11-3A47-4B8E-9C61-0F7A2B3C4D5F}
const CLSID firstClass = {
    0x5D2E0C11, 0x3A47, 0x4B8E, {0x9C, 0x61, 0x0F, 0x7A, 0x2B, 0x3C, 0x4D, 0x5E}};
const CLSID secondClass = {
    0x5D2E0C11, 0x3A47, 0x4B8E, {0x9C, 0x61, 0x0F, 0x7A, 0x2B, 0x3C, 0x4D, 0x5F}};
const std::string firstKey = "CLSID\\{5D2E0C11-3A47-4B8E-9C61-0F7A2B3C4D5E}";
const std::string mainLibraryKey = "TypeLib\\{61BF654C-EAE8-4700-9248-B1CCA0C792F8}";

IUnknown* CreateNothing() {
    return nullptr;
}

// A server of two classes, the first under a programmatic identifier that the registry refuses
// (a key path may not start with a backslash), and the main type library from `folder`.
std::unique_ptr<COMServer> ServerWithARefusedClass(const std::string& folder) {
    auto server = std::make_unique<COMServer>(reinterpret_cast<HMODULE>(&CreateNothing));
    server->AddClass(
        std::make_unique<COMFactory>(firstClass, "\\Refused.Class", "First Class", CreateNothing));
    server->AddClass(std::make_unique<COMFactory>(secondClass, "Test.SecondClass", "Second Class",
                                                  CreateNothing));
    server->AddTypeLibrary(Text((folder + "/pravell.tlb").c_str()), LIBID_Pravell, 1, 0);
    return server;
}

// A class key that cannot be written fails the registration but nothing else, unless a type
// library fails too; unregistration goes on past keys that are missing or still hold others.
TEST(Registration, AClassKeyThatCannotBeWrittenFailsOnlyItsClass) {
    PrivateRegistry registry;
    ScratchDirectory empty;
    EXPECT_EQ(RegisterServer(*ServerWithARefusedClass(empty.Path())), TYPE_E_CANTLOADLIBRARY);

    const std::unique_ptr<COMServer> server = ServerWithARefusedClass(PRAVELL_BIN_DIR);
    EXPECT_EQ(RegisterServer(*server), SELFREG_E_CLASS);
    EXPECT_EQ(RegistryString(firstKey + "\\ProgID"), "\\Refused.Class");
    EXPECT_FALSE(RegistryKeyExists("Refused.Class"));
    EXPECT_EQ(RegistryString("Test.SecondClass\\CLSID"), "{5D2E0C11-3A47-4B8E-9C61-0F7A2B3C4D5F}");
    EXPECT_TRUE(RegistryKeyExists(mainLibraryKey + "\\1.0"));

    EXPECT_EQ(SetRegistryString(firstKey + "\\Foreign", "kept"), ERROR_SUCCESS);
    EXPECT_EQ(UnregisterServer(*server), S_OK);
    EXPECT_EQ(RegistryString(firstKey + "\\Foreign"), "kept");
    EXPECT_FALSE(RegistryKeyExists(firstKey + "\\InProcServer32"));
    EXPECT_FALSE(RegistryKeyExists("Test.SecondClass"));
    EXPECT_FALSE(RegistryKeyExists(mainLibraryKey));
}

} // namespace
} // namespace Ostrel
